// crvxml esporta and crvxml note-comuni: the two buttons of the tab "Varie",
// with the window's filter boxes as options.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "app/settings.h"
#include "cli/commands.h"
#include "cli/common_options.h"
#include "cli/ctrl_c.h"
#include "cli/output_name.h"
#include "import/driver.h"
#include "tools/case_export.h"
#include "tools/common_notes.h"
#include "tools/export_definition.h"

namespace crv::cli {
namespace {

constexpr Sinonimo kEnglish[] = {{"--out", "--uscita"}};

const char* const kFilterHelp =
    "  --mandato CODICE      solo le pratiche con questo tipo mandato (Mandato)\n"
    "  --affido DATA         solo con data affido da DATA in poi\n"
    "  --scadenza DATA       solo con scadenza mandato fino a DATA compresa\n"
    "                        Le date si scrivono nella forma breve delle impostazioni\n"
    "                        regionali (gg/mm/aaaa in italiano) oppure aaaa-mm-gg\n"
    "  --lotto N             solo le pratiche del lotto di importazione N (Lotto Imp)\n"
    "  --access, --no-access usa (o no) l'archivio locale dati/vex.sqlite (Access);\n"
    "                        senza, vale la casella salvata in dati/Crv_XML.ini\n";

std::string esportaHelp()
{
    return std::string(
               "Uso: crvxml esporta [opzioni] --uscita FILE.xlsx\n"
               "\n"
               "Scrive in una nuova cartella di lavoro FILE.xlsx una riga per ogni pratica di\n"
               "[Tabella Pratiche] scelta dai filtri, con le colonne della definizione\n"
               "dati/exp-excel.ini (senza il file: posizione, ragione sociale, memo, note comuni).\n"
               "Solo i filtri dati si applicano. I messaggi vanno sullo standard error.\n"
               "\n") +
           kCommonOptionsHelp + kFilterHelp +
           "  --campi \"a,b,c\"       colonne di questa esecuzione al posto della definizione\n"
           "  --salva-definizione   salva le colonne di --campi come definizione\n"
           "  --definizione         mostra la definizione salvata ed esce\n"
           "  --uscita FILE.xlsx    il file da scrivere (sostituito se esiste); un nome con\n"
           "                        un'altra estensione (.csv, .xls...) è un uso errato\n"
           "  --apri                apre il file con l'applicazione predefinita del desktop\n"
           "\n"
           "Uscita: 0 a \"Elaborazione terminata\", 1 se fallisce, non trova pratiche o\n"
           "è interrotta con Ctrl-C (nulla cambia); 2 per un uso errato (anche una data che\n"
           "non è una data intera); 130 a un secondo Ctrl-C. SIGTERM e SIGHUP interrompono\n"
           "come Ctrl-C.\n" +
           aiutoSinonimi({kEnglish});
}

std::string noteHelp()
{
    return std::string(
               "Uso: crvxml note-comuni [opzioni]\n"
               "\n"
               "Accoda al memo di ogni pratica scelta dai filtri la sua prima nota comune\n"
               "(tabella notecomuni): il memo vuoto diventa la nota, altrimenti memo, a capo\n"
               "e nota. Un memo che finisce già con la sua nota (accodata da un'esecuzione\n"
               "precedente) resta com'è: il messaggio finale le conta (\"già accodate: N\").\n"
               "Tutto in una transazione: se qualcosa fallisce nessun memo cambia.\n"
               "\n") +
           kCommonOptionsHelp + kFilterHelp +
           "  --prova               dice a quante pratiche accoderebbe la nota, senza\n"
           "                        modificare nulla\n"
           "\n"
           "Uscita: 0 a \"Elaborazione terminata\" (con --prova a \"Prova terminata\"),\n"
           "1 se fallisce, non trova pratiche o è interrotta con Ctrl-C (nulla cambia);\n"
           "2 per un uso errato (anche una data che non è una data intera); 130 a un\n"
           "secondo Ctrl-C. SIGTERM e SIGHUP interrompono come Ctrl-C.\n" +
           aiutoSinonimi();
}

int usage(const std::string& problem, const std::string& help)
{
    std::fprintf(stderr, "%s\n\n%s", problem.c_str(), help.c_str());
    return 2;
}

void printMessages(const tools::RisultatoVarie& result, const SuitePaths& paths)
{
    for (const std::string& message : result.messaggi) std::fprintf(stderr, "%s\n", message.c_str());
    if (result.esito == tools::Esito::ArchivioAccessMancante)
        std::fprintf(stderr, "%s\n", archivioAccessMancante(paths).c_str());
}

int exitStatus(const tools::RisultatoVarie& result)
{
    return result.esito == tools::Esito::Terminata ? 0 : 1;
}

// Progress lines on standard error, at most one every two seconds; Ctrl-C
// stops the run.
tools::Avanzamento progressLines(const CtrlC& ctrlC)
{
    using Clock = std::chrono::steady_clock;
    return [last = Clock::now(), &ctrlC](long done, long total) mutable {
        const auto now = Clock::now();
        if (now - last >= std::chrono::seconds(2)) {
            last = now;
            std::fprintf(stderr, "Pratiche elaborate: %ld di %ld\n", done, total);
        }
        return !ctrlC.pressed();
    };
}

struct Parsed {
    CommonOptions common;
    tools::FiltroPratiche filtro;
    std::optional<bool> access;
    std::optional<std::string> campi;
    std::optional<std::string> out;
    bool apri = false;
    bool salvaDefinizione = false;
    bool mostraDefinizione = false;
    bool prova = false;
    bool help = false;
};

// The options of both commands; those of esporta only when `esporta`.
std::optional<std::string> parse(Args args, bool esporta, Parsed& p)
{
    p.help = asksForHelp(args);
    if (p.help) return std::nullopt;
    if (esporta) nomiItaliani(args, {kEnglish});
    if (const auto problem = takeCommonOptions(args, p.common)) return problem;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string name = a;
        std::optional<std::string> inlineValue;
        if (const auto eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = a.substr(0, eq);
            inlineValue = a.substr(eq + 1);
        }
        auto value = [&](std::string& target) {
            if (inlineValue) {
                target = *inlineValue;
                return true;
            }
            if (i + 1 >= args.size()) return false;
            target = args[++i];
            return true;
        };
        auto optionalValue = [&](std::optional<std::string>& target) {
            std::string v;
            if (!value(v)) return false;
            target = v;
            return true;
        };
        const bool takesValue = name == "--mandato" || name == "--affido" || name == "--scadenza" ||
                                name == "--lotto" || (esporta && (name == "--campi" || name == "--uscita"));
        if (inlineValue && !takesValue) return "L'opzione " + name + " non vuole un valore";
        if (name == "--mandato") {
            if (!value(p.filtro.mandato)) return "Manca il valore di --mandato";
        } else if (name == "--affido") {
            if (!value(p.filtro.affido)) return "Manca il valore di --affido";
        } else if (name == "--scadenza") {
            if (!value(p.filtro.scadenza)) return "Manca il valore di --scadenza";
        } else if (name == "--lotto") {
            if (!value(p.filtro.lotto)) return "Manca il valore di --lotto";
        } else if (name == "--access") {
            p.access = true;
        } else if (name == "--no-access") {
            p.access = false;
        } else if (esporta && name == "--campi") {
            if (!optionalValue(p.campi)) return "Manca il valore di --campi";
        } else if (esporta && name == "--uscita") {
            if (!optionalValue(p.out) || p.out->empty()) return "Manca il valore di --uscita";
            if (const auto problem = altroFormato("--uscita", *p.out, ".xlsx", "una cartella di lavoro"))
                return *problem;
        } else if (esporta && name == "--apri") {
            p.apri = true;
        } else if (esporta && name == "--salva-definizione") {
            p.salvaDefinizione = true;
        } else if (esporta && name == "--definizione") {
            p.mostraDefinizione = true;
        } else if (!esporta && name == "--prova") {
            p.prova = true;
        } else {
            return "Argomento sconosciuto: " + a;
        }
    }
    // A date that is not a whole date stops before the run, as for the import.
    const Regional regional = regionalFor(p.common);
    for (const auto& [value, title, option] : {std::tuple{&p.filtro.affido, "Data Affido", "--affido"},
                                               std::tuple{&p.filtro.scadenza, "Scadenza Mandato", "--scadenza"}}) {
        if (!value->empty() && !regional.parseDate(*value))
            return messaggioData(title, *value, regional) + " (" + option + ")";
    }
    return std::nullopt;
}

bool usaAccess(const Parsed& p, const SuitePaths& paths)
{
    if (p.access) return *p.access;
    WindowSettings saved;
    LeggiImpostazioni(paths.crvXmlIni(), saved);
    return saved.usaAccess != 0;
}

}  // namespace

int esportaCommand(const Args& args)
{
    Parsed p;
    if (const auto problem = parse(args, true, p)) return usage(*problem, esportaHelp());
    if (p.help) {
        std::fputs(esportaHelp().c_str(), stdout);
        return 0;
    }
    const SuitePaths paths = suitePathsFor(p.common);
    const Regional regional = regionalFor(p.common);

    if (p.mostraDefinizione) {
        const tools::Definizione def = tools::LeggeDefinizione(paths);
        for (const std::string& avviso : def.avvisi) std::fprintf(stderr, "%s\n", avviso.c_str());
        std::fputs(def.testo("\n").c_str(), stdout);
        return 0;
    }
    if (p.salvaDefinizione && !p.campi) return usage("--salva-definizione vuole --campi", esportaHelp());
    if (!p.out && !p.salvaDefinizione) return usage("Manca --uscita FILE.xlsx", esportaHelp());

    tools::Definizione def;
    if (p.campi) {
        def = tools::leggiVoci(*p.campi);
        if (p.salvaDefinizione) {
            // The names beyond the hundredth are not saved: say so after the save too.
            std::vector<std::string> avvisi = std::move(def.avvisi);
            try {
                def = tools::SalvaDefinizione(paths, def.testo("\r\n"));
            } catch (const tools::DefinizioneError& error) {
                std::fprintf(stderr, "%s\n", error.what());
                return 1;
            }
            def.avvisi.insert(def.avvisi.begin(), avvisi.begin(), avvisi.end());
            std::fprintf(stderr, "Definizione salvata in %s\n", tools::fileDefinizione(paths).string().c_str());
        }
    } else {
        def = tools::LeggeDefinizione(paths);
    }
    for (const std::string& avviso : def.avvisi) std::fprintf(stderr, "%s\n", avviso.c_str());
    if (!p.out) return 0;

    const CtrlC ctrlC;
    const tools::RisultatoVarie result = tools::esportaPratiche(paths, usaAccess(p, paths), p.filtro, def.campi,
                                                                *p.out, regional, progressLines(ctrlC));
    printMessages(result, paths);
    if (result.esito == tools::Esito::Terminata && p.apri && !tools::apriConApplicazionePredefinita(*p.out))
        std::fprintf(stderr, "Impossibile aprire %s con l'applicazione predefinita\n", p.out->c_str());
    return exitStatus(result);
}

int noteComuniCommand(const Args& args)
{
    Parsed p;
    if (const auto problem = parse(args, false, p)) return usage(*problem, noteHelp());
    if (p.help) {
        std::fputs(noteHelp().c_str(), stdout);
        return 0;
    }
    const SuitePaths paths = suitePathsFor(p.common);
    const CtrlC ctrlC;
    const tools::RisultatoVarie result =
        tools::accodaNoteComuni(paths, usaAccess(p, paths), p.filtro, regionalFor(p.common), progressLines(ctrlC),
                                p.prova ? tools::ModoNote::Prova : tools::ModoNote::Accoda);
    printMessages(result, paths);
    return exitStatus(result);
}

}  // namespace crv::cli
