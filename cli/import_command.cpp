// crvxml import: one import run, as the window's import buttons start it.
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "app/settings.h"
#include "app/suite_root.h"
#include "cli/commands.h"
#include "cli/common_options.h"
#include "cli/ctrl_c.h"
#include "cli/input_path.h"
#include "cli/settings_options.h"
#include "db/connection_string.h"
#include "db/open_db.h"
#include "import/case_error.h"
#include "import/case_writer.h"
#include "import/driver.h"
#include "import/run_register.h"
#include "import/run_report.h"
#include "text/printable.h"

namespace crv::cli {
namespace {

std::string helpText()
{
    return std::string(
               "Uso: crvxml import [opzioni] FILE\n"
               "\n"
               "Importa FILE come i pulsanti di importazione della finestra. FILE è un nome\n"
               "nella cartella import/ della radice della suite, o il percorso di un file\n"
               "(assoluto o dalla cartella corrente) quando contiene \"/\". Il listato e i\n"
               "contatori vanno sullo standard output, quelli di una prova seguiti dalla riga\n"
               "\"Prova: l'archivio non è stato modificato\"; un'importazione che non può\n"
               "iniziare (file mancante, parametro vuoto) non ne scrive. I messaggi, e in una\n"
               "importazione normale la riga \"Database: \" con la stringa di connessione\n"
               "accorciata, vanno sullo standard error.\n"
               "La prova fa i controlli dell'importazione normale, sui campi dell'archivio\n"
               "letti senza scrivere, e ne raggiunge l'esito e l'uscita; se l'archivio non è\n"
               "configurato o raggiungibile, il listato dice che ha controllato il solo file.\n"
               "\n"
               "Opzioni:\n") +
           kCommonOptionsHelp +
           "  --affido DATA               Data Affido (senza: oggi)\n"
           "  --scadenza DATA             Scadenza Mandato (senza: oggi + 30 giorni)\n"
           "                              Le date si scrivono nella forma breve delle\n"
           "                              impostazioni regionali (gg/mm/aaaa in italiano)\n"
           "                              oppure aaaa-mm-gg\n"
           "  --banca                     formato banca, pratiche \"documento\" (Importa Radoze)\n"
           "  --testo                     esportazione di testo nel formato banca, anche senza\n"
           "                              elemento radice, letta con le riparazioni dei\n"
           "                              caratteri (Importa ROVE; anche quando il nome del\n"
           "                              programma contiene \"rove\"); il file resta com'è\n"
           "  --anche-gia-presenti        scrive anche le pratiche il cui codice (posizione)\n"
           "                              è già in archivio, si ripete nel file o manca;\n"
           "                              senza, l'importazione che ne trova le elenca dopo\n"
           "                              l'ultima pratica e annulla tutto (uscita 1), e la\n"
           "                              prova giunge allo stesso esito\n"
           "\n" +
           kSettingsOptionsHelp +
           "\n"
           "Uscita: 0 a \"Importazione Conclusa\"; 1 per ogni altro esito (file mancante,\n"
           "parametro, file non XML o senza pratiche, pratiche già in archivio, ripetute\n"
           "nel file o senza codice, dato errato, errore del database: l'archivio resta\n"
           "com'era); 2 per un uso errato (opzione sconosciuta, valore mancante o\n"
           "illeggibile, data non valida). Ctrl-C interrompe l'importazione (uscita 1,\n"
           "l'archivio resta com'era); un secondo Ctrl-C termina subito (130). SIGTERM e\n"
           "SIGHUP interrompono come Ctrl-C.\n"
           "Un archivio riceve una importazione alla volta: mentre ne è in corso un'altra\n"
           "(o l'annullamento di un lotto) l'importazione normale la attende, e lo dice;\n"
           "poi controlla le pratiche già presenti e scrive. Ctrl-C interrompe anche\n"
           "l'attesa.\n";
}

// The listing keeps the memo's tabs, a message its line breaks; any other
// control character of the file shows as a blank.
class ConsoleListener final : public RunListener {
public:
    explicit ConsoleListener(const CtrlC& ctrlC) : ctrlC_(ctrlC) {}
    void listingLine(std::string_view line) override
    {
        writeBlankingControls(stdout, line, "\t");
        std::fputc('\n', stdout);
    }
    void message(std::string_view text, Box) override
    {
        std::fflush(stdout);
        writeBlankingControls(stderr, text, "\t\n");
        std::fputc('\n', stderr);
    }
    bool progress(const RunProgress&) override { return !ctrlC_.pressed(); }
    bool stopRequested() const override { return ctrlC_.pressed(); }
    // Nobody to ask: the facts are shown and the run stops before writing.
    bool importareComunque(std::string_view fatti) override
    {
        message(fatti, Box::None);
        return false;
    }
    void attesa(std::string_view text) override
    {
        if (!text.empty()) message(text, Box::None);
    }
    void nota(std::string_view text) override { message(text, Box::None); }

private:
    const CtrlC& ctrlC_;
};

int usage(const std::string& problem)
{
    return usageError("import", problem);
}

constexpr Sinonimo kEnglish[] = {{"--bank", "--banca"}, {"--text", "--testo"}};

// The program's own name counts: a name holding "rove" starts in text mode.
bool nameAsksTextMode(const std::string& programName)
{
    std::string lower = std::filesystem::path(programName).stem().string();
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower.find("rove") != std::string::npos;
}

// Tells on standard error which database a normal run writes to, as the
// window's caption does. Nothing when the choice itself fails: the run says why.
void announceDatabase(const SuitePaths& paths, bool usaAccess)
{
    try {
        const std::string connString = db::LeggiConnString(paths, usaAccess);
        if (!connString.empty()) std::fprintf(stderr, "Database: %s\n", db::captionText(connString).c_str());
    } catch (const std::exception&) {
    }
}

// Deliveries write amounts with a decimal comma: under settings with a
// decimal point an amount refused may just need the Italian ones.
std::optional<std::string> suggerimentoImporto(const RunResult& result, const Regional& regional)
{
    if (regional.decimalSign == ',' || !result.guasto || result.guasto->tipo != TipoGuasto::DatoErrato ||
        !result.guasto->motivo.starts_with(kImportoNonNumerico))
        return std::nullopt;
    return "Se gli importi del file hanno la virgola decimale (3,50), importarlo con --locale it_IT";
}

}  // namespace

int importCommand(const Args& rawArgs)
{
    Args args = rawArgs;
    std::string programName;
    if (!args.empty() && args.front().rfind("--program-name=", 0) == 0) {
        programName = args.front().substr(15);
        args.erase(args.begin());
    }
    // The suite root comes first: its saved settings give the defaults.
    CommonOptions common;
    if (const auto status = startCommand("import", helpText(), args, common, {kEnglish, kSinonimiImpostazioni}))
        return *status;
    const SuitePaths paths = suitePathsFor(common);
    const Regional regional = regionalFor(common);

    WindowSettings settings;
    LeggiImpostazioni(paths.crvXmlIni(), settings);
    bool anySetting = false;
    if (const auto problem = takeSettingsOptions(args, settings, anySetting)) return usage(*problem);
    RunParams params = runParamsFrom(settings);
    params.modoTesto = nameAsksTextMode(programName);
    params.comeLeggereCorvestra =
        "si legge con il pulsante \"Importa\" (da riga di comando: senza --banca e --testo)";
    params.comeLeggereBanca = "si legge con il pulsante \"Importa Radoze\" (da riga di comando: --banca)";
    params.comeLeggereCorvestraTesto =
        "nessun pulsante lo legge; da riga di comando lo legge il programma con un nome che contiene "
        "\"rove\" (crvrove), senza --banca e --testo";

    // The default dates are written in the form this run reads back.
    using namespace std::chrono;
    const year_month_day today{floor<days>(system_clock::now())};
    params.dataAffido = regional.formatDate(today);
    params.scadenza = regional.formatDate(year_month_day{sys_days{today} + days{30}});

    std::optional<std::string> file;
    bool namesOnly = false;
    for (std::size_t i = 0; i < args.size();) {
        const std::string& a = args[i];
        if (namesOnly || a.rfind("--", 0) != 0 || a == "--") {
            if (a == "--" && !namesOnly) {
                namesOnly = true;
            } else if (file) {
                return usage("Un solo file per volta: " + *file + " e " + a);
            } else {
                file = a;
            }
            ++i;
            continue;
        }
        struct DateOption {
            const char* name;
            const char* title;
            std::string* target;
        };
        const DateOption dates[] = {{"--affido", "Inserire Data Affido", &params.dataAffido},
                                    {"--scadenza", "Inserire Scadenza Mandato", &params.scadenza}};
        bool taken = false;
        for (const DateOption& d : dates) {
            std::string value;
            const int r = takeOptionValue(args, i, d.name, value);
            if (r < 0) return usage(std::string("Manca il valore di ") + d.name);
            if (r == 0) continue;
            // A date that cannot be read stops before the run, with the form expected.
            if (!regional.parseDate(value)) return usage(messaggioData(d.title, value, regional) + " (" + d.name + ")");
            *d.target = value;
            taken = true;
            break;
        }
        if (taken) continue;
        if (a == "--banca") {
            params.modoDocumento = true;
        } else if (a == "--anche-gia-presenti") {
            params.ancheGiaPresenti = true;
        } else if (a == "--testo") {
            params.modoTesto = true;
            params.modoDocumento = true;
        } else {
            return usage("Opzione sconosciuta: " + a);
        }
        ++i;
    }
    if (!file) return usage("Manca il nome del file da importare");
    // The run reads a name in import/, and a path of the operator's as a whole one.
    const std::filesystem::path path = fileIndicato(*file, paths);
    std::error_code ec;
    params.fileName = path.parent_path() == paths.importDir() ? path.filename().string()
                                                              : std::filesystem::absolute(path, ec).string();

    if (!params.soloTest) announceDatabase(paths, params.usaAccess);
    const CtrlC ctrlC;
    ConsoleListener listener(ctrlC);
    const StoreOpener opener = [&](const RunParams& p) { return openDatabaseStore(paths, p, regional); };
    // Another program appending to the register: say why this one waits.
    const auto inAttesa = [&paths] {
        std::fprintf(stderr, "Il registro %s è in uso da un altro programma: attendo\n",
                     fileRegistro(paths).string().c_str());
    };
    const RunResult result = lavoraRegistrato(params, paths, regional, listener, opener, inAttesa);
    // A run that never started has no counters: zeros would read as a result.
    if (runAvviato(result.outcome)) {
        std::string report = riepilogoRun(result, regional);
        if (params.soloTest) report += std::string(kProvaSenzaModifiche) + "\n";
        std::fwrite(report.data(), 1, report.size(), stdout);
        std::fflush(stdout);
    }
    // A name in import/ of a root that is not there: how to make one.
    if (result.outcome == RunOutcome::NoFile && std::filesystem::path(params.fileName).is_relative())
        if (const std::string come = radiceMancante(paths); !come.empty()) std::fprintf(stderr, "%s\n", come.c_str());
    if (result.outcome == RunOutcome::AccessArchiveMissing)
        std::fprintf(stderr, "%s\n", archivioAccessMancante(paths).c_str());
    if (const auto hint = suggerimentoImporto(result, regional)) std::fprintf(stderr, "%s\n", hint->c_str());
    if (result.outcome == RunOutcome::AlreadyImported)
        std::fputs("Per importarle comunque: crvxml import --anche-gia-presenti\n", stderr);
    return result.outcome == RunOutcome::Concluded ? 0 : 1;
}

}  // namespace crv::cli
