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

#include "db/statement_cancel.h"
#include "import/already_imported.h"
#include "import/case_codes.h"
#include "import/case_error.h"
#include "import/case_reading.h"
#include "import/listing_format.h"
#include "import/run_fault.h"

namespace crv {

namespace {

// The second line of a date parameter's message: what was typed, and the form expected.
std::string motivoData(std::string_view testo, const Regional& regional)
{
    std::string out = testo.empty() ? "Data mancante" : "Data non valida: \"" + std::string(testo) + "\"";
    out += "; forma attesa " + regional.dateForm() + " (oppure aaaa-mm-gg)";
    return out;
}

}  // namespace

std::string messaggioData(std::string_view titolo, std::string_view testo, const Regional& regional)
{
    return std::string(titolo) + "\n" + motivoData(testo, regional);
}

namespace {

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

// The codes of the last cases written, by their number: a row the database
// refuses is reported some cases after its own, while later ones are being
// written (never more than a round of rows later).
class CodiciRecenti {
public:
    void metti(int numero, const std::string& codice) { ultimi_[slot(numero)] = {numero, codice}; }
    // The code of case `numero`; empty when the case is no longer known or has none.
    std::string di(std::int64_t numero) const
    {
        if (numero < 1) return {};
        const auto& [n, code] = ultimi_[slot(numero)];
        return n == numero ? code : std::string();
    }

private:
    static constexpr std::size_t kQuanti = 16384;
    static std::size_t slot(std::int64_t numero) { return static_cast<std::size_t>(numero) % kQuanti; }
    std::vector<std::pair<std::int64_t, std::string>> ultimi_ = decltype(ultimi_)(kQuanti);
};

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

// A text on one line of the listing.
std::string suUnaRiga(std::string text)
{
    for (char& c : text)
        if (c == '\n') c = ' ';
    return text;
}

// Where a failure was met: the same failure means something else at each step.
enum class Fase {
    Apertura,  // opening the archive
    Lotto,     // the transaction and the batch
    Pratica,   // listing and writing one case
    Lettura,   // reading the file, outside any case
    Ricerca,   // looking for the cases already in the archive
    Conferma,  // the batch's count and the commit
};

// The wait for another run on the same archive, said while it lasts.
class AttesaDetta {
public:
    explicit AttesaDetta(RunListener& out) : out_(out) {}
    ~AttesaDetta()
    {
        if (detta_) out_.attesa({});
    }
    AttesaDetta(const AttesaDetta&) = delete;
    AttesaDetta& operator=(const AttesaDetta&) = delete;
    void di(std::string_view text)
    {
        detta_ = true;
        out_.attesa(text);
    }

private:
    RunListener& out_;
    bool detta_ = false;
};

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
    RunResult finish(RunOutcome outcome, const std::string& message, Box focus = Box::None,
                     std::optional<Guasto> guasto = std::nullopt);
    // Ends a run that did not conclude: a normal run that reached its
    // archive undoes what it wrote, and the counters say so.
    RunResult abort(RunOutcome outcome, Guasto guasto, Box focus = Box::None);
    // A fault of this run's file; of one of its cases, with what the file held.
    Guasto guastoDelFile(TipoGuasto tipo) const;
    Guasto guastoDellaPratica(TipoGuasto tipo, int pratica, std::string elemento, std::string valore,
                              std::string motivo) const;
    RunResult stopped();
    // Runs a step of the run; a failure ends the run, told once for its kind.
    template <typename Step>
    std::optional<RunResult> passo(Fase fase, int pratica, Step&& step);
    RunResult fallito(std::exception_ptr error, Fase fase, int pratica);
    RunResult fallitoStore(const std::exception& failure, Fase fase, int pratica);
    bool checkParameters(RunResult& failed);
    // The steps of a run that may end it: the run's result, or nothing to go on.
    std::optional<RunResult> scriviPratiche(const std::filesystem::path& path);
    std::optional<RunResult> apriLotto();
    std::optional<RunResult> scrivi(PraticaLetta& letta);
    std::optional<RunResult> controllaGiaPresenti();
    void apriProva();
    void closeCase(const Case& v, const std::string& memo);

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
    bool committing_ = false;        // the commit itself was sent
    bool commitUnanswered_ = false;  // the connection broke during the commit itself
    bool rolledBack_ = false;
    int casesRead_ = 0;
    std::string soloFile_;  // a test run that checked the file alone: why
    CodiciFile codici_;
    CodiciRecenti recenti_;
};

RunResult Run::finish(RunOutcome outcome, const std::string& message, Box focus, std::optional<Guasto> guasto)
{
    out_.waitCursor(false);
    out_.message(message, focus);
    return RunResult{outcome, message, counters_, rolledBack_, casesRead_, std::move(guasto), soloFile_};
}

RunResult Run::abort(RunOutcome outcome, Guasto guasto, Box focus)
{
    // A normal run that reached its database; its batch and rows, when it
    // got that far, are one transaction.
    if (!p_.soloTest && store_) {
        guasto.annullamento = Annullamento::Annullata;
        // The connection broke while the server was committing: the batch
        // row, written in the same transaction as the cases, tells.
        if (commitUnanswered_ && counters_.lotto) {
            guasto.annullamento = Annullamento::ConfermaSenzaRisposta;
            guasto.lotto = counters_.lotto;
        }
        if (transactionOpen_) {
            try {
                store_->rollback();
            } catch (const std::exception& e) {
                guasto.annullamento = Annullamento::NonRiuscito;
                guasto.motivoAnnullamento = e.what();
            }
        }
        transactionOpen_ = false;
        rolledBack_ = true;
        counters_ = RunCounters{};
        out_.countersChanged(counters_);
    }
    const std::string text = testoGuasto(guasto);
    return finish(outcome, text, focus, std::move(guasto));
}

Guasto Run::guastoDelFile(TipoGuasto tipo) const
{
    Guasto g;
    g.tipo = tipo;
    g.file = (paths_.importDir() / p_.fileName).string();
    return g;
}

Guasto Run::guastoDellaPratica(TipoGuasto tipo, int pratica, std::string elemento, std::string valore,
                               std::string motivo) const
{
    Guasto g = guastoDelFile(tipo);
    g.pratica = pratica;
    g.codice = recenti_.di(pratica);
    g.elemento = std::move(elemento);
    g.valore = std::move(valore);
    g.motivo = std::move(motivo);
    return g;
}

template <typename Step>
std::optional<RunResult> Run::passo(Fase fase, int pratica, Step&& step)
{
    try {
        step();
        return std::nullopt;
    } catch (const std::bad_alloc&) {
        throw;  // told once, by lavora
    } catch (...) {
        return fallito(std::current_exception(), fase, pratica);
    }
}

RunResult Run::fallito(std::exception_ptr error, Fase fase, int pratica)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
        throw;  // told once, by lavora
    } catch (const CaseStreamError& e) {
        return abort(RunOutcome::ParseError, guastoXml(e.error()));
    } catch (const StreamStopped&) {
        return stopped();
    } catch (const CaseInputError& e) {
        return abort(RunOutcome::BadInput, guastoDellaPratica(TipoGuasto::DatoErrato, pratica, e.element(), e.text(), e.what()));
    } catch (const PraticaSenzaIntestatario& e) {
        return abort(RunOutcome::BadInput,
                     guastoDellaPratica(TipoGuasto::SenzaIntestatario, pratica, "intestatario", {}, e.what()));
    } catch (const AmountOverflow& e) {
        return abort(RunOutcome::BadInput, guastoDellaPratica(TipoGuasto::DatoErrato, pratica, {}, {}, e.what()));
    } catch (const std::exception& e) {
        return fallitoStore(e, fase, pratica);
    }
}

RunResult Run::fallitoStore(const std::exception& failure, Fase fase, int pratica)
{
    using T = GuastoStore::Tipo;
    const GuastoStore s = classificaGuasto(failure);
    Guasto g = guastoDelFile(TipoGuasto::Database);
    g.motivo = failure.what();
    g.campo = s.campo;
    if (s.tipo == T::ArchivioMancante) {
        g.tipo = TipoGuasto::ArchivioAccessMancante;
        return abort(RunOutcome::AccessArchiveMissing, std::move(g));
    }
    if (fase == Fase::Lettura) {
        g.tipo = TipoGuasto::Lettura;
        return abort(RunOutcome::ParseError, std::move(g));
    }
    // A stop of the operator: asked between two cases, or met by a
    // statement it cancelled (a wait for a table another session holds).
    if (s.tipo == T::Interruzione || out_.stopRequested() || annullata_()) return stopped();
    if (fase == Fase::Ricerca) {
        g.tipo = TipoGuasto::Ricerca;
        return abort(RunOutcome::DatabaseError, std::move(g));
    }
    // A connection that broke is said as such: the case being written when
    // it broke has nothing wrong.
    if (s.tipo == T::ConnessionePersa && fase != Fase::Apertura) {
        g.tipo = TipoGuasto::ConnessionePersa;
        if (fase == Fase::Pratica)
            g.pratica = pratica;
        else if (fase == Fase::Conferma && s.daPratica > 0)
            g.pratica = casesRead_;  // rows still on their way: the commit itself was never sent
        else if (fase == Fase::Conferma)
            commitUnanswered_ = committing_;
        return abort(RunOutcome::DatabaseError, std::move(g));
    }
    // A row refused, maybe some cases after the one it belongs to: that
    // case's number and code.
    if (s.daPratica > 0 || fase == Fase::Pratica) {
        g.tipo = TipoGuasto::RigaRifiutata;
        g.pratica = s.daPratica > 0 ? static_cast<int>(s.daPratica) : pratica;
        g.finoAPratica = s.daPratica > 0 ? static_cast<int>(s.aPratica) : pratica;
        g.codice = recenti_.di(g.pratica);
        g.codiceFinoA = recenti_.di(g.finoAPratica);
    }
    return abort(RunOutcome::DatabaseError, std::move(g));
}

RunResult Run::outOfMemory()
{
    Guasto g = guastoDelFile(TipoGuasto::Memoria);
    g.pratica = casesRead_;
    return abort(RunOutcome::BadInput, std::move(g));
}

RunResult Run::stopped()
{
    Guasto g = guastoDelFile(TipoGuasto::Interrotta);
    g.pratica = casesRead_;
    return abort(RunOutcome::Stopped, std::move(g));
}

bool Run::checkParameters(RunResult& failed)
{
    struct Check {
        bool ok;
        const char* campo;
        const std::string& testo;
        bool data;
        Box box;
    };
    const Check checks[] = {
        {regional_.parseDate(p_.dataAffido).has_value(), "Data Affido", p_.dataAffido, true, Box::DataAffido},
        {regional_.parseDate(p_.scadenza).has_value(), "Scadenza Mandato", p_.scadenza, true, Box::Scadenza},
        {!p_.intervento.empty(), "Tipo Intervento", p_.intervento, false, Box::Intervento},
        {!p_.mandato.empty(), "Codice Mandato", p_.mandato, false, Box::Mandato},
    };
    for (const Check& c : checks) {
        if (!c.ok) {
            Guasto g;
            g.tipo = TipoGuasto::Parametro;
            g.campo = c.campo;
            g.valore = c.testo;
            if (c.data) g.motivo = motivoData(c.testo, regional_);
            failed = abort(RunOutcome::BadParameter, std::move(g), c.box);
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
    if (const std::string missing = fileMancante(paths_, p_.fileName); !missing.empty()) {
        Guasto g = guastoDelFile(TipoGuasto::FileMancante);
        g.motivo = missing;
        return abort(RunOutcome::NoFile, std::move(g));
    }

    RunResult failed;
    if (!checkParameters(failed)) return failed;

    // A run that cannot start leaves the last run's listing, as its counters.
    out_.listingCleared();
    out_.listingLine(intestazioneListino());

    counters_.lotto.reset();
    out_.countersChanged(counters_);

    if (p_.soloTest) {
        apriProva();
    } else if (auto ended = passo(Fase::Apertura, 0, [&] {
                   store_ = openStore_(p_);
                   // The reader refuses a value no field could hold before copying it.
                   limiti_ = store_->limiti();
               })) {
        return std::move(*ended);
    }

    out_.waitCursor(true);
    if (auto ended = scriviPratiche(path)) return std::move(*ended);
    if (auto ended = passo(Fase::Pratica, casesRead_, [&] { store_->fineCasi(); })) return std::move(*ended);
    // The whole file is read: what the register knows of it comes before
    // the check of the cases already in the archive.
    if (p_.primaDelControllo) {
        if (const auto text = p_.primaDelControllo()) out_.message(*text, Box::None);
    }

    if (out_.stopRequested() || annullata_()) return stopped();
    if (auto ended = controllaGiaPresenti()) return std::move(*ended);
    if (!p_.soloTest) {
        if (auto ended = passo(Fase::Conferma, casesRead_, [&] {
                if (counters_.praticheImportate != 0)
                    store_->SalvaNumPratiche(*counters_.lotto, counters_.praticheImportate);
                committing_ = true;
                store_->commit();
                transactionOpen_ = false;
            }))
            return std::move(*ended);
    }
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
        if (auto* error = std::get_if<std::exception_ptr>(&*lettura)) return fallito(*error, Fase::Lettura, 0);
        if (auto* fine = std::get_if<FineLettura>(&*lettura)) {
            if (casesRead_ > 0) return std::nullopt;
            Guasto g = guastoDelFile(TipoGuasto::NessunaPratica);
            g.motivo = motivoNessunaPratica(fine->riepilogo, p_);
            return abort(RunOutcome::NoCases, std::move(g));
        }
        std::unique_ptr<PraticaLetta> letta = std::move(std::get<std::unique_ptr<PraticaLetta>>(*lettura));
        // The batch is opened once the file has given a case.
        if (letta->numero == 1 && !p_.soloTest) {
            if (auto ended = apriLotto()) return ended;
        }
        if (auto ended = scrivi(*letta)) return ended;
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
    return passo(Fase::Lotto, 0, [&] {
        {
            AttesaDetta attesa(out_);
            store_->begin([&](std::string_view text) { attesa.di(text); });
        }
        transactionOpen_ = true;
        counters_.lotto = store_->AddLotto(p_);
        out_.countersChanged(counters_);
    });
}

// Lists and writes one case; in the bank format plays back the store calls
// its reader made. When reading failed inside the case, its calls up to the
// failure are played, then the failure ends the run.
std::optional<RunResult> Run::scrivi(PraticaLetta& letta)
{
    const int position = letta.numero;
    recenti_.metti(position, letta.codice);
    if (auto ended = passo(Fase::Pratica, position, [&] {
            store_->nuovaPratica(position);
            riproduci(letta.chiamate, letta.memo, *store_);
            if (letta.errore) std::rethrow_exception(letta.errore);
            closeCase(letta.valori, letta.memo);
            // A test run makes the row as well, to check it.
            if (!p_.modoDocumento) store_->ScriviPratica(letta.valori, letta.memo);
        }))
        return ended;
    if (!p_.ancheGiaPresenti) codici_.aggiungi(letta.codiceScritto);
    counters_.praticheImportate = position;
    casesRead_ = position;
    out_.countersChanged(counters_);
    return std::nullopt;
}

// Every case is written (a test run: checked): the archive's cases outside
// this run's batch that carry the file's codes, and the codes the file
// repeats, are looked for (inside a normal run's transaction); the operator
// decides whether to import them anyway, and a test run reaches the same
// verdict as the normal run.
std::optional<RunResult> Run::controllaGiaPresenti()
{
    if (p_.ancheGiaPresenti) return std::nullopt;
    GiaPresenti fatti;
    if (!p_.soloTest) {
        if (auto ended = passo(Fase::Ricerca, 0, [&] { store_->cercaGiaPresenti(codici_, fatti, counters_.lotto); }))
            return ended;
    } else {
        // A test run only reads the archive: one that fails now is one line,
        // never the verdict on the file.
        try {
            store_->cercaGiaPresenti(codici_, fatti, std::nullopt);
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const std::exception& e) {
            fatti = ripetuteNelFile(codici_);
            out_.listingLine("Pratiche già presenti in archivio: non controllate (" + suUnaRiga(e.what()) + ")");
        }
    }
    if (!fatti.avvisoIndice.empty()) out_.nota(fatti.avvisoIndice);
    if (!fatti.nessuno() && !out_.importareComunque(testoGiaPresenti(fatti, regional_)))
        return abort(RunOutcome::AlreadyImported, guastoDelFile(TipoGuasto::GiaPresenti));
    if (out_.stopRequested() || annullata_()) return stopped();
    return std::nullopt;
}

// A test run makes and checks the rows a normal run would write against the
// archive's own columns, read only; where it cannot reach the archive (or
// none is configured) it checks the file alone, and says so.
void Run::apriProva()
{
    std::unique_ptr<CaseStore> archivio;
    std::string perche = "nessun archivio configurato";
    try {
        if (openStore_) {
            archivio = openStore_(p_);
            limiti_ = archivio->limiti();
        }
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        archivio.reset();
        limiti_ = nullptr;
        const GuastoStore::Tipo tipo = classificaGuasto(e).tipo;
        if (tipo == GuastoStore::Tipo::ArchivioMancante)
            perche = "archivio Access non trovato";
        else if (tipo != GuastoStore::Tipo::NessunArchivio)
            perche = "archivio non raggiungibile: " + suUnaRiga(e.what());
    }
    if (!archivio) {
        soloFile_ = perche;
        out_.listingLine("Prova sul solo file (" + perche +
                         "): non si controllano i campi dell'archivio né le pratiche già presenti");
        archivio = righeSenzaArchivio(p_, regional_);
    }
    store_ = std::make_unique<TestCaseStore>(out_, std::move(archivio));
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
