// A statement's work, which the operator may stop, and its failure told in
// the program's words: a stop, a lost connection, a lock or a limit of the
// server, else the driver's reason.
#include "db/database.h"

#include "db/driver_state.h"

namespace crv::db {

void Database::refuseIfCancelled() const
{
    if (canceller_ && canceller_->cancelled())
        throw DbError("Istruzione non eseguita", "interrotta dall'operatore", DbFailure::Cancelled);
}

bool Database::prepare(QSqlQuery& statement, const QString& sql)
{
    refuseIfCancelled();
    // Preparing may wait too (PostgreSQL reads the table's layout under a lock).
    const Canceller::Running running(canceller_.get(), nullptr);
    return statement.prepare(sql);
}

bool Database::run(QSqlQuery& statement, const QString* sql)
{
    refuseIfCancelled();
    const Canceller::Running running(canceller_.get(), odbc() ? &statement : nullptr);
    return sql != nullptr ? statement.exec(*sql) : statement.exec();
}

DbError Database::failure(const std::string& context, const QSqlError& error, const QSqlQuery* statement) const
{
    // What the program recognises is told in its own words, without the
    // driver's (a statement's text, English, several lines).
    if (canceller_ && canceller_->cancelled())
        return DbError(context, "interrotta dall'operatore", DbFailure::Cancelled);
    const QString state = sqlState(db_, error, statement);
    // Class 08 (connection exception) and the server's own shutdowns.
    if (connectionLost(db_) || state.startsWith(QLatin1String("08")) || state.startsWith(QLatin1String("57P")))
        return DbError(context, "connessione al database persa", DbFailure::ConnectionLost);
    // A statement cancelled on the server, not by the operator.
    if (state == QLatin1String("57014")) {
        if (!statementLimit_.isEmpty() && statementLimit_ != QLatin1String("0"))
            return DbError(context, "istruzione interrotta dal server: supera il tempo massimo che il server concede "
                                    "a un'istruzione (statement_timeout = " + statementLimit_.toStdString() + ")");
        return DbError(context, "istruzione annullata sul server da un'altra sessione o dall'amministratore");
    }
    const bool sqliteBusy = backend_ == Backend::SQLite &&
                            (error.nativeErrorCode() == QLatin1String("5") ||
                             error.text().contains(QLatin1String("database is locked")));
    if (state == QLatin1String("55P03") || sqliteBusy) {
        std::string reason = sqliteBusy ? "archivio bloccato da un'altra sessione" : "tabella bloccata da un'altra sessione";
        if (!lockWait_.isEmpty()) reason += " (attesa oltre " + lockWait_.toStdString() + ")";
        return DbError(context, reason, DbFailure::LockTimeout);
    }
    return DbError(context, errorText(error));
}

}  // namespace crv::db
