#include "db/db_error.h"

namespace crv::db {

namespace {

std::string joined(const std::string& context, const std::string& driverText)
{
    if (driverText.empty()) return context;
    if (context.empty()) return driverText;
    return context + ": " + driverText;
}

}  // namespace

DbError::DbError(const std::string& context, const std::string& driverText, DbFailure failure)
    : std::runtime_error(joined(context, driverText)), context_(context), driverText_(driverText), failure_(failure)
{
}

AccessArchiveMissing::AccessArchiveMissing()
    : DbError("Archivio Access NON trovato. Il programma termina")
{
}

}  // namespace crv::db
