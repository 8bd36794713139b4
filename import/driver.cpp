#include "import/driver.h"

#include <atomic>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <variant>
#include <vector>

#include "db/db_error.h"
#include "db/import_lock.h"
#include "db/row_writer.h"
#include "db/open_db.h"
#include "db/statement_cancel.h"
#include "import/already_imported.h"
#include "import/case_codes.h"
#include "import/case_error.h"
#include "import/case_reading.h"
#include "text/encoding.h"
#include "import/memo.h"
#include "xml/parse_error_message.h"

namespace crv {

std::string intestazioneListino()
{
    return Fill("Pratica", 16) + "|" + Fill("Nominativo", 15) + "|" + Fill("Indirizzo", 10) + "| Cap |" +
           Fill("Comune", 10) + "|Pr|" + Fill("Telefono", 10) + "|" + Fill("TelAgg1", 10) + "|" +
           Fill("TelAgg2", 9) + "|" + Fill("Capitale", 8) + "|" + Fill("Inter.", 7) + "|" + Fill("SpeRec", 7) +
           "|" + "Rata M";
}

Amount CercaInMovimenti(const std::string& memo, const Regional& regional)
{
    const std::size_t hit = memo.find("UT.PART. N");
    if (hit == std::string::npos) return Amount();
    const std::size_t charPos = utf8Length(std::string_view(memo).substr(0, hit));
    if (charPos < 20)
        throw CaseInputError("\"UT.PART. N\" troppo vicino all'inizio del memo: manca la colonna DARE",
                             "MOVIMENTO", std::string_view(memo).substr(0, hit + 10));
    const std::size_t from = utf8Offset(memo, charPos - 20);
    const std::size_t to = utf8Offset(memo, charPos - 10);
    const std::string text = memo.substr(from, to - from);
    const auto value = Amount::parseRegional(text, regional);
    if (!value)
        throw CaseInputError("la colonna DARE del movimento \"UT.PART. N\" non è un importo; forma attesa " +
                                 regional.amountForm(),
                             "MOVIMENTO", text);
    return *value;
}

std::string messaggioData(std::string_view titolo, std::string_view testo, const Regional& regional)
{
    std::string out(titolo);
    out += testo.empty() ? "\nData mancante" : "\nData non valida: \"" + std::string(testo) + "\"";
    out += "; forma attesa " + regional.dateForm() + " (oppure aaaa-mm-gg)";
    return out;
}

namespace {

std::string trimmed(std::string_view text)
{
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return std::string(text);
}

// What was found in place of the file to import: the second line of
// "Scegliere il file da importare". Empty when the file is there.
std::string fileMancante(const SuitePaths& paths, const std::string& fileName)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path path = paths.importDir() / fileName;
    if (fileName.empty()) return "Nessun file indicato (cartella " + paths.importDir().string() + ")";
    if (fs::is_regular_file(path, ec)) return {};
    // A whole path (from the command line) says nothing about the suite's folders.
    if (fs::path(fileName).is_relative() && !fs::is_directory(paths.root, ec))
        return "Cartella della suite non trovata: " + paths.root.string();
    if (fs::path(fileName).is_relative() && !fs::is_directory(paths.importDir(), ec))
        return "Cartella di importazione non trovata: " + paths.importDir().string();
    if (fs::is_directory(path, ec)) return "È una cartella, non un file: " + path.string();
    if (fs::exists(path, ec)) return "Non è un file ordinario: " + path.string();
    return "File non trovato: " + path.string();
}

// The lines that follow "Nessuna pratica" when the file holds no case element
// of the chosen format: what was looked for and, when the file holds the
// other format's elements (at any depth), how the front end reads them.
std::string motivoNessunaPratica(const StreamSummary& s, const RunParams& p)
{
    const bool modoDocumento = p.modoDocumento;
    const std::string wanted = modoDocumento ? "documento" : "PRATICA";
    const std::string other = modoDocumento ? "PRATICA" : "documento";
    std::string out = "Nessun elemento " + wanted + " sotto la radice <" + s.rootName + ">.";
    if (s.otherFormat > 0) {
        out += "\nIl file contiene " + std::to_string(s.otherFormat) +
               (s.otherFormat == 1 ? " elemento " : " elementi ") + other;
        out += modoDocumento ? " (formato Corvestra)" : " (formato banca)";
        // An export without root element in the Corvestra format is no
        // Corvestra delivery: "Importa" does not read it.
        const bool esportazione = s.rootSupplied && modoDocumento;
        if (esportazione) out += " senza elemento radice";
        const std::string& come = esportazione ? p.comeLeggereCorvestraTesto
                                  : modoDocumento ? p.comeLeggereCorvestra
                                                  : p.comeLeggereBanca;
        out += come.empty() ? "." : ": " + come + ".";
    }
    if (s.deeper > 0) out += "\nIl file contiene elementi " + wanted + ", ma non come figli diretti della radice.";
    if (!s.sameLetters.empty()) {
        out += "\nIl file contiene elementi " + s.sameLetters +
               ": il nome deve corrispondere esattamente, maiuscole comprese.";
    }
    return out;
}

std::string rigaListino(const Case& v, const Regional& regional)
{
    return Fill(v.CodicePratica, 16) + "|" + Fill(v.Nominativo, 15) + "|" + Fill(v.Indirizzo, 10) + "|" +
           Fill(v.Cap, 5) + "|" + Fill(trimmed(v.Localita + " " + v.Comune), 10) + "|" + Fill(v.Provincia, 2) +
           "|" + Fill(v.Telefono, 10) + "|" + Fill(v.AltriTelefoni[1], 10) + "|" + Fill(v.AltriTelefoni[2], 9) +
           "|" + Filla(v.Capitale.toRegional(regional), 8) + "|" + Filla(v.InteressiMora.toRegional(regional), 7) +
           "|" + Filla(v.SpeseRecupero.toRegional(regional), 7) + "|" +
           Filla(v.RataGlobale.toRegional(regional), 7);
}

// The codes of the last cases written, by their number: a row the database
// refuses is reported some cases after its own, while later ones are being
// written (never more than a round of rows later).
class CodiciRecenti {
public:
    void metti(int numero, const std::string& codice) { ultimi_[slot(numero)] = {numero, codice}; }
    // " (codice X)", or nothing when the case is unknown or has no code.
    std::string di(std::int64_t numero) const
    {
        if (numero < 1) return {};
        const auto& [n, code] = ultimi_[slot(numero)];
        if (n != numero || code.empty()) return {};
        return " (codice " + code + ")";
    }

private:
    static constexpr std::size_t kQuanti = 16384;
    static std::size_t slot(std::int64_t numero) { return static_cast<std::size_t>(numero) % kQuanti; }
    std::vector<std::pair<std::int64_t, std::string>> ultimi_ = decltype(ultimi_)(kQuanti);
};

// The message for a row the database refused, maybe some cases after the
// one it belongs to: that case's number and code.
std::string rigaRifiutata(const db::RowRefused& e, const CodiciRecenti& codici, const std::filesystem::path& path)
{
    std::string pratica = "della pratica n. " + std::to_string(e.owner()) + codici.di(e.owner());
    if (e.lastOwner() != e.owner())
        pratica = "di una delle pratiche dalla n. " + std::to_string(e.owner()) + codici.di(e.owner()) + " alla n. " +
                  std::to_string(e.lastOwner()) + codici.di(e.lastOwner());
    return "Errore nella scrittura " + pratica + " del file " + path.string() + "\n" + e.what();
}

// A connection that broke is said as such: the case being written when it
// broke has nothing wrong.
bool connessionePersa(const std::exception& failure)
{
    const auto* dbError = dynamic_cast<const db::DbError*>(&failure);
    return dbError != nullptr && dbError->failure() == db::DbFailure::ConnectionLost;
}

std::string messaggioConnessionePersa(const std::filesystem::path& path, int pratica)
{
    return "Connessione al database persa durante l'importazione del file " + path.string() +
           (pratica > 0 ? " (alla pratica n. " + std::to_string(pratica) + ")" : std::string()) + ".";
}

// The reading thread of a run. However the run ends, the thread is told to
// give up and waited for before the run's state goes.
class ReadingThread {
public:
    ReadingThread(const LetturaOpzioni& opzioni, CodaLetture& coda, PraticheUsate& usate, std::atomic<bool>& abbandona)
        : coda_(coda), abbandona_(abbandona),
          thread_([&opzioni, &coda, &usate] { leggiPratiche(opzioni, coda, usate); })
    {
    }
    ~ReadingThread()
    {
        abbandona_ = true;
        coda_.close();
        thread_.join();
    }
    ReadingThread(const ReadingThread&) = delete;
    ReadingThread& operator=(const ReadingThread&) = delete;

private:
    CodaLetture& coda_;
    std::atomic<bool>& abbandona_;
    std::thread thread_;
};

// A few cases read ahead of the one being written: enough for the two
// threads not to wait on each other at every case, few enough for memory to
// follow the cases, not the file.
constexpr std::size_t kPraticheInCoda = 16;
constexpr std::size_t kByteInCoda = std::size_t{8} << 20;

class Run {
public:
    Run(const RunParams& params, const SuitePaths& paths, const Regional& regional, RunListener& listener,
        const StoreOpener& openStore)
        : p_(params), paths_(paths), regional_(regional), out_(listener), openStore_(openStore),
          annullata_(db::CancelScope::watch())
    {
    }

    RunResult execute();
    // Ends a run that ran out of memory, in Italian, nothing written.
    RunResult outOfMemory();

private:
    RunResult finish(RunOutcome outcome, const std::string& message, Box focus = Box::None);
    RunResult abort(RunOutcome outcome, const std::string& message);
    // A stop of the operator: asked between two cases, or met by a statement
    // it cancelled (a wait for a table another session holds).
    bool stopAsked(const std::exception& failure) const;
    RunResult stopped();
    bool checkParameters(RunResult& failed);
    // The steps of a run that may end it: the run's result, or nothing to go on.
    std::optional<RunResult> scriviPratiche(const std::filesystem::path& path);
    std::optional<RunResult> apriLotto();
    std::optional<RunResult> scrivi(PraticaLetta& letta, const std::filesystem::path& path);
    RunResult fallitaLettura(std::exception_ptr error);
    std::optional<RunResult> controllaGiaPresenti();
    void closeCase(const Case& v, const std::string& memo);
    void elencaGiaPresenti(const CodiciFile& codici);

    const RunParams& p_;
    const SuitePaths& paths_;
    const Regional& regional_;
    RunListener& out_;
    const StoreOpener& openStore_;
    const std::function<bool()> annullata_;  // Interrompi or Ctrl-C, at any moment

    std::unique_ptr<CaseStore> store_;
    const LimitiValori* limiti_ = nullptr;
    RunCounters counters_;
    bool transactionOpen_ = false;
    bool commitUnanswered_ = false;  // the connection broke during the commit itself
    bool rolledBack_ = false;
    int casesRead_ = 0;
    CodiciFile codici_;
    CodiciRecenti recenti_;
};

RunResult Run::finish(RunOutcome outcome, const std::string& message, Box focus)
{
    out_.waitCursor(false);
    out_.message(message, focus);
    return RunResult{outcome, message, counters_, rolledBack_, casesRead_};
}

// Ends a run that failed after the batch was opened: nothing of it stays,
// and the counters say so (no case written, no batch).
RunResult Run::abort(RunOutcome outcome, const std::string& message)
{
    std::string text = message;
    // A normal run that reached its database; its batch and rows, when it
    // got that far, are one transaction.
    if (!p_.soloTest && store_) {
        std::string undone = "\nL'importazione è stata annullata: l'archivio non è stato modificato.";
        // The connection broke while the server was committing: the batch
        // row, written in the same transaction as the cases, tells.
        if (commitUnanswered_ && counters_.lotto)
            undone = "\nLa conferma è rimasta senza risposta: l'importazione può essere stata registrata intera "
                     "oppure per niente. Se l'elenco dei lotti (crvxml lotti) mostra il lotto " +
                     std::to_string(*counters_.lotto) + ", è registrata; altrimenti l'archivio non è stato modificato.";
        if (transactionOpen_) {
            try {
                store_->rollback();
            } catch (const std::exception& e) {
                undone = std::string("\nAnnullamento non riuscito: ") + e.what();
            }
        }
        text += undone;
        transactionOpen_ = false;
        rolledBack_ = true;
        counters_ = RunCounters{};
        out_.countersChanged(counters_);
    }
    return finish(outcome, text);
}

bool Run::stopAsked(const std::exception& failure) const
{
    const auto* dbError = dynamic_cast<const db::DbError*>(&failure);
    return (dbError != nullptr && dbError->failure() == db::DbFailure::Cancelled) || out_.stopRequested() ||
           annullata_();
}

RunResult Run::outOfMemory()
{
    return abort(RunOutcome::BadInput, "Memoria insufficiente per importare il file " +
                                           (paths_.importDir() / p_.fileName).string() +
                                           (casesRead_ > 0 ? " (dopo la pratica n. " + std::to_string(casesRead_) + ")"
                                                           : std::string()) +
                                           ": un valore del file è troppo grande per la memoria disponibile.");
}

RunResult Run::stopped()
{
    return abort(RunOutcome::Stopped, casesRead_ == 0 ? std::string("Importazione interrotta dall'operatore.")
                                                      : "Importazione interrotta dall'operatore alla pratica n. " +
                                                            std::to_string(casesRead_) + ".");
}

bool Run::checkParameters(RunResult& failed)
{
    struct Check {
        bool ok;
        std::string message;
        Box box;
    };
    const Check checks[] = {
        {regional_.parseDate(p_.dataAffido).has_value(),
         messaggioData("Inserire Data Affido", p_.dataAffido, regional_), Box::DataAffido},
        {regional_.parseDate(p_.scadenza).has_value(), messaggioData("Inserire Scadenza Mandato", p_.scadenza, regional_),
         Box::Scadenza},
        {!p_.intervento.empty(), "Inserire Tipo Intervento", Box::Intervento},
        {!p_.mandato.empty(), "Inserire Codice Mandato", Box::Mandato},
    };
    for (const Check& c : checks) {
        if (!c.ok) {
            failed = finish(RunOutcome::BadParameter, c.message, c.box);
            return false;
        }
    }
    return true;
}

void Run::closeCase(const Case& v, const std::string& text)
{
    out_.listingLine(rigaListino(v, regional_));
    counters_.capitale += v.Capitale;
    counters_.interessi += v.InteressiMora;
    counters_.spese += v.SpeseRecupero;
    if (p_.dettagli) {
        std::size_t start = 0;
        while (!text.empty()) {
            const std::size_t end = text.find("\r\n", start);
            out_.listingLine(std::string_view(text).substr(start, end == std::string::npos ? end : end - start));
            if (end == std::string::npos) break;
            start = end + 2;
        }
        out_.listingLine("");
    }
    if (p_.soloTest) out_.listingLine(std::string(140, '-'));
}

RunResult Run::execute()
{
    const std::filesystem::path path = paths_.importDir() / p_.fileName;
    if (const std::string missing = messaggioFileMancante(paths_, p_.fileName); !missing.empty())
        return finish(RunOutcome::NoFile, missing);

    RunResult failed;
    if (!checkParameters(failed)) return failed;

    // A run that cannot start leaves the last run's listing, as its counters.
    out_.listingCleared();
    out_.listingLine(intestazioneListino());

    counters_.lotto.reset();
    out_.countersChanged(counters_);

    if (p_.soloTest) {
        store_ = std::make_unique<TestCaseStore>(out_);
    } else {
        try {
            store_ = openStore_(p_);
            // The reader refuses a value no field could hold before copying it.
            limiti_ = store_->limiti();
        } catch (const db::AccessArchiveMissing& e) {
            return abort(RunOutcome::AccessArchiveMissing, e.what());
        } catch (const std::bad_alloc&) {
            throw;  // told once, by lavora
        } catch (const std::exception& e) {
            if (stopAsked(e)) return stopped();
            return abort(RunOutcome::DatabaseError, e.what());
        }
    }

    out_.waitCursor(true);
    if (auto ended = scriviPratiche(path)) return std::move(*ended);
    // The whole file is read: what the register knows of it comes before
    // the check of the cases already in the archive.
    if (p_.primaDelControllo) {
        if (const auto text = p_.primaDelControllo()) out_.message(*text, Box::None);
    }

    if (!p_.soloTest) {
        if (out_.stopRequested() || annullata_()) return stopped();
        if (auto ended = controllaGiaPresenti()) return std::move(*ended);
        bool committing = false;
        try {
            if (counters_.praticheImportate != 0)
                store_->SalvaNumPratiche(*counters_.lotto, counters_.praticheImportate);
            committing = true;
            store_->commit();
            transactionOpen_ = false;
        } catch (const db::RowRefused& e) {
            // Rows still on their way: the commit itself was never sent.
            if (stopAsked(e)) return stopped();
            if (connessionePersa(e)) return abort(RunOutcome::DatabaseError, messaggioConnessionePersa(path, casesRead_));
            return abort(RunOutcome::DatabaseError, rigaRifiutata(e, recenti_, path));
        } catch (const std::bad_alloc&) {
            throw;  // told once, by lavora
        } catch (const std::exception& e) {
            if (stopAsked(e)) return stopped();
            if (connessionePersa(e)) {
                commitUnanswered_ = committing;
                return abort(RunOutcome::DatabaseError, messaggioConnessionePersa(path, 0));
            }
            return abort(RunOutcome::DatabaseError, e.what());
        }
    }
    if (p_.soloTest && !p_.ancheGiaPresenti) elencaGiaPresenti(codici_);
    return finish(RunOutcome::Concluded, "Importazione Conclusa");
}

// The cases come in the file's order from the reading thread, a few ahead;
// each is listed, counted and written here as it comes.
std::optional<RunResult> Run::scriviPratiche(const std::filesystem::path& path)
{
    std::atomic<bool> abbandona{false};
    LetturaOpzioni opzioni;
    opzioni.file = path;
    opzioni.params = &p_;
    opzioni.regional = &regional_;
    opzioni.limiti = limiti_;
    opzioni.codiciScritti = !p_.ancheGiaPresenti;
    opzioni.stop = [this, &abbandona] { return abbandona.load() || annullata_(); };
    PraticheUsate usate;
    CodaLetture coda(kPraticheInCoda, kByteInCoda, annullata_);
    const ReadingThread reading(opzioni, coda, usate, abbandona);

    for (;;) {
        std::optional<Lettura> lettura = coda.pop();
        if (!lettura) return stopped();
        if (auto* error = std::get_if<std::exception_ptr>(&*lettura)) return fallitaLettura(*error);
        if (auto* fine = std::get_if<FineLettura>(&*lettura)) {
            if (casesRead_ > 0) return std::nullopt;
            return abort(RunOutcome::NoCases, "Nessuna pratica da importare nel file " + path.string() + "\n" +
                                                  motivoNessunaPratica(fine->riepilogo, p_));
        }
        std::unique_ptr<PraticaLetta> letta = std::move(std::get<std::unique_ptr<PraticaLetta>>(*lettura));
        // The batch is opened once the file has given a case.
        if (letta->numero == 1 && !p_.soloTest) {
            if (auto ended = apriLotto()) return ended;
        }
        if (auto ended = scrivi(*letta, path)) return ended;
        if (annullata_()) return stopped();
        if (!out_.progress(RunProgress{letta->numero, letta->letti, letta->dimensione})) return stopped();
        usate.restituisci(std::move(letta));
    }
}

// The run's transaction and its batch. The transaction comes with the
// archive's import lock: another import into the same archive waits here
// until this one is over, and then finds its cases.
std::optional<RunResult> Run::apriLotto()
{
    bool waited = false;
    try {
        store_->begin([&] {
            waited = true;
            out_.attesa(db::kAttesaAltraImportazione);
        });
        transactionOpen_ = true;
        if (waited) out_.attesa({});
        counters_.lotto = store_->AddLotto(p_);
        out_.countersChanged(counters_);
    } catch (const std::bad_alloc&) {
        throw;  // told once, by lavora
    } catch (const std::exception& e) {
        if (waited) out_.attesa({});
        if (stopAsked(e)) return stopped();
        if (connessionePersa(e)) return abort(RunOutcome::DatabaseError, messaggioConnessionePersa(paths_.importDir() / p_.fileName, 0));
        return abort(RunOutcome::DatabaseError, e.what());
    }
    return std::nullopt;
}

// Lists and writes one case; in the bank format plays back the store calls
// its reader made. When reading failed inside the case, its calls up to the
// failure are played, then the failure ends the run.
std::optional<RunResult> Run::scrivi(PraticaLetta& letta, const std::filesystem::path& path)
{
    const int position = letta.numero;
    recenti_.metti(position, letta.codice);
    try {
        store_->nuovaPratica(position);
        riproduci(letta.chiamate, letta.memo, *store_);
        if (letta.errore) std::rethrow_exception(letta.errore);
        closeCase(letta.valori, letta.memo);
        if (!p_.soloTest && !p_.modoDocumento) store_->ScriviPratica(letta.valori, letta.memo);
    } catch (const db::RowRefused& e) {
        if (stopAsked(e)) return stopped();
        if (connessionePersa(e)) return abort(RunOutcome::DatabaseError, messaggioConnessionePersa(path, position));
        return abort(RunOutcome::DatabaseError, rigaRifiutata(e, recenti_, path));
    } catch (const CaseInputError& e) {
        return abort(RunOutcome::BadInput, "Errore nel file " + path.string() + "\nPratica n. " +
                                               std::to_string(position) +
                                               recenti_.di(position) +
                                               "\nElemento " + e.element() + " = \"" + e.text() + "\": " + e.what());
    } catch (const AmountOverflow& e) {
        return abort(RunOutcome::BadInput,
                     "Errore nel file " + path.string() + "\nPratica n. " + std::to_string(position) + ": " + e.what());
    } catch (const std::bad_alloc&) {
        throw;  // told once, by lavora
    } catch (const std::exception& e) {
        if (stopAsked(e)) return stopped();
        if (connessionePersa(e)) return abort(RunOutcome::DatabaseError, messaggioConnessionePersa(path, position));
        return abort(RunOutcome::DatabaseError, "Errore nella scrittura della pratica n. " + std::to_string(position) +
                                                    recenti_.di(position) +
                                                    " del file " + path.string() + "\n" + e.what());
    }
    if (!p_.ancheGiaPresenti) codici_.aggiungi(std::move(letta.codiceScritto));
    counters_.praticheImportate = position;
    casesRead_ = position;
    out_.countersChanged(counters_);
    return std::nullopt;
}

// The file could not be read further, outside any case.
RunResult Run::fallitaLettura(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const CaseStreamError& e) {
        return abort(RunOutcome::ParseError, parseErrorMessage(e.error()));
    } catch (const StreamStopped&) {
        return stopped();
    } catch (const std::bad_alloc&) {
        throw;  // told once, by lavora
    } catch (const std::exception& e) {
        return abort(RunOutcome::ParseError, e.what());
    }
}

// Every case is written: the archive's cases outside this run's batch that
// carry the file's codes, and the codes the file repeats, are looked for
// inside the run's transaction; the operator decides whether to keep them.
std::optional<RunResult> Run::controllaGiaPresenti()
{
    if (p_.ancheGiaPresenti) return std::nullopt;
    GiaPresenti fatti;
    try {
        store_->cercaGiaPresenti(codici_, fatti, counters_.lotto);
    } catch (const std::bad_alloc&) {
        throw;  // told once, by lavora
    } catch (const std::exception& e) {
        if (stopAsked(e)) return stopped();
        return abort(RunOutcome::DatabaseError,
                     std::string("Impossibile cercare in archivio le pratiche del file: ") + e.what());
    }
    if (!fatti.avvisoIndice.empty()) out_.nota(fatti.avvisoIndice);
    if (!fatti.nessuno() && !out_.importareComunque(testoGiaPresenti(fatti, regional_)))
        return abort(RunOutcome::AlreadyImported,
                     "Importazione non eseguita: pratiche già presenti in archivio o ripetute nel file.");
    if (out_.stopRequested() || annullata_()) return stopped();
    return std::nullopt;
}

// A test run ends its listing with what a normal run would ask about. The
// archive is only read, and only when one is configured; a failure to reach
// it is one line, never the run's failure.
void Run::elencaGiaPresenti(const CodiciFile& codici)
{
    GiaPresenti fatti = ripetuteNelFile(codici);
    std::string problema;
    try {
        const bool configurato = p_.usaAccess || !db::LeggiConnString(paths_, false).empty();
        if (configurato && openStore_) openStore_(p_)->cercaGiaPresenti(codici, fatti, std::nullopt);
    } catch (const std::exception& e) {
        problema = e.what();
    }
    if (!fatti.avvisoIndice.empty()) out_.nota(fatti.avvisoIndice);
    if (!problema.empty()) {
        for (char& c : problema)
            if (c == '\n') c = ' ';
        out_.listingLine("Pratiche già presenti in archivio: non controllate (" + problema + ")");
    }
    if (fatti.nessuno()) return;
    const std::string text = testoGiaPresenti(fatti, regional_);
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find('\n', start);
        out_.listingLine(std::string_view(text).substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
}

}  // namespace

std::string messaggioFileMancante(const SuitePaths& paths, const std::string& fileName)
{
    const std::string missing = fileMancante(paths, fileName);
    return missing.empty() ? std::string() : "Scegliere il file da importare\n" + missing;
}

RunResult lavora(const RunParams& params, const SuitePaths& paths, const Regional& regional, RunListener& listener,
                 const StoreOpener& openStore)
{
    Run run(params, paths, regional, listener, openStore);
    try {
        return run.execute();
    } catch (const std::bad_alloc&) {
        // What the run held is freed on the way here: enough to say so.
        return run.outOfMemory();
    }
}

}  // namespace crv
