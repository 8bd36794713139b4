// One transaction per run: SQLite's taken with its write lock at once, the
// others through the driver; a rollback that the database has already done
// is quiet.
#include "db/database.h"

#include "db/driver_state.h"
#include "db/row_writer.h"

namespace crv::db {

void Database::begin()
{
    if (inTransaction_) throw DbError("Una transazione è già aperta");
    settleRows();
    if (transactionByStatements()) {
        // Take the file's write lock at once: a run that only read first and
        // then wanted to write could deadlock with another operator's run,
        // while waiting at the start is served by the busy timeout. Through
        // ODBC too: the SQLite driver's own transactions begin deferred.
        QSqlQuery statement(db_);
        const QString sql = QStringLiteral("BEGIN IMMEDIATE");
        if (!run(statement, &sql)) throw failure("Impossibile aprire la transazione", statement.lastError(), &statement);
    } else {
        if (!db_.transaction()) throw failure("Impossibile aprire la transazione", db_.lastError());
    }
    inTransaction_ = true;
}

void Database::commit()
{
    if (!inTransaction_) throw DbError("Nessuna transazione aperta da confermare");
    if (writer_) writer_->flush();
    for (auto& [key, statement] : statements_) statement->finish();
    if (transactionByStatements()) {
        QSqlQuery statement(db_);
        if (!statement.exec(QStringLiteral("COMMIT")))
            throw failure("Impossibile confermare la transazione", statement.lastError(), &statement);
    } else if (!db_.commit()) {
        throw failure("Impossibile confermare la transazione", db_.lastError());
    }
    inTransaction_ = false;
    heldForTransaction_.reset();
}

void Database::rollback()
{
    if (!inTransaction_) return;
    if (writer_) writer_->discard();
    for (auto& [key, statement] : statements_) statement->finish();
    inTransaction_ = false;
    // Given back once the server has dropped the transaction, below.
    const std::shared_ptr<void> held = std::move(heldForTransaction_);
    // A broken connection took its transaction with it: the server keeps nothing of it.
    if (connectionLost(db_)) return;
    QSqlQuery statement(db_);
    const bool done = transactionByStatements() ? statement.exec(QStringLiteral("ROLLBACK")) : db_.rollback();
    const QSqlError error = transactionByStatements() ? statement.lastError() : db_.lastError();
    // SQLite rolls a transaction back by itself after some failures (a full
    // disk among them), and a connection found broken only now took its
    // transaction with it: then nothing is left to undo.
    if (!done && !connectionLost(db_) && !error.text().contains(QLatin1String("no transaction is active")))
        throw failure("Impossibile annullare la transazione", error, transactionByStatements() ? &statement : nullptr);
    if (backend_ == Backend::SQLite) {
        statement.finish();
        playBackJournal();
    }
}

void Database::playBackJournal()
{
    // SQLite's own rollback after a full disk can stop half-way: the file
    // stays grown (the disk full) with its journal beside it, until some
    // connection reads it and plays the journal back. This one does, now
    // that its statements are at rest; should another program hold the file,
    // the next reader does it.
    QSqlQuery read(db_);
    const QString sql = QStringLiteral("SELECT count(*) FROM sqlite_master");
    read.exec(sql);
    read.finish();
}

}  // namespace crv::db
