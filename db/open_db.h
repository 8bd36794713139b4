#pragma once
// Choosing and opening the case database: the suite's local file database
// when the "Access" box is checked, otherwise the connection string of the
// suite's settings file.
#include <memory>
#include <string>

#include "app/suite_root.h"
#include "db/database.h"

namespace crv::db {

// The connection string to use. With `usaAccess`, the suite's local SQLite
// file (AccessArchiveMissing when it does not exist); otherwise the value of
// "connstring=" in vex32.ini (empty when the file or key is missing).
std::string LeggiConnString(const SuitePaths& paths, bool usaAccess);

// The message for an empty connection string: what is missing, then on its
// own line the suite's settings file and whether the file or the key is absent.
std::string connStringMancante(const SuitePaths& paths);

// The database LeggiConnString chooses as the window's caption names it (no
// password), for the register; empty when none can be chosen.
std::string databaseMostrato(const SuitePaths& paths, bool usaAccess);

// Opens the database LeggiConnString chooses. Throws DbError with the
// driver's own text when the open fails, AccessArchiveMissing as above.
std::unique_ptr<Database> ApriDB(const SuitePaths& paths, bool usaAccess);

}  // namespace crv::db
