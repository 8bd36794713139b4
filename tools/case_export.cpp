#include "tools/case_export.h"

#include <cstdio>
#include <optional>
#include <system_error>

#include <QProcess>

#include "db/database.h"
#include "db/field_kind.h"
#include "files/folder_in_use.h"
#include "files/removed_on_signal.h"
#include "files/system_reason.h"
#include "files/whole_file.h"
#include "tools/case_selection.h"
#include "tools/cell_value.h"
#include "tools/chosen_cases.h"
#include "tools/column_width.h"
#include "tools/database_access.h"
#include "tools/varie_register.h"
#include "tools/export_definition.h"
#include "tools/varie_messages.h"
#include "tools/xlsx_sheet.h"

namespace crv::tools {

namespace {

// Rows of a sheet: the headings and at most this many cases.
constexpr long kMaxCaseRows = 1048575;

struct Colonna {
    std::string titolo;            // the name as the definition gives it
    bool nota = false;             // the case's common note
    int campo = -1;                // else: index among the fields read
    db::FieldKind kind = db::FieldKind::Text;
};

// The text a number shows in its column, for the column's width.
std::string shownNumber(double value, bool decimal)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, decimal ? "%.4f" : "%.0f", value);
    std::string text = buffer;
    if (!decimal) return text;
    const std::size_t point = text.find('.');
    // "#,##0.00##": two to four decimals, grouped thousands.
    while (text.size() > point + 3 && text.back() == '0') text.pop_back();
    // Grouping signs and the decimal sign are equally narrow: only their count matters.
    return migliaia(std::string_view(text).substr(0, point)) + "," + text.substr(point + 1);
}

// The definition's names as columns; the names the table lacks in `unknown`.
std::vector<Colonna> colonne(db::Database& db, const std::vector<std::string>& campi, QStringList& fields,
                             std::vector<std::string>& unknown)
{
    const db::TableInfo& table = db.table(QStringLiteral("Tabella Pratiche"));
    std::vector<Colonna> columns;
    for (const std::string& name : campi) {
        Colonna c;
        c.titolo = name;
        const QString qname = QString::fromStdString(name);
        const db::Column* column = name == kNoteComuni ? nullptr : table.find(qname);
        if (column) {
            c.campo = static_cast<int>(fields.size());
            c.kind = db::fieldKindOf(*column);
            fields << column->name;
        } else if (qname.trimmed().compare(QString::fromUtf8(kNoteComuni.data(), kNoteComuni.size()),
                                           Qt::CaseInsensitive) == 0) {
            c.nota = true;
        } else {
            unknown.push_back(name);
        }
        columns.push_back(std::move(c));
    }
    return columns;
}

constexpr std::string_view kScratchSuffix = ".parziale";

// The export's own folder beside the workbook: the rows' scratch files and
// the workbook until it is whole. Unique and made exclusively, so two exports
// to one name never share it and nothing planted there is written through;
// it goes with the export however that ends, a kill by signal included. A
// kill nothing can catch leaves it behind: the next export to that folder
// removes it (its lock tells that its export is gone).
class ScratchFolder {
public:
    explicit ScratchFolder(const std::filesystem::path& out)
        : folder_(out, kScratchSuffix),
          workbook_(folder_.path() / out.filename()),
          guard_({workbook_, folder_.lockFile(), folder_.path()})
    {
    }
    ~ScratchFolder()
    {
        // Removed while its lock is still held.
        std::error_code ec;
        std::filesystem::remove_all(folder_.path(), ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return folder_.path(); }
    const std::filesystem::path& workbook() const { return workbook_; }

private:
    CartellaInUso folder_;
    std::filesystem::path workbook_;
    RemovedOnSignal guard_;
};

}  // namespace

RisultatoVarie esportaPratiche(db::Database& db, const FiltroPratiche& filtro, const std::vector<std::string>& campi,
                               const std::filesystem::path& out, const Regional& regional,
                               const Avanzamento& avanzamento)
{
    const FiltroOErrore letto = leggiFiltro(filtro, regional);
    if (!letto.errore.empty()) return esitoSenzaLavoro(Esito::FiltroNonValido, {letto.errore});
    if (campi.empty())
        return esitoSenzaLavoro(Esito::DefinizioneNonValida,
                                {"La definizione non ha campi da esportare: nessun file scritto"});

    long current = 0;  // counter of the case being written, for the messages
    try {
        QStringList fields;
        std::vector<std::string> unknown;
        const std::vector<Colonna> columns = colonne(db, campi, fields, unknown);
        if (!unknown.empty()) {
            std::string list;
            for (const std::string& name : unknown) list += (list.empty() ? "\"" : ", \"") + name + "\"";
            return esitoSenzaLavoro(Esito::DefinizioneNonValida,
                                    {(unknown.size() == 1 ? "Il campo " + list + " non esiste"
                                                          : "I campi " + list + " non esistono") +
                                     " nella tabella [Tabella Pratiche]: correggere la definizione. Nessun file scritto"});
        }
        bool withNotes = false;
        for (const Colonna& c : columns) withNotes = withNotes || c.nota;

        PraticheScelte pratiche(db, selezione(db, letto.filtro), fields, withNotes);
        RisultatoVarie result;
        result.pratiche = pratiche.totale();
        if (result.pratiche == 0) return esitoSenzaLavoro(Esito::NessunaPratica, {"Nessuna pratica trovata"});
        if (result.pratiche > kMaxCaseRows)
            return esitoSenzaLavoro(Esito::Errore, {"Le pratiche scelte sono " + migliaia(result.pratiche) +
                                                    ", più delle righe di un foglio (" + migliaia(kMaxCaseRows) +
                                                    "): restringere il filtro. Nessun file scritto"});

        // A place that cannot be written is told now, not after the whole run.
        std::error_code ec;
        if (std::filesystem::is_directory(out, ec))
            return esitoSenzaLavoro(Esito::Errore,
                                    {"Impossibile scrivere il file " + out.string() + ": è una cartella. Nessun file scritto"});
        std::optional<ScratchFolder> scratch;
        try {
            rimuoviCartelleAbbandonate(out.has_parent_path() ? out.parent_path() : ".", kScratchSuffix);
            scratch.emplace(out);
        } catch (const FileError& e) {
            return esitoSenzaLavoro(Esito::Errore, {causaEConseguenza(e.what(), "Nessun file scritto")});
        }

        std::optional<XlsxSheet> sheet(std::in_place, scratch->workbook(), regional.dateOrder, out, scratch->path());
        std::vector<ColumnFit> fits(columns.size());
        for (std::size_t c = 0; c < columns.size(); ++c) {
            sheet->heading(0, static_cast<int>(c), columns[c].titolo);
            fits[c].text(columns[c].titolo, true);
        }
        const int datePixels = textPixels(regional.formatDate(std::chrono::year{2000} / 12 / 28));
        const int dateTimePixels = datePixels + textPixels(" 00:00:00");

        int row = 0;
        long done = 0;
        const bool completed = pratiche.perOgni([&](const PraticaLetta& p) {
            current = static_cast<long>(p.contatore);
            ++row;
            for (std::size_t c = 0; c < columns.size(); ++c) {
                const Colonna& column = columns[c];
                const int col = static_cast<int>(c);
                Cella cell;
                if (column.nota) {
                    if (p.haNota) cell = cellaNota(p.nota);
                } else {
                    cell = cellaPer(p.valori[column.campo], column.kind);
                }
                switch (cell.tipo) {
                case Cella::Tipo::Vuota: break;
                case Cella::Tipo::Testo:
                    sheet->text(row, col, cell.testo);
                    fits[c].text(cell.testo);
                    if (cell.tagliato) ++result.celleTagliate;
                    break;
                case Cella::Tipo::Intero:
                    sheet->integer(row, col, cell.numero);
                    fits[c].pixels(textPixels(shownNumber(cell.numero, false)));
                    break;
                case Cella::Tipo::Decimale:
                    sheet->decimal(row, col, cell.numero);
                    fits[c].pixels(textPixels(shownNumber(cell.numero, true)));
                    break;
                case Cella::Tipo::Data:
                    sheet->date(row, col, cell.anno, cell.mese, cell.giorno);
                    fits[c].pixels(datePixels);
                    break;
                case Cella::Tipo::DataOra:
                    sheet->dateTime(row, col, cell.anno, cell.mese, cell.giorno, cell.ora, cell.minuto,
                                    cell.secondo);
                    fits[c].pixels(dateTimePixels);
                    break;
                }
            }
            ++done;
            return !avanzamento || avanzamento(done, result.pratiche);
        });
        const auto interrotta = [&] {
            sheet.reset();
            scratch.reset();
            return esitoSenzaLavoro(Esito::Interrotta, {"Esportazione interrotta: nessun file scritto"});
        };
        if (!completed) return interrotta();
        current = 0;
        for (std::size_t c = 0; c < columns.size(); ++c) sheet->columnWidth(static_cast<int>(c), fits[c].width());
        sheet->freezeFirstRow();
        sheet->close();
        // Writing a large workbook out takes a while: a stop asked after the
        // last case, or meanwhile, still leaves no file behind.
        if (avanzamento && !avanzamento(done, result.pratiche)) return interrotta();
        std::filesystem::rename(scratch->workbook(), out, ec);
        if (ec) throw XlsxError("Impossibile sostituire il file " + out.string() + ": " + motivoDiSistema(ec));
        scratch.reset();

        result.messaggi.push_back("Elaborazione terminata");
        std::string summary = "Pratiche esportate: " + migliaia(result.pratiche) + " in " + out.string();
        if (result.celleTagliate > 0)
            summary += "\nTesti oltre 32.767 caratteri, tagliati e segnati con \"" +
                       std::string(kMarcaTaglio.substr(1)) + "\": " + migliaia(result.celleTagliate) +
                       (result.celleTagliate == 1 ? " cella" : " celle");
        result.messaggi.back() += "\n" + summary;
        return result;
    } catch (const std::exception& error) {
        if (interrottaDallOperatore(error))
            return esitoSenzaLavoro(Esito::Interrotta, {"Esportazione interrotta: nessun file scritto"});
        std::string text = causa(error);
        if (current != 0) text = "Esportazione fermata alla pratica con contatore " + std::to_string(current) + ": " + text;
        return esitoSenzaLavoro(Esito::Errore, {causaEConseguenza(text, "Nessun file scritto")});
    }
}

RisultatoVarie esportaPratiche(const SuitePaths& paths, bool usaAccess, const FiltroPratiche& filtro,
                               const std::vector<std::string>& campi, const std::filesystem::path& out,
                               const Regional& regional, const Avanzamento& avanzamento)
{
    return conRegistro(paths, usaAccess, {"esporta", false, std::filesystem::absolute(out).string(), {}}, [&] {
        const FiltroOErrore letto = leggiFiltro(filtro, regional);
        if (!letto.errore.empty()) return esitoSenzaLavoro(Esito::FiltroNonValido, {letto.errore});
        DatabaseAperto aperto = apriDatabase(paths, usaAccess);
        if (!aperto.db) return aperto.errore;
        return esportaPratiche(*aperto.db, filtro, campi, out, regional, avanzamento);
    });
}

bool apriConApplicazionePredefinita(const std::filesystem::path& file)
{
    const QString path = QString::fromStdString(std::filesystem::absolute(file).string());
#if defined(Q_OS_WIN)
    return QProcess::startDetached(QStringLiteral("cmd"), {QStringLiteral("/c"), QStringLiteral("start"), QString(), path});
#elif defined(Q_OS_MACOS)
    return QProcess::startDetached(QStringLiteral("open"), {path});
#else
    return QProcess::startDetached(QStringLiteral("xdg-open"), {path});
#endif
}

}  // namespace crv::tools
