#include "tools/database_access.h"

#include "db/open_db.h"

namespace crv::tools {

DatabaseAperto apriDatabase(const SuitePaths& paths, bool usaAccess)
{
    DatabaseAperto result;
    try {
        result.db = db::ApriDB(paths, usaAccess);
    } catch (const db::AccessArchiveMissing& error) {
        result.errore.esito = Esito::ArchivioAccessMancante;
        result.errore.messaggi = {error.what()};
    } catch (const db::DbError& error) {
        result.errore.esito = Esito::DbNonCollegato;
        result.errore.messaggi = {error.what(), "DB non collegato"};
    }
    return result;
}

}  // namespace crv::tools
