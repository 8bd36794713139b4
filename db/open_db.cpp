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

std::unique_ptr<Database> ApriDB(const SuitePaths& paths, bool usaAccess)
{
    const std::string connString = LeggiConnString(paths, usaAccess);
    if (connString.empty())
        throw DbError("Stringa di connessione vuota: manca la chiave \"connstring=\" in " +
                      paths.vex32Ini().string());
    return Database::open(parseConnString(connString));
}

}  // namespace crv::db
