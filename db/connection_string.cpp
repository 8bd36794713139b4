#include "db/connection_string.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

#include "db/db_error.h"

namespace crv::db {

namespace {

using Pairs = std::vector<std::pair<QString, QString>>;  // keyword (lower case), value

bool isUri(const QString& text)
{
    return text.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           text.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

bool looksLikeSqliteFile(const QString& path)
{
    return path.endsWith(QLatin1String(".sqlite"), Qt::CaseInsensitive) ||
           path.endsWith(QLatin1String(".sqlite3"), Qt::CaseInsensitive) ||
           path.endsWith(QLatin1String(".db"), Qt::CaseInsensitive);
}

// "User  ID " -> "user id"
QString normalKeyword(const QString& key)
{
    return key.simplified().toLower();
}

// Splits "k1=v1;k2='v;2';k3={x;y}" into pairs. A value that starts with a
// quote runs to the matching quote (a doubled quote stands for one); a value
// in braces runs to the closing brace, braces kept (the ODBC form).
Pairs splitPairs(const QString& text)
{
    Pairs pairs;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype eq = text.indexOf(QLatin1Char('='), i);
        const qsizetype semi = text.indexOf(QLatin1Char(';'), i);
        if (eq < 0 || (semi >= 0 && semi < eq)) {
            // A piece without "=": tolerated only when blank (";;" or a trailing ";").
            const qsizetype end = semi < 0 ? n : semi;
            if (!text.mid(i, end - i).trimmed().isEmpty())
                throw DbError("Stringa di connessione non riconosciuta",
                              "elemento senza \"=\": " + text.mid(i, end - i).trimmed().toStdString());
            i = end + 1;
            continue;
        }
        const QString key = normalKeyword(text.mid(i, eq - i));
        qsizetype j = eq + 1;
        while (j < n && text[j] == QLatin1Char(' ')) ++j;
        QString value;
        if (j < n && (text[j] == QLatin1Char('"') || text[j] == QLatin1Char('\''))) {
            const QChar quote = text[j++];
            for (;;) {
                if (j >= n)
                    throw DbError("Stringa di connessione non riconosciuta",
                                  "virgolette non chiuse dopo " + key.toStdString());
                if (text[j] == quote) {
                    if (j + 1 < n && text[j + 1] == quote) {
                        value += quote;
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                value += text[j++];
            }
            while (j < n && text[j] != QLatin1Char(';')) ++j;
        } else if (j < n && text[j] == QLatin1Char('{')) {
            const qsizetype close = text.indexOf(QLatin1Char('}'), j);
            const qsizetype end = close < 0 ? n : close + 1;
            value = text.mid(j, end - j);
            j = end;
            while (j < n && text[j] != QLatin1Char(';')) ++j;
        } else {
            const qsizetype end = semi < 0 ? n : semi;
            value = text.mid(j, end - j).trimmed();
            j = end;
        }
        pairs.emplace_back(key, value);
        i = j + 1;
    }
    return pairs;
}

std::optional<QString> valueOf(const Pairs& pairs, std::initializer_list<const char*> keys)
{
    for (const auto& [key, value] : pairs)
        for (const char* wanted : keys)
            if (key == QLatin1String(wanted)) return value;
    return std::nullopt;
}

int parsePort(const QString& text)
{
    bool ok = false;
    const int port = text.trimmed().toInt(&ok);
    if (!ok || port <= 0 || port > 65535)
        throw DbError("Porta non valida nella stringa di connessione", text.toStdString());
    return port;
}

// One libpq keyword=value option; values with blanks or quotes are quoted as
// libpq wants them.
QString libpqOption(const QString& key, const QString& value)
{
    const bool plain = !value.isEmpty() && !value.contains(QLatin1Char(' ')) &&
                       !value.contains(QLatin1Char('\'')) && !value.contains(QLatin1Char('\\'));
    if (plain) return key + QLatin1Char('=') + value;
    QString quoted = value;
    quoted.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    quoted.replace(QLatin1String("'"), QLatin1String("\\'"));
    return key + QLatin1String("='") + quoted + QLatin1Char('\'');
}

ConnectionParams sqliteSpec(const QString& path, const QString& original)
{
    if (path.trimmed().isEmpty())
        throw DbError("Stringa di connessione SQLite senza percorso dell'archivio (Data Source)");
    ConnectionParams connSpec;
    connSpec.dialect = Dialect::SQLite;
    connSpec.driverName = QStringLiteral("QSQLITE");
    connSpec.databaseName = path.trimmed();
    connSpec.original = original;
    return connSpec;
}

ConnectionParams postgresSpec(const Pairs& pairs, const QString& original)
{
    ConnectionParams connSpec;
    connSpec.dialect = Dialect::PostgreSQL;
    connSpec.driverName = QStringLiteral("QPSQL");
    connSpec.original = original;
    QStringList options;
    for (const auto& [key, value] : pairs) {
        if (key == QLatin1String("provider") || key == QLatin1String("persist security info"))
            continue;
        if (key == QLatin1String("host") || key == QLatin1String("server"))
            connSpec.host = value;
        else if (key == QLatin1String("port"))
            connSpec.port = parsePort(value);
        else if (key == QLatin1String("database") || key == QLatin1String("initial catalog") ||
                 key == QLatin1String("dbname"))
            connSpec.databaseName = value;
        else if (key == QLatin1String("uid") || key == QLatin1String("user id") ||
                 key == QLatin1String("user") || key == QLatin1String("username") ||
                 key == QLatin1String("user name"))
            connSpec.user = value;
        else if (key == QLatin1String("pwd") || key == QLatin1String("password"))
            connSpec.password = value;
        else
            options << libpqOption(QString(key).replace(QLatin1Char(' '), QLatin1Char('_')), value);
    }
    connSpec.options = options.join(QLatin1Char(';'));
    return connSpec;
}

ConnectionParams uriSpec(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid())
        throw DbError("Indirizzo PostgreSQL non valido", url.errorString().toStdString());
    Pairs pairs;
    if (!url.host().isEmpty()) pairs.emplace_back(QStringLiteral("host"), url.host());
    if (url.port() > 0) pairs.emplace_back(QStringLiteral("port"), QString::number(url.port()));
    const QString database = url.path(QUrl::FullyDecoded).mid(1);
    if (!database.isEmpty()) pairs.emplace_back(QStringLiteral("database"), database);
    if (!url.userName().isEmpty())
        pairs.emplace_back(QStringLiteral("user"), url.userName(QUrl::FullyDecoded));
    if (!url.password().isEmpty())
        pairs.emplace_back(QStringLiteral("password"), url.password(QUrl::FullyDecoded));
    const QUrlQuery query(url);
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded))
        pairs.emplace_back(normalKeyword(key), value);
    return postgresSpec(pairs, text);
}

}  // namespace

ConnectionParams parseConnString(const std::string& connString)
{
    const QString text = QString::fromUtf8(connString).trimmed();
    if (text.isEmpty()) throw DbError("Stringa di connessione vuota");
    if (isUri(text)) return uriSpec(text);
    if (!text.contains(QLatin1Char('='))) {
        if (looksLikeSqliteFile(text)) return sqliteSpec(text, text);
        throw DbError("Stringa di connessione non riconosciuta",
                      "atteso un archivio .sqlite, un indirizzo postgresql:// o coppie chiave=valore");
    }

    // ODBC strings have rules of their own (braces, driver-specific keywords):
    // the driver reads them, not this code.
    static const QRegularExpression odbcKeyword(QStringLiteral(R"((^|;)\s*(driver|dsn|filedsn)\s*=)"),
                                                QRegularExpression::CaseInsensitiveOption);
    if (odbcKeyword.match(text).hasMatch()) {
        ConnectionParams connSpec;
        connSpec.dialect = Dialect::ODBC;
        connSpec.driverName = QStringLiteral("QODBC");
        connSpec.databaseName = text;  // QODBC takes a full connection string as the database name
        connSpec.original = text;
        return connSpec;
    }

    const Pairs pairs = splitPairs(text);
    const QString provider = valueOf(pairs, {"provider"}).value_or(QString()).toLower();
    const auto dataSource = valueOf(pairs, {"data source", "datasource", "filename"});
    if (provider.contains(QLatin1String("sqlite")))
        return sqliteSpec(dataSource.value_or(valueOf(pairs, {"database"}).value_or(QString())), text);
    if (provider.contains(QLatin1String("postgres")) || provider.contains(QLatin1String("pgsql")))
        return postgresSpec(pairs, text);
    if (!provider.isEmpty())
        throw DbError("Provider non supportato", valueOf(pairs, {"provider"})->toStdString());
    if (valueOf(pairs, {"host", "server"})) return postgresSpec(pairs, text);
    if (dataSource && looksLikeSqliteFile(*dataSource)) return sqliteSpec(*dataSource, text);
    throw DbError("Stringa di connessione non riconosciuta", "manca Provider=");
}

std::string sqliteConnString(const std::string& path)
{
    if (path.find(';') == std::string::npos && path.find('"') == std::string::npos)
        return "Provider=SQLite;Data Source=" + path;
    std::string quoted;
    for (const char c : path) {
        quoted += c;
        if (c == '"') quoted += '"';
    }
    return "Provider=SQLite;Data Source=\"" + quoted + "\"";
}

std::string captionText(const std::string& connString)
{
    constexpr qsizetype maxChars = 80;
    const QString text = QString::fromUtf8(connString);
    qsizetype keep = text.size();

    // A password keyword: keep up to its first two letters, so that no value follows.
    for (const char* keyword : {"PWD", "PASS"}) {
        const qsizetype at = text.indexOf(QLatin1String(keyword), 0, Qt::CaseInsensitive);
        if (at >= 0) keep = std::min(keep, at + 2);
    }
    // A URI password sits between the first ":" of the authority and the "@".
    const qsizetype scheme = text.indexOf(QLatin1String("://"));
    if (scheme >= 0) {
        const qsizetype start = scheme + 3;
        const qsizetype at = text.indexOf(QLatin1Char('@'), start);
        const qsizetype colon = text.indexOf(QLatin1Char(':'), start);
        if (at >= 0 && colon >= 0 && colon < at) keep = std::min(keep, colon + 1);
    }

    // Count characters, not UTF-16 units, and never split a surrogate pair.
    qsizetype units = 0;
    qsizetype chars = 0;
    while (units < keep && chars < maxChars) {
        units += (text[units].isHighSurrogate() && units + 1 < text.size()) ? 2 : 1;
        ++chars;
    }
    return text.left(std::min(units, keep)).toStdString();
}

QString valoreOdbc(const QString& connString, const QString& pattern)
{
    const QRegularExpression key(QStringLiteral(R"((?:^|;)\s*(?:%1)\s*=\s*([^;]*))").arg(pattern),
                                 QRegularExpression::CaseInsensitiveOption);
    const auto match = key.match(connString);
    return match.hasMatch() ? match.captured(1).trimmed() : QString();
}

}  // namespace crv::db
