// crvxml init-db: a suite root with its folders and the suite's tables in an
// empty database, so that the program can be tried, or started, without the
// suite.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

#include "app/settings.h"
#include "app/suite_root.h"
#include "cli/commands.h"
#include "cli/common_options.h"
#include "db/connection_string.h"
#include "db/database.h"
#include "db/open_db.h"
#include "db/schema.h"

namespace crv::cli {

namespace {

std::string helpText()
{
    return std::string(
               "Uso: crvxml init-db [opzioni]\n"
               "\n"
               "Prepara una radice della suite: crea la radice e le sue cartelle import/ e\n"
               "dati/ dove mancano, poi le tabelle della suite (Tabella Pratiche,\n"
               "TabellaLottiImp, tabella fatture, notecomuni) in un archivio SQLite o in un\n"
               "database PostgreSQL vuoto, anche attraverso ODBC: quello di connstring= in\n"
               "dati/vex32.ini, oppure quello scelto con --access o --connessione. Senza\n"
               "dati/vex32.ini, e senza --connessione, crea l'archivio SQLite dati/vex.sqlite\n"
               "e un dati/vex32.ini che lo nomina; un dati/vex32.ini che esiste non cambia\n"
               "mai. Dice che cosa ha creato. Rifiuta un database che abbia già una di queste\n"
               "tabelle.\n"
               "\n"
               "Opzioni:\n") +
           kCommonOptionsHelp +
           "  --access                    usa l'archivio locale dati/vex.sqlite (creato se manca)\n"
           "  --connessione STRINGA       stringa di connessione al posto di connstring=\n"
           "  --senza-facoltativi         senza i campi facoltativi provider_id e User_T15\n"
           "\n"
           "Uscita: 0 tabelle create; 1 creazione non riuscita (cartella che non si può\n"
           "creare, database non raggiungibile o non vuoto, dati/vex32.ini senza\n"
           "connstring=); 2 per un uso errato.\n";
}

struct Options {
    bool access = false;
    bool withOptional = true;
    std::optional<std::string> conn;
};

int usage(const std::string& problem)
{
    return usageError("init-db", problem);
}

constexpr Sinonimo kEnglish[] = {{"--conn", "--connessione"}, {"--without-optional", "--senza-facoltativi"}};

}  // namespace

int initDbCommand(const Args& rawArgs)
{
    Args args = rawArgs;
    CommonOptions common;
    if (const auto status = startCommand("init-db", helpText(), args, common, {kEnglish})) return *status;

    Options options;
    for (std::size_t i = 0; i < args.size();) {
        std::string conn;
        const int r = takeOptionValue(args, i, "--connessione", conn);
        if (r < 0) return usage("Manca il valore di --connessione");
        if (r > 0) {
            options.conn = conn;
            continue;
        }
        if (args[i] == "--access") {
            options.access = true;
        } else if (args[i] == "--senza-facoltativi") {
            options.withOptional = false;
        } else {
            return usage("Argomento sconosciuto: " + args[i]);
        }
        ++i;
    }
    if (options.access && options.conn) return usage("--access e --connessione non vanno insieme");

    try {
        const SuitePaths paths = suitePathsFor(common);
        for (const std::filesystem::path& folder : creaCartelleSuite(paths))
            std::cout << "Creata la cartella " << folder.string() << "\n";
        // Without the suite's settings file the new root gets its own archive
        // and a settings file naming it.
        std::error_code ec;
        const bool iniPresente = std::filesystem::exists(paths.vex32Ini(), ec);
        const bool scriviIni = !iniPresente && !options.conn;
        std::string connString;
        if (options.conn) {
            connString = *options.conn;
        } else if (options.access || scriviIni) {
            connString = db::sqliteConnString(std::filesystem::absolute(paths.accessDb()).lexically_normal().string());
        } else {
            connString = LeggiIni(paths.vex32Ini(), "connstring=");
            if (connString.empty()) {
                std::cerr << db::connStringMancante(paths) << "\nUsare --access o --connessione.\n";
                return 1;
            }
        }
        // The settings file first: should the tables fail (a full disk), the
        // same command made again finds the archive through it.
        if (scriviIni) {
            if (ScriviVex32Ini(paths.vex32Ini(), connString))
                std::cout << "Creato " << paths.vex32Ini().string() << ": connstring=" << connString << "\n";
            else
                std::cout << paths.vex32Ini().string() << " esiste già: non è stato cambiato\n";
        }
        const auto database = db::Database::open(db::parseConnString(connString),
                                                 db::OpenMode::CreateIfMissing);
        std::cout << "Database: " << db::captionText(connString) << "\n";
        const auto created = db::createSchema(*database, options.withOptional);
        for (const auto& table : created)
            std::cout << "Creata la tabella [" << table.name.toStdString() << "] con "
                      << table.columns << " campi\n";
        std::cout << "Tabelle create: " << created.size()
                  << (options.withOptional ? "" : " (senza provider_id e User_T15)") << "\n";
        if (options.conn && !iniPresente) {
            std::cout << paths.vex32Ini().string() << " manca: per usare questo database senza --connessione, "
                      << "scrivervi la riga connstring=STRINGA\n";
        }
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "Errore: " << error.what() << "\n";
        return 1;
    }
}

}  // namespace crv::cli
