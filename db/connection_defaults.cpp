#include "db/connection_defaults.h"

#include <QRegularExpression>
#include <QStringList>

namespace crv::db {
namespace {

// The value of `key` in Qt's "key=value;key=value" connect options.
QString optionValue(const QString& options, const QString& key)
{
    for (const QString& item : options.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype eq = item.indexOf(QLatin1Char('='));
        if (eq > 0 && item.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return item.mid(eq + 1).trimmed().remove(QLatin1Char('\''));
    }
    return {};
}

void addOption(QString& options, const QString& key, int value)
{
    if (!optionValue(options, key).isEmpty()) return;
    if (!options.isEmpty()) options += QLatin1Char(';');
    options += key + QLatin1Char('=') + QString::number(value);
}

bool mentions(const QString& text, const char* pattern)
{
    return QRegularExpression(QString::fromLatin1(pattern), QRegularExpression::CaseInsensitiveOption)
        .match(text)
        .hasMatch();
}

// A connect time-out the ODBC string sets itself: libpq's (in psqlODBC's
// Pqopt) or a driver's own keyword.
bool odbcSetsConnectTimeout(const QString& connString)
{
    return mentions(connString, R"((connect|login|connection)[ _]?timeout)");
}

bool namesPostgresOdbcDriver(const QString& connString)
{
    return mentions(connString, R"((^|;)\s*driver\s*=\s*\{?[^;}]*(postgres|psqlodbc))");
}

void addOdbcKeyword(QString& connString, const char* key, int value)
{
    if (mentions(connString, (QStringLiteral("(^|;)\\s*") + QLatin1String(key) + QStringLiteral("\\s*=")).toLatin1()))
        return;
    if (!connString.trimmed().endsWith(QLatin1Char(';'))) connString += QLatin1Char(';');
    connString += QLatin1String(key) + QLatin1Char('=') + QString::number(value);
}

}  // namespace

ConnectionParams withConnectionDefaults(ConnectionParams connParams)
{
    switch (connParams.dialect) {
    case Dialect::SQLite:
        // Another operator's run holds the file's write lock for the length of
        // its transaction: wait for it rather than fail at once.
        addOption(connParams.options, QStringLiteral("QSQLITE_BUSY_TIMEOUT"), kLockWaitSeconds * 1000);
        break;
    case Dialect::PostgreSQL:
        addOption(connParams.options, QStringLiteral("connect_timeout"), kConnectSeconds);
        if (optionValue(connParams.options, QStringLiteral("keepalives")) != QLatin1String("0")) {
            addOption(connParams.options, QStringLiteral("keepalives_idle"), kKeepaliveIdleSeconds);
            addOption(connParams.options, QStringLiteral("keepalives_interval"), kKeepaliveIntervalSeconds);
            addOption(connParams.options, QStringLiteral("keepalives_count"), kKeepaliveCount);
        }
        break;
    case Dialect::ODBC:
        if (!odbcSetsConnectTimeout(connParams.databaseName))
            addOption(connParams.options, QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT"), kConnectSeconds);
        if (namesPostgresOdbcDriver(connParams.databaseName)) {
            addOdbcKeyword(connParams.databaseName, "KeepaliveTime", kKeepaliveIdleSeconds);
            addOdbcKeyword(connParams.databaseName, "KeepaliveInterval", kKeepaliveIntervalSeconds);
            // Debian registers the driver with its communication log on: a
            // psqlodbc_*.log in the temporary folder for every connection.
            addOdbcKeyword(connParams.databaseName, "CommLog", 0);
        }
        break;
    }
    return connParams;
}

int connectSeconds(const ConnectionParams& connParams)
{
    const QString key = connParams.dialect == Dialect::ODBC ? QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT")
                                                      : QStringLiteral("connect_timeout");
    bool ok = false;
    const int seconds = optionValue(connParams.options, key).toInt(&ok);
    return ok && seconds > 0 ? seconds : -1;
}

}  // namespace crv::db
