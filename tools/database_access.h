#pragma once
// Opening the case database for a utility of the tab "Varie", with the
// messages the operator gets when it cannot be opened.
#include <memory>

#include "app/suite_root.h"
#include "db/database.h"
#include "tools/varie.h"

namespace crv::tools {

// The open database, or why it is not open.
struct DatabaseAperto {
    std::unique_ptr<db::Database> db;   // null when it could not be opened
    RisultatoVarie errore;              // why, when db is null
};

// ApriDB as the utilities use it: on failure the driver's own text followed
// by "DB non collegato"; with "Access" checked and the local archive missing,
// "Archivio Access NON trovato. Il programma termina".
DatabaseAperto apriDatabase(const SuitePaths& paths, bool usaAccess);

}  // namespace crv::tools
