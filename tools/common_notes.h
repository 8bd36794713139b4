#pragma once
// Common notes to memo, the other button of the tab "Varie": each chosen
// case's first common note is appended to the case's memo. The whole run is
// one transaction: a run that fails or is stopped changes no memo, so running
// it again never appends a note twice to the cases done before the failure.
#include "app/suite_root.h"
#include "numbers/regional.h"
#include "tools/varie.h"

namespace crv::db {
class Database;
}

namespace crv::tools {

// Opens the case database as the window does (ApriDB, "Access" box) and runs.
RisultatoVarie accodaNoteComuni(const SuitePaths& paths, bool usaAccess, const FiltroPratiche& filtro,
                                const Regional& regional, const Avanzamento& avanzamento = {});

// The same on a database already open (no transaction of the caller's may be open).
RisultatoVarie accodaNoteComuni(db::Database& db, const FiltroPratiche& filtro, const Regional& regional,
                                const Avanzamento& avanzamento = {});

}  // namespace crv::tools
