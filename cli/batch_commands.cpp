// crvxml lotti and crvxml annulla-lotto: the import batches, and taking one
// back, as the window's tab "Lotti" shows and does them.
#include <cstdio>
#include <map>
#include <optional>
#include <string>

#include "app/registro.h"
#include "app/settings.h"
#include "cli/commands.h"
#include "cli/common_options.h"
#include "cli/ctrl_c.h"
#include "db/batch_list.h"
#include "db/database.h"
#include "db/import_lock.h"
#include "db/open_db.h"
#include "files/whole_file.h"
#include "text/printable.h"
#include "tools/batch_undo.h"
#include "tools/database_access.h"

namespace crv::cli {
namespace {

const char* const kAccessHelp =
    "  --access, --no-access       usa (o no) l'archivio locale dati/vex.sqlite (Access);\n"
    "                              senza, vale la casella salvata in dati/Crv_XML.ini\n";

std::string lottiHelp()
{
    return std::string("Uso: crvxml lotti [opzioni]\n"
                       "\n"
                       "Elenca i lotti di importazione (TabellaLottiImp), dal più recente: numero,\n"
                       "data e ora dell'importazione, Affido, Scad., mandato, intervento, NumPratiche,\n"
                       "quante pratiche di [Tabella Pratiche] portano oggi quel numero e il file\n"
                       "consegnato da cui viene, come lo dice il registro dati/Crv_XML_registro.csv\n"
                       "(vuoto per i lotti che il registro non conosce).\n"
                       "\n"
                       "Opzioni:\n") +
           kCommonOptionsHelp + kAccessHelp +
           "  --ultimi N                  solo gli N lotti più recenti\n"
           "\n"
           "Uscita: 0 elenco mostrato (anche vuoto), 1 database non raggiungibile,\n"
           "2 per un uso errato.\n";
}

std::string annullaHelp()
{
    return std::string("Uso: crvxml annulla-lotto N [--conferma] [opzioni]\n"
                       "\n"
                       "Mostra che cosa si elimina annullando il lotto di importazione N: le sue\n"
                       "pratiche di [Tabella Pratiche] e le loro rate di [tabella fatture]. Con\n"
                       "--conferma le elimina, tutte in una transazione, e porta a 0 NumPratiche del\n"
                       "lotto, la cui riga resta. Le altre pratiche e le note comuni non cambiano;\n"
                       "se qualcosa fallisce a metà, nessuna riga è eliminata.\n"
                       "\n"
                       "Opzioni:\n") +
           kCommonOptionsHelp + kAccessHelp +
           "  --conferma                  elimina davvero (senza: mostra soltanto)\n"
           "\n"
           "Con --conferma, mentre sullo stesso archivio è in corso un'importazione (o un\n"
           "altro annullamento) lo attende, e lo dice; Ctrl-C interrompe anche l'attesa.\n"
           "SIGTERM e SIGHUP interrompono come Ctrl-C.\n"
           "\n"
           "Uscita: 0 mostrato o annullato, 1 lotto rifiutato (0, inesistente, senza\n"
           "pratiche), errore o interruzione (nessuna riga eliminata), 2 per un uso errato\n"
           "(anche un numero oltre 2147483647, che nessun lotto può avere).\n";
}

// A whole number of digits only.
std::optional<long long> numero(const std::string& text)
{
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stoll(text);
}

// The highest batch counter: lottoimportazione is a 32-bit whole number.
constexpr long long kLottoMassimo = 2147483647;

// The "Access" box: the option, else the saved setting.
bool usaAccess(const std::optional<bool>& option, const SuitePaths& paths)
{
    if (option) return *option;
    WindowSettings saved;
    LeggiImpostazioni(paths.crvXmlIni(), saved);
    return saved.usaAccess != 0;
}

std::string colonna(const std::string& text, std::size_t width, bool right = false)
{
    if (text.size() >= width) return text;
    const std::string pad(width - text.size(), ' ');
    return right ? pad + text : text + pad;
}

}  // namespace

int lottiCommand(const Args& rawArgs)
{
    Args args = rawArgs;
    CommonOptions common;
    if (const auto status = startCommand("lotti", lottiHelp(), args, common)) return *status;
    std::optional<bool> access;
    std::optional<long> ultimi;
    for (std::size_t i = 0; i < args.size();) {
        std::string value;
        const int r = takeOptionValue(args, i, "--ultimi", value);
        if (r < 0) return usageError("lotti", "Manca il valore di --ultimi");
        if (r > 0) {
            const auto n = numero(value);
            if (!n || *n == 0) return usageError("lotti", "--ultimi vuole un numero intero positivo: " + value);
            ultimi = static_cast<long>(*n);
            continue;
        }
        if (args[i] == "--access" || args[i] == "--no-access")
            access = args[i] == "--access";
        else
            return usageError("lotti", "Argomento sconosciuto: " + args[i]);
        ++i;
    }
    const SuitePaths paths = suitePathsFor(common);
    const Regional regional = regionalFor(common);
    const bool conAccess = usaAccess(access, paths);
    tools::DatabaseAperto aperto = tools::apriDatabase(paths, conAccess);
    if (!aperto.db) {
        for (const std::string& m : aperto.errore.messaggi) std::fprintf(stderr, "%s\n", m.c_str());
        return 1;
    }
    try {
        const std::vector<db::Lotto> lotti = db::elencoLotti(*aperto.db, ultimi);
        if (lotti.empty()) {
            std::fputs("Nessun lotto di importazione in TabellaLottiImp\n", stderr);
            return 0;
        }
        std::map<std::int64_t, std::string> files;
        try {
            files = fileDeiLotti(paths, db::databaseMostrato(paths, conAccess));
        } catch (const FileError& error) {
            std::fprintf(stderr, "%s: la colonna File resta vuota\n", error.what());
        }
        std::printf("%s  %s  %s  %s  %s  %s  %s  %s  %s\n", colonna("Lotto", 6, true).c_str(),
                    colonna("Importato il", 16).c_str(), colonna("Affido", 10).c_str(), colonna("Scad.", 10).c_str(),
                    colonna("Mandato", 7).c_str(), colonna("Intervento", 10).c_str(),
                    colonna("NumPratiche", 11, true).c_str(), colonna("Pratiche oggi", 13, true).c_str(), "File");
        for (const db::Lotto& l : lotti) {
            const auto file = files.find(l.contatore);
            // A file name or a mandate may hold a terminal's escape sequences.
            const std::string nome = file == files.end() ? std::string() : blankControls(file->second);
            std::printf("%s  %s  %s  %s  %s  %s  %s  %s  %s\n", colonna(std::to_string(l.contatore), 6, true).c_str(),
                        colonna(db::testoDataOra(l.dataImportazione, regional), 16).c_str(),
                        colonna(db::testoData(l.dataAffido, regional), 10).c_str(),
                        colonna(db::testoData(l.scadAffido, regional), 10).c_str(),
                        colonna(blankControls(l.codMandante.toStdString()), 7).c_str(),
                        colonna(blankControls(l.tipoIntervento.toStdString()), 10).c_str(),
                        colonna(l.numPratiche ? std::to_string(*l.numPratiche) : std::string(), 11, true).c_str(),
                        colonna(std::to_string(l.praticheOggi), 13, true).c_str(), nome.c_str());
        }
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}

int annullaLottoCommand(const Args& rawArgs)
{
    Args args = rawArgs;
    CommonOptions common;
    if (const auto status = startCommand("annulla-lotto", annullaHelp(), args, common)) return *status;
    std::optional<bool> access;
    std::optional<long long> lotto;
    bool conferma = false;
    for (const std::string& a : args) {
        if (a == "--conferma") {
            conferma = true;
        } else if (a == "--access" || a == "--no-access") {
            access = a == "--access";
        } else if (a.rfind("--", 0) == 0 || lotto) {
            return usageError("annulla-lotto", "Argomento sconosciuto: " + a);
        } else if (!(lotto = numero(a)) || *lotto > kLottoMassimo) {
            // Past the counters' range no batch can exist, and the database
            // would refuse the number in its own words.
            return usageError("annulla-lotto", "Il lotto è il suo numero (contatore), un intero da 0 a " +
                                                   std::to_string(kLottoMassimo) + ": " + a);
        }
    }
    if (!lotto) return usageError("annulla-lotto", "Manca il numero del lotto da annullare");
    const SuitePaths paths = suitePathsFor(common);
    const CtrlC ctrlC;
    const tools::RisultatoVarie result = tools::annullaLotto(
        paths, usaAccess(access, paths), *lotto, conferma, regionalFor(common),
        [&](long, long) { return !ctrlC.pressed(); },
        [] { std::fprintf(stderr, "%s\n", db::kAttesaAltraImportazione); });
    // What would be removed, or was, is the command's answer (standard
    // output, for a script to keep); a refusal or a failure is an error.
    const bool done = result.esito == tools::Esito::Terminata;
    for (const std::string& m : result.messaggi) std::fprintf(done ? stdout : stderr, "%s\n", m.c_str());
    if (!done) return 1;
    if (!conferma)
        std::printf("Nessuna riga eliminata. Per eliminarle: crvxml annulla-lotto %lld --conferma\n", *lotto);
    return 0;
}

}  // namespace crv::cli
