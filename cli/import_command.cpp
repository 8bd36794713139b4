// crvxml import: one import run, as the window's import buttons start it.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "app/settings.h"
#include "app/suite_root.h"
#include "cli/commands.h"
#include "cli/common_options.h"
#include "import/case_writer.h"
#include "import/driver.h"
#include "import/run_report.h"

namespace crv::cli {
namespace {

std::string helpText()
{
    return std::string(
    "Uso: crvxml import [opzioni] FILE\n"
    "\n"
    "Importa FILE, un nome nella cartella import/ della radice della suite, come i\n"
    "pulsanti di importazione della finestra. Il listato va sullo standard output,\n"
    "i messaggi sullo standard error. Le impostazioni salvate in dati/Crv_XML.ini\n"
    "danno i valori predefiniti; le opzioni li sostituiscono.\n"
    "\n") + kCommonOptionsHelp +
    "  --test, --no-test     \"Solo Test\": legge e lista senza scrivere (predefinito: --test)\n"
    "  --details, --no-details  \"Dettagli\": il memo di ogni pratica nel listato\n"
    "  --mandato CODICE      codice mandato (Mandato)\n"
    "  --affido DATA         data affido (predefinita: oggi), nel formato breve regionale\n"
    "  --scadenza DATA       scadenza mandato (predefinita: oggi + 30 giorni)\n"
    "  --intervento TIPO     tipo intervento\n"
    "  --sit-affido SIT      situazione affido (Sit.Affido)\n"
    "  --sections NNNNNN     sezioni da importare, sei cifre 0/1 (predefinito 111111)\n"
    "  --sp-rec              spese in \"importo speserecupero\" (->sp.rec)\n"
    "  --int-da-file, --no-int-da-file  tipo intervento letto dal file (int.da file)\n"
    "  --access              usa l'archivio locale dati/vex.sqlite (Access)\n"
    "  --bank                formato banca: pratiche \"documento\" (Importa Radoze)\n"
    "  --text                file di testo da convertire in XML (Importa ROVE)\n"
    "\n"
    "Uscita: 0 a \"Importazione Conclusa\", 1 per ogni altro esito, 2 per un uso errato.\n";
}

class ConsoleListener final : public RunListener {
public:
    void listingLine(std::string_view line) override
    {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
    }
    void message(std::string_view text, Box) override
    {
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fputc('\n', stderr);
    }
    bool progress(int, int) override { return true; }
};

int usage(const std::string& problem)
{
    std::fprintf(stderr, "%s\n\n%s", problem.c_str(), helpText().c_str());
    return 2;
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

    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            std::fputs(helpText().c_str(), stdout);
            return 0;
        }
    }
    // The suite root comes first: its saved settings give the defaults.
    CommonOptions common;
    if (const auto problem = takeCommonOptions(args, common)) return usage(*problem);
    const SuitePaths paths = suitePathsFor(common);
    const Regional regional = regionalFor(common);

    WindowSettings saved;
    LeggiImpostazioni(paths.crvXmlIni(), saved);
    RunParams params;
    params.mandato = saved.mandato;
    params.intervento = saved.intervento;
    params.sitAffido = saved.sitAffido;
    for (std::size_t k = 0; k < 6; ++k) params.sezioni[k] = saved.sezioni[k] != 0;
    params.dettagli = saved.dettagli != 0;
    params.soloTest = saved.soloTest != 0;
    params.spRec = saved.spRec != 0;
    params.intDaFile = saved.intDaFile != 0;
    params.usaAccess = saved.usaAccess != 0;

    using namespace std::chrono;
    const year_month_day today{floor<days>(system_clock::now())};
    params.dataAffido = regional.formatDate(today);
    params.scadenza = regional.formatDate(year_month_day{sys_days{today} + days{30}});

    std::string lowerName = std::filesystem::path(programName).stem().string();
    for (char& c : lowerName) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lowerName.find("rove") != std::string::npos) params.modoTesto = true;

    std::optional<std::string> file;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& target) {
            if (i + 1 >= args.size()) return false;
            target = args[++i];
            return true;
        };
        if (a == "--test") {
            params.soloTest = true;
        } else if (a == "--no-test") {
            params.soloTest = false;
        } else if (a == "--details") {
            params.dettagli = true;
        } else if (a == "--no-details") {
            params.dettagli = false;
        } else if (a == "--mandato") {
            if (!value(params.mandato)) return usage("Manca il valore di --mandato");
        } else if (a == "--affido") {
            if (!value(params.dataAffido)) return usage("Manca il valore di --affido");
        } else if (a == "--scadenza") {
            if (!value(params.scadenza)) return usage("Manca il valore di --scadenza");
        } else if (a == "--intervento") {
            if (!value(params.intervento)) return usage("Manca il valore di --intervento");
        } else if (a == "--sit-affido") {
            if (!value(params.sitAffido)) return usage("Manca il valore di --sit-affido");
        } else if (a == "--sections") {
            std::string s;
            if (!value(s)) return usage("Manca il valore di --sections");
            if (s.size() != 6 || s.find_first_not_of("01") != std::string::npos)
                return usage("--sections vuole sei cifre 0 o 1, per esempio 111111");
            for (std::size_t k = 0; k < 6; ++k) params.sezioni[k] = s[k] == '1';
        } else if (a == "--sp-rec") {
            params.spRec = true;
        } else if (a == "--int-da-file") {
            params.intDaFile = true;
        } else if (a == "--no-int-da-file") {
            params.intDaFile = false;
        } else if (a == "--access") {
            params.usaAccess = true;
        } else if (a == "--bank") {
            params.modoDocumento = true;
        } else if (a == "--text") {
            params.modoTesto = true;
            params.modoDocumento = true;
        } else if (a.rfind("--", 0) == 0) {
            return usage("Opzione sconosciuta: " + a);
        } else if (file) {
            return usage("Un solo file per volta: " + *file + " e " + a);
        } else {
            file = a;
        }
    }
    if (!file) return usage("Manca il nome del file da importare");
    params.fileName = *file;

    ConsoleListener listener;
    const StoreOpener opener = [&](const RunParams& p) { return openDatabaseStore(paths, p, regional); };
    const RunResult result = lavora(params, paths, regional, listener, opener);
    const std::string report = riepilogoRun(result.counters, regional);
    std::fwrite(report.data(), 1, report.size(), stdout);
    std::fflush(stdout);
    return result.outcome == RunOutcome::Concluded ? 0 : 1;
}

}  // namespace crv::cli
