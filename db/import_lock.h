#pragma once
// One run that writes an archive's cases at a time: an import, from the
// check of the cases the archive already holds to its commit, or the removal
// of a batch. Two imports of one delivery would otherwise both find its cases
// missing and both write them.
#include <functional>

namespace crv::db {

class Database;

// What a run says, once, when it has to wait for another.
inline constexpr const char* kAttesaAltraImportazione =
    "In attesa che finisca un'altra importazione nello stesso archivio…";

// Begins the transaction and takes the archive's lock with it, given back
// when the transaction ends: SQLite's write lock (BEGIN IMMEDIATE), an
// advisory lock on PostgreSQL's case table, SQL Server's application lock,
// else the lock file in Database::lockFolder(). When another run holds it,
// `inAttesa` is called once and the wait lasts as long as that run does;
// the operator's stop (CancelScope) ends it with DbFailure::Cancelled and no
// transaction open. Throws DbError.
void beginExclusive(Database& db, const std::function<void()>& inAttesa);

}  // namespace crv::db
