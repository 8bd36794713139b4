#include "db/open_db.h"

#include <system_error>

#include "app/settings.h"

namespace crv::db {

std::string LeggiConnString(const SuitePaths& paths, bool usaAccess)
{
    if (usaAccess) {
        const auto file = paths.accessDb();
        std::error_code ec;
        if (!std::filesystem::is_regular_file(file, ec)) throw AccessArchiveMissing();
        return sqliteConnString(file.string());
    }
    return LeggiIni(paths.vex32Ini(), "connstring=");
}

std::string connStringMancante(const SuitePaths& paths)
{
    const auto file = paths.vex32Ini();
    std::error_code ec;
    const bool present = std::filesystem::is_regular_file(file, ec);
    return "Impossibile aprire il database: manca la stringa di connessione (chiave \"connstring=\")\n" +
           file.string() + (present ? ": nessun valore per la chiave \"connstring=\"" : ": file non trovato");
}

std::string databaseMostrato(const SuitePaths& paths, bool usaAccess)
{
    try {
        const std::string connString = LeggiConnString(paths, usaAccess);
        return connString.empty() ? std::string() : captionText(connString);
    } catch (const std::exception&) {
        return {};
    }
}

std::unique_ptr<Database> ApriDB(const SuitePaths& paths, bool usaAccess)
{
    const std::string connString = LeggiConnString(paths, usaAccess);
    if (connString.empty()) throw DbError(connStringMancante(paths));
    auto db = Database::open(parseConnString(connString));
    db->setLockFolder(paths.dataDir());
    return db;
}

}  // namespace crv::db
