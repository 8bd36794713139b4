// crvxml init-db: creates the suite's tables in an empty database, so that
// the program can be tried without the suite.
#include <iostream>
#include <optional>
#include <string>

#include "app/settings.h"
#include "app/suite_root.h"
#include "cli/commands.h"
#include "db/connection_string.h"
#include "db/database.h"
#include "db/schema.h"

namespace crv::cli {

namespace {

constexpr const char* usage =
    "Uso: crvxml init-db [--root CARTELLA] [--access] [--without-optional] [--conn STRINGA]\n"
    "  Crea le tabelle della suite (Tabella Pratiche, TabellaLottiImp, tabella fatture,\n"
    "  notecomuni) in un archivio SQLite o in un database PostgreSQL vuoto, anche\n"
    "  attraverso ODBC.\n"
    "  --root CARTELLA       cartella della suite (con import\\ e dati\\)\n"
    "  --access              usa l'archivio locale dati/vex.sqlite (creato se manca)\n"
    "  --without-optional    senza i campi facoltativi provider_id e User_T15\n"
    "  --conn STRINGA        stringa di connessione al posto di connstring= di vex32.ini\n";

struct Options {
    std::string root;
    bool access = false;
    bool withOptional = true;
    std::optional<std::string> conn;
    bool help = false;
};

// Returns nothing (after printing why) when the arguments are not usable.
std::optional<Options> parse(const Args& args)
{
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](const std::string& name) -> std::optional<std::string> {
            if (arg.rfind(name + "=", 0) == 0) return arg.substr(name.size() + 1);
            if (arg == name && i + 1 < args.size()) return args[++i];
            std::cerr << "crvxml init-db: manca il valore di " << name << "\n";
            return std::nullopt;
        };
        if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "--access") {
            options.access = true;
        } else if (arg == "--without-optional") {
            options.withOptional = false;
        } else if (arg == "--root" || arg.rfind("--root=", 0) == 0) {
            const auto root = value("--root");
            if (!root) return std::nullopt;
            options.root = *root;
        } else if (arg == "--conn" || arg.rfind("--conn=", 0) == 0) {
            options.conn = value("--conn");
            if (!options.conn) return std::nullopt;
        } else {
            std::cerr << "crvxml init-db: argomento sconosciuto: " << arg << "\n";
            return std::nullopt;
        }
    }
    if (options.access && options.conn) {
        std::cerr << "crvxml init-db: --access e --conn non vanno insieme\n";
        return std::nullopt;
    }
    return options;
}

}  // namespace

int initDbCommand(const Args& args)
{
    const auto options = parse(args);
    if (!options) {
        std::cerr << usage;
        return 2;
    }
    if (options->help) {
        std::cout << usage;
        return 0;
    }
    try {
        const SuitePaths paths = resolveSuitePaths(options->root);
        std::string connString;
        if (options->conn) {
            connString = *options->conn;
        } else if (options->access) {
            connString = db::sqliteConnString(paths.accessDb().string());
        } else {
            connString = LeggiIni(paths.vex32Ini(), "connstring=");
            if (connString.empty()) {
                std::cerr << "Errore: manca la chiave \"connstring=\" in " << paths.vex32Ini().string()
                          << " (usare --access o --conn)\n";
                return 1;
            }
        }
        const auto database = db::Database::open(db::parseConnString(connString),
                                                 db::OpenMode::CreateIfMissing);
        std::cout << "Database: " << db::captionText(connString) << "\n";
        const auto created = db::createSchema(*database, options->withOptional);
        for (const auto& table : created)
            std::cout << "Creata la tabella [" << table.name.toStdString() << "] con "
                      << table.columns << " campi\n";
        std::cout << "Tabelle create: " << created.size()
                  << (options->withOptional ? "" : " (senza provider_id e User_T15)") << "\n";
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "Errore: " << error.what() << "\n";
        return 1;
    }
}

}  // namespace crv::cli
