#pragma once
// The Italian reason for the database conditions an operator can mend
// himself (an archive he may not write, a file that is not an archive),
// naming the archive; the driver's own text for any other error.
#include <string>

#include <QSqlError>

#include "db/backend.h"
#include "db/connection_string.h"

namespace crv::db {

std::string driverReason(const QSqlError& error, const ConnectionParams& connParams, Backend backend);

}  // namespace crv::db
