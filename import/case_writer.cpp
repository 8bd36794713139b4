#include "import/case_writer.h"

#include <QDate>
#include <QStringDecoder>

#include <stdexcept>

#include "db/batches.h"
#include "db/field_length.h"
#include "db/import_lock.h"
#include "db/open_db.h"
#include "text/encoding.h"

namespace crv {
namespace {

const QString kPratiche = QStringLiteral("Tabella Pratiche");
const QString kFatture = QStringLiteral("tabella fatture");

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

// One text for the database made of pieces, converted once and without a
// joined copy first: a memo may be huge.
QString qJoined(std::initializer_list<std::string_view> pieces)
{
    std::size_t bytes = 0;
    for (const std::string_view piece : pieces) bytes += piece.size();
    QString out(static_cast<qsizetype>(bytes), Qt::Uninitialized);  // UTF-16 units never outnumber UTF-8 bytes
    QStringDecoder utf8(QStringDecoder::Utf8);
    QChar* end = out.data();
    for (const std::string_view piece : pieces)
        end = utf8.appendToBuffer(end, QByteArrayView(piece.data(), static_cast<qsizetype>(piece.size())));
    out.truncate(end - out.data());
    return out;
}

std::string trim(std::string_view text)
{
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return std::string(text);
}

QVariant amount(Amount a)
{
    // The exact decimal text: the database converts it to its numeric type.
    return QString::fromStdString(a.toPlain());
}

std::optional<QDate> toQDate(const Regional& regional, std::string_view text)
{
    const auto d = regional.parseDate(text);
    if (!d) return std::nullopt;
    return QDate(static_cast<int>(d->year()), static_cast<int>(static_cast<unsigned>(d->month())),
                 static_cast<int>(static_cast<unsigned>(d->day())));
}

// A date written in a delivery file: day, month, year (the Corvestra reader
// turns its dates into that form, and the bank format sends them so) or
// year-month-day. The operator's regional settings, which say how dates are
// typed in the boxes, play no part: under US settings 03/04/1980 would
// otherwise become 4 March and 25/12/1980 no date at all.
std::optional<QDate> dataDelFile(std::string_view text)
{
    return toQDate(Regional::italian(), text);
}

}  // namespace

std::string tagliaA(std::string_view text, int size)
{
    if (size < 0) return std::string(text);
    return std::string(text.substr(0, utf8Offset(text, static_cast<std::size_t>(size))));
}

std::string dimezzaSpazi(std::string text)
{
    for (int round = 0; round < 10; ++round) {
        std::string out;
        out.reserve(text.size());
        for (std::size_t i = 0; i < text.size(); ++i) {
            out += text[i];
            if (text[i] == ' ' && i + 1 < text.size() && text[i + 1] == ' ') ++i;  // a pair becomes one blank
        }
        text.swap(out);
    }
    return text;
}

Telefoni assegnaTelefoni(const Case& v, int sizeTelefono1)
{
    Telefoni t;
    int count = 0;
    if (!trim(v.Telefono).empty()) {
        t.telefono1 = tagliaA(v.Telefono, sizeTelefono1);
        count = 1;
    }
    for (std::size_t i = 0; i < 4; ++i) {
        if (trim(v.AltriTelefoni[i]).empty()) continue;
        // Work numbers go to the contact phone (cut by the writer to its
        // field); "Lavoro" does not count.
        if (trim(v.TipiTelefono[i]).starts_with("lavoro")) {
            t.telRecapito = v.AltriTelefoni[i];
            continue;
        }
        const std::string n = tagliaA(v.AltriTelefoni[i], sizeTelefono1);
        if (count == 0) {
            t.telefono1 = n;
            count = 1;
        } else if (count == 1 && n != t.telefono1) {
            t.telefono2 = n;
            count = 2;
        }
    }
    return t;
}

std::string righeTelefoni(const Case& v)
{
    std::string out;
    if (v.TipiTelefono[0].empty()) return out;
    for (std::size_t i = 0; i < 4; ++i)
        if (!v.TipiTelefono[i].empty()) out += v.TipiTelefono[i] + " = " + v.AltriTelefoni[i] + "\r\n";
    return out;
}

DbCaseStore::DbCaseStore(std::unique_ptr<db::Database> db, const RunParams& params, const Regional& regional)
    : db_(std::move(db)), params_(params), regional_(regional)
{
}

const db::TableInfo* DbCaseStore::pratiche() const
{
    // Looked up once: a case asks for it a dozen times, and its name is
    // folded to lower case at every lookup.
    if (pratiche_ == nullptr && db_) pratiche_ = &db_->table(kPratiche);
    return pratiche_;
}

int DbCaseStore::dimensione(const char* field) const
{
    const db::TableInfo* table = pratiche();
    return table != nullptr ? table->definedSize(field) : -1;
}

void DbCaseStore::soloSeScrive(const char* operation) const
{
    if (!scrive()) throw std::logic_error(std::string(operation) + " in un'importazione che non scrive");
}

namespace {
// The checks the writer makes before the database sees a row: every field
// in the table, every text within its size.
void verificaRiga(const db::TableInfo& table, const db::FieldValues& values, std::int64_t owner)
{
    try {
        db::checkTextLengths(table, db::byRealColumn(table, values));
    } catch (const db::DbError& e) {
        throw db::RowRefused(owner, owner, e);
    }
}
}  // namespace

void DbCaseStore::begin(const std::function<void(std::string_view)>& inAttesa)
{
    soloSeScrive("begin");
    db::beginExclusive(*db_, [&] { inAttesa(db::kAttesaAltraImportazione); });
}

void DbCaseStore::commit()
{
    soloSeScrive("commit");
    aggiungiRiga();
    db_->commit();
}

void DbCaseStore::rollback()
{
    riga_.reset();
    ultimaRiga_.reset();
    contatore_.reset();
    if (db_) db_->rollback();
}

const LimitiValori* DbCaseStore::limiti()
{
    if (limiti_) return &*limiti_;
    if (pratiche() == nullptr) return nullptr;
    // The values ScriviPratica stores whole (a longer one is refused there),
    // under the conditions it stores them.
    const db::TableInfo& table = *pratiche();
    LimitiValori& l = limiti_.emplace();
    const auto whole = [&](std::string Case::* valore, const char* field) {
        if (const db::Column* column = table.find(field))
            l.imposta(valore, table.realName().toStdString(), column->name.toStdString(), column->definedSize);
    };
    whole(&Case::CodicePratica, "posizione");
    whole(&Case::IdAffidamento, "altroriferimento");
    whole(&Case::Nominativo, "Ragione sociale");
    whole(&Case::Indirizzo, "Indirizzo");
    whole(&Case::Cap, "Cap");
    whole(&Case::Provincia, "Provincia");
    whole(&Case::CodiceFiscale, "P_iva");
    whole(&Case::LuogoNascita, "luogo nascita");
    whole(&Case::GaranteCap, "Cap_Garante");
    whole(&Case::CodiceProcedura, "provider_id");
    whole(&Case::SettoreOperativo, "User_T15");
    if (params_.intDaFile) whole(&Case::SettoreOperativo, "tipo intervento");
    if (!params_.usaAccess) whole(&Case::GaranteCodiceFiscale, "seat_FreeT1");
    return &*limiti_;
}

std::int64_t DbCaseStore::AddLotto(const RunParams& p)
{
    soloSeScrive("AddLotto");
    // The parameters were checked as dates before the run got here.
    const auto affido = toQDate(regional_, p.dataAffido);
    const auto scadenza = toQDate(regional_, p.scadenza);
    lotto_ = db::AddLotto(*db_, affido.value_or(QDate()), scadenza.value_or(QDate()), p.mandato, p.intervento);
    return lotto_;
}

void DbCaseStore::SalvaNumPratiche(std::int64_t lotto, int count)
{
    soloSeScrive("SalvaNumPratiche");
    // The cases are over: the last row goes before the batch's count.
    aggiungiRiga();
    db::SalvaNumPratiche(*db_, lotto, count);
}

namespace {
// The same field whatever the letter case; a row has some forty, compared
// at every value set: most differ at the first letter.
bool sameField(const char* a, const char* b)
{
    return a == b || ((a[0] | 0x20) == (b[0] | 0x20) && qstricmp(a, b) == 0);
}
}  // namespace

void DbCaseStore::set(const char* field, QVariant value)
{
    for (auto& [name, old] : riga_->values) {
        if (sameField(name, field)) {
            old = std::move(value);
            return;
        }
    }
    riga_->values.emplace_back(field, std::move(value));
}

const QVariant* DbCaseStore::current(const char* field) const
{
    for (const auto& [name, value] : riga_->values)
        if (sameField(name, field)) return &value;
    return nullptr;
}

Amount DbCaseStore::amountOf(const char* field) const
{
    const QVariant* value = current(field);
    if (value == nullptr || value->isNull()) return Amount();
    return Amount::parseLeadingNumber(value->toString().toStdString()).value_or(Amount());
}

QString DbCaseStore::cut(const std::string& text, const char* field) const
{
    return q(tagliaA(text, dimensione(field)));
}

QVariant DbCaseStore::dateOrText(const std::string& text, bool dateColumn) const
{
    if (text.empty()) return QVariant();
    if (dateColumn) {
        if (const auto d = dataDelFile(text)) return *d;
    }
    return q(text);
}

void DbCaseStore::verificaLunghezza(const char* field, std::size_t length, std::string_view start) const
{
    // Without the archive's columns, the limit every database has.
    std::string tabella = kPratiche.toStdString();
    std::string campo = field;
    std::size_t limit = db::kLongestText;
    if (const db::TableInfo* table = pratiche()) {
        const db::Column* column = table->find(field);
        if (column == nullptr) return;
        tabella = table->realName().toStdString();
        campo = column->name.toStdString();
        if (column->definedSize >= 0) limit = static_cast<std::size_t>(column->definedSize);
    }
    if (length > limit)
        throw db::FieldTooLong(tabella, campo, static_cast<int>(limit), length,
                               std::string(start.substr(0, utf8Offset(start, 41))));
}

void DbCaseStore::requireRow(const char* operation) const
{
    // The calls of a case come after its holder's row (riproduci): one
    // without it would change another case's row.
    if (!riga_ || riga_->pratica != pratica_) throw std::logic_error(std::string(operation) + " senza la riga della pratica");
}

void DbCaseStore::aggiungiRiga()
{
    if (!riga_) return;
    db::FieldValues values;
    values.reserve(riga_->values.size());
    for (auto& [name, value] : riga_->values) values.emplace_back(QString::fromLatin1(name), std::move(value));
    const Riga riga = std::move(*riga_);
    riga_.reset();
    if (scrive())
        db_->rows().add(riga.ref, kPratiche, values, riga.pratica);
    else if (const db::TableInfo* table = pratiche())
        verificaRiga(*table, values, riga.pratica);
}

void DbCaseStore::ScriviPratica(const Case& v, const std::string& memoText)
{
    const db::TableInfo* table = pratiche();
    if (!tableChecked_) {
        esisteProvider_ = table != nullptr && table->has("provider_id");
        esisteUserT15_ = table != nullptr && table->has("User_T15");
        tableChecked_ = true;
    }
    // The row added before is complete.
    aggiungiRiga();
    riga_ = Riga{scrive() ? db_->rows().reserve() : 0, pratica_, {}};
    riga_->values.reserve(48);
    ultimaRiga_ = riga_->ref;
    const bool conAccess = params_.usaAccess;

    set("tipo mandato", q(params_.mandato));
    set("data affido", toQDate(regional_, params_.dataAffido).value_or(QDate()));
    set("scadenza mandato", toQDate(regional_, params_.scadenza).value_or(QDate()));
    set("tipo intervento", q(params_.intervento));
    if (!v.SettoreOperativo.empty() && params_.intDaFile) set("tipo intervento", q(v.SettoreOperativo));
    if (!v.SettoreOperativo.empty() && esisteUserT15_) set("User_T15", q(v.SettoreOperativo));
    set("situazione affido", q(params_.sitAffido));
    set("lottoimportazione", static_cast<qlonglong>(lotto_));
    if (!v.IdAffidamento.empty()) set("altroriferimento", q(v.IdAffidamento));
    set("posizione", q(v.CodicePratica));
    set("Ragione sociale", q(v.Nominativo));
    if (!v.Indirizzo.empty()) set("Indirizzo", q(v.Indirizzo));
    if (!v.Cap.empty()) set("Cap", q(v.Cap));
    const std::string citta = trim(v.Localita + " " + v.Comune);
    if (!citta.empty()) set("Citta", q(citta));
    if (!v.Provincia.empty()) set("Provincia", q(v.Provincia));
    if (!v.CodiceFiscale.empty()) set("P_iva", q(v.CodiceFiscale));
    if (const auto nascita = dataDelFile(v.DataNascita)) set("data nascita", *nascita);
    if (!v.LuogoNascita.empty()) set("luogo nascita", q(v.LuogoNascita));
    const std::string datore = trim(v.DatoreLavoro);
    if (!datore.empty()) set("recapito", cut(datore, "recapito"));

    const Telefoni tel = assegnaTelefoni(v, dimensione("Telefono1"));
    if (!tel.telefono1.empty()) set("Telefono1", q(tel.telefono1));
    if (!tel.telefono2.empty()) set("Telefono2", q(tel.telefono2));
    // The work phone is cut to its field like the other contact fields.
    if (!tel.telRecapito.empty()) set("tel recapito", cut(tel.telRecapito, "tel recapito"));

    set("rate arretrate", 1);
    set("importo rata", amount(v.Capitale));
    set("importo interessi", amount(v.InteressiMora));
    set("importo spese", 0);
    set("importo speserecupero", 0);
    set(params_.campoSpese().data(), amount(v.SpeseRecupero));
    set("importo totale", amount(amountOf("importo rata") + amountOf("importo interessi") +
                                 amountOf("importo spese") + amountOf("importo speserecupero")));
    set("debitoresiduo", amount(v.SaldoIniziale));
    if (v.HaProposte) {
        set("speciale", 1);
        if (!conAccess) set("seat_Zezerader", QStringLiteral("S"));
    }
    if (const auto scadenza = dataDelFile(v.DataScadenza)) set("scadenza mandato", *scadenza);

    // The phone lines go below the memo, starting on a line of their own.
    const std::string righe = righeTelefoni(v);
    const std::string_view aCapo =
        !righe.empty() && !memoText.empty() && !memoText.ends_with("\r\n") ? "\r\n" : "";
    if (!memoText.empty() || !righe.empty()) {
        verificaLunghezza("memoEC", utf8Length(memoText) + aCapo.size() + utf8Length(righe), memoText);
        set("memoEC", qJoined({memoText, aCapo, righe}));
    }

    if (!conAccess) {
        if (v.RataGlobale > Amount()) set("seat_FreeM2", amount(v.RataGlobale));
        if (v.ImportoRata > Amount()) set("seat_FreeM2", amount(v.ImportoRata));
        if (v.SpeseIncasso > Amount()) set("User_M1", amount(v.SpeseIncasso));
    }
    if (!v.CodiceProcedura.empty() && esisteProvider_) set("provider_id", q(v.CodiceProcedura));

    ScriviGarante(v);
    // A Corvestra case row is complete: nothing changes it later.
    if (!params_.modoDocumento) aggiungiRiga();
}

void DbCaseStore::ScriviGarante(const Case& v)
{
    const std::string nome = tagliaA(dimezzaSpazi(v.GaranteNome), dimensione("garante"));
    if (!nome.empty()) set("Garante", q(nome));
    if (!v.GaranteIndirizzo.empty()) set("ind_Garante", cut(v.GaranteIndirizzo, "ind_Garante"));
    if (!v.GaranteCap.empty()) set("Cap_Garante", q(v.GaranteCap));
    if (!v.GaranteComune.empty()) set("Citta_Garante", cut(v.GaranteComune, "Citta_Garante"));
    // An e-mail address is not a phone number.
    if (!v.GaranteTelefono.empty() && v.GaranteTelefono.find('@') == std::string::npos)
        set("tel_garante", cut(v.GaranteTelefono, "tel_garante"));
    if (!params_.usaAccess && !v.GaranteCodiceFiscale.empty()) set("seat_FreeT1", q(v.GaranteCodiceFiscale));
}

void DbCaseStore::LeggiContatore()
{
    contatore_ = ultimaRiga_;
}

void DbCaseStore::AnteponiMemo(std::string_view text)
{
    if (text.empty()) return;
    requireRow("le note e i recapiti");
    const QVariant* old = current("memoEC");
    const QString after = old == nullptr || old->isNull() ? QString() : old->toString();
    // Checked before the two are joined: the memo may already be huge.
    std::size_t length = utf8Length(text) + 4 + static_cast<std::size_t>(after.size());
    for (const QChar c : after)
        if (c.isLowSurrogate()) --length;
    verificaLunghezza("memoEC", length, text);
    set("memoEC", qJoined({text, "\r\n\r\n"}) + after);
}

void DbCaseStore::SommaTotaliRapporto(const Case& v)
{
    requireRow("il totale del rapporto");
    set("rate arretrate", 1);
    set("Importo rata", amount(amountOf("Importo rata") + v.Insoluto));
    set("Importo interessi", amount(amountOf("Importo interessi") + v.InteressiMora));
    set("Importo spese", amount(amountOf("Importo spese") + v.SpeseRecupero));
    set("Importo totale", amount(amountOf("Importo totale") + v.Insoluto + v.SpeseRecupero + v.InteressiMora));
    set("debitoresiduo", amount(v.SaldoIniziale));
}

void DbCaseStore::ImpostaTotali(const Case& v)
{
    requireRow("i totali");
    const QVariant* rata = current("Importo rata");
    if (rata != nullptr && !rata->isNull() && amountOf("Importo rata").isZero()) {
        set("Importo rata", amount(v.Capitale));
        set("Importo interessi", amount(v.InteressiMora));
        set("Importo spese", amount(v.SpeseRecupero));
        set("Importo totale", amount(v.Capitale + v.InteressiMora + v.SpeseRecupero));
    }
    ScriviGarante(v);
}

void DbCaseStore::InserisciRata(Case& v, TipoRata kind)
{
    numeroRataVuoto(v, kind);
    requireRow("la rata");
    if (!db_) return;
    if (!rataChecked_) {
        const db::TableInfo& t = db_->table(kFatture);
        auto isDate = [&](const char* field) {
            const db::Column* column = t.find(field);
            return column && column->type.contains(QStringLiteral("date"), Qt::CaseInsensitive);
        };
        dataFatturaIsDate_ = isDate("data fattura");
        dataScadenzaIsDate_ = isDate("DATA scadenza");
        rataChecked_ = true;
    }
    const db::FieldValues values = {{QStringLiteral("numero fattura"), q(v.NumeroFattura)},
                                     {QStringLiteral("periodo"), q(v.Periodo)},
                                     {QStringLiteral("data fattura"), dateOrText(v.DataFattura, dataFatturaIsDate_)},
                                     {QStringLiteral("saldo"), amount(v.Insoluto)},
                                     {QStringLiteral("DATA scadenza"), dateOrText(v.DataFattura, dataScadenzaIsDate_)}};
    if (scrive())
        db_->rows().addReferring(kFatture, values, QStringLiteral("conta"), contatore_, pratica_);
    else
        verificaRiga(db_->table(kFatture), values, pratica_);
}

GuastoStore classificaGuasto(const std::exception& failure)
{
    GuastoStore out;
    const auto* error = dynamic_cast<const db::DbError*>(&failure);
    if (error == nullptr) return out;
    if (dynamic_cast<const db::AccessArchiveMissing*>(error) != nullptr)
        out.tipo = GuastoStore::Tipo::ArchivioMancante;
    else if (dynamic_cast<const NessunArchivio*>(error) != nullptr)
        out.tipo = GuastoStore::Tipo::NessunArchivio;
    else if (error->failure() == db::DbFailure::Cancelled)
        out.tipo = GuastoStore::Tipo::Interruzione;
    else if (error->failure() == db::DbFailure::ConnectionLost)
        out.tipo = GuastoStore::Tipo::ConnessionePersa;
    if (const auto* row = dynamic_cast<const db::RowRefused*>(error)) {
        out.daPratica = row->owner();
        out.aPratica = row->lastOwner();
        out.campo = row->field();
    }
    if (const auto* tooLong = dynamic_cast<const db::FieldTooLong*>(error)) out.campo = tooLong->field().toStdString();
    return out;
}

std::unique_ptr<CaseStore> righeSenzaArchivio(const RunParams& params, const Regional& regional)
{
    return std::make_unique<DbCaseStore>(nullptr, params, regional);
}

std::unique_ptr<CaseStore> openDatabaseStore(const SuitePaths& paths, const RunParams& params,
                                             const Regional& regional)
{
    if (!params.usaAccess && db::LeggiConnString(paths, false).empty())
        throw NessunArchivio(db::connStringMancante(paths));
    return std::make_unique<DbCaseStore>(db::ApriDB(paths, params.usaAccess), params, regional);
}

}  // namespace crv
