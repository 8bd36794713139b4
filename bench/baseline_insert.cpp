#include "baseline_insert.h"

#include <chrono>
#include <stdexcept>
#include <vector>

#include <QDate>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <libpq-fe.h>

#include "cpu_clock.h"
#include "db/connection_string.h"
#include "db/pg_row_writer.h"
#include "db/schema.h"
#include "numbers/amount.h"
#include "touch.h"

namespace crv::bench {
namespace {

struct Column {
    QString name;
    db::ColumnKind kind;
    int size;
};

// The columns of [Tabella Pratiche] an import fills: all but the key and the
// suite's own memo.
std::vector<Column> praticheColumns()
{
    std::vector<Column> out;
    for (const db::TableDef& table : db::suiteTables()) {
        if (QString::fromUtf8(table.name) != QLatin1String("Tabella Pratiche")) continue;
        for (const db::ColumnDef& c : table.columns) {
            if (c.kind == db::ColumnKind::AutoKey || QLatin1String(c.name) == QLatin1String("memo")) continue;
            out.push_back({QString::fromUtf8(c.name), c.kind, c.size});
        }
    }
    return out;
}

QString insertStatement(const QSqlDatabase& db, const QString& table, const QStringList& columns)
{
    const QSqlDriver* driver = db.driver();
    QStringList quoted;
    QStringList marks;
    for (const QString& c : columns) {
        quoted << driver->escapeIdentifier(c, QSqlDriver::FieldName);
        marks << QStringLiteral("?");
    }
    return QStringLiteral("INSERT INTO ") + driver->escapeIdentifier(table, QSqlDriver::TableName) +
           QStringLiteral(" (") + quoted.join(QLatin1Char(',')) + QStringLiteral(") VALUES (") +
           marks.join(QLatin1Char(',')) + QLatin1Char(')');
}

void prepare(QSqlQuery& query, const QString& sql)
{
    if (!query.prepare(sql)) throw std::runtime_error("prepare: " + query.lastError().text().toStdString());
}

void exec(QSqlQuery& query)
{
    if (!query.exec()) throw std::runtime_error("insert: " + query.lastError().text().toStdString());
}

QString amountText(const std::string& text)
{
    const auto value = Amount::parseRegional(text, Regional::italian());
    return QString::fromStdString(value.value_or(Amount()).toPlain());
}

QVariant italianDate(const std::string& text)
{
    const QDate d = QDate::fromString(QString::fromStdString(text), QStringLiteral("dd/MM/yyyy"));
    return d.isValid() ? QVariant(d) : QVariant(QString::fromStdString(text));
}

std::string attributeAt(pugi::xml_node node, int position)
{
    pugi::xml_attribute a = node.first_attribute();
    for (int k = 0; k < position && a; ++k) a = a.next_attribute();
    return a ? a.value() : "";
}

// One instalment or relation row of the bank format.
struct RigaFattura {
    std::string numero, data, saldo;
};

// The open connection of the baseline, removed from Qt when it goes.
class RawConnection {
public:
    explicit RawConnection(const std::string& connString) : name_(QStringLiteral("crvbench-plain"))
    {
        const db::ConnectionParams connSpec = db::parseConnString(connString);
        db_ = QSqlDatabase::addDatabase(connSpec.driverName, name_);
        db_.setDatabaseName(connSpec.databaseName);
        if (!connSpec.host.isEmpty()) db_.setHostName(connSpec.host);
        if (connSpec.port > 0) db_.setPort(connSpec.port);
        if (!connSpec.user.isEmpty()) db_.setUserName(connSpec.user);
        if (!connSpec.password.isEmpty()) db_.setPassword(connSpec.password);
        db_.setConnectOptions(connSpec.options);
        if (!db_.open()) throw std::runtime_error("open: " + db_.lastError().text().toStdString());
    }
    ~RawConnection()
    {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
    }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;
    QSqlDatabase& db() { return db_; }

private:
    QString name_;
    QSqlDatabase db_;
};

// Where the baseline's rows go: one per case into [Tabella Pratiche], one per
// relation of a `rapportiCC` and per instalment into [tabella fatture].
class RowSink {
public:
    virtual ~RowSink() = default;
    virtual void pratica(const QVariantList& values) = 0;
    virtual void fattura(const QVariantList& values) = 0;
};

// Loads the file and walks every case, handing each row to the sink; the
// load's time and the counts go to `result`.
void walkRows(const WorkOptions& options, const std::vector<Column>& columns, RowSink& sink, WorkResult& result,
              std::chrono::steady_clock::time_point start)
{
    XmlDocument doc;
    loadOrThrow(doc, options.file);
    result.loadSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::vector<std::string> texts;
    std::vector<RigaFattura> fatture;
    std::string memo;
    const TextVisitor collect = [&](pugi::xml_node element, pugi::xml_attribute attribute, const std::string& text) {
        if (attribute) {
            texts.push_back(text);
            memo.append(attribute.name()).append(" = ").append(text).append("\r\n");
            return;
        }
        const bool leaf = !element.first_child() || element.first_child().type() != pugi::node_element;
        if (leaf && !text.empty()) {
            texts.push_back(text);
            memo.append(element.name()).append(" = ").append(text).append("\r\n");
        }
        if (!options.bank) return;
        const std::string_view name = element.name();
        if (name == "rata") {
            fatture.push_back({attributeAt(element, 0), attributeAt(element, 1),
                               attributeAt(element.child("insoluto"), 0)});
        } else if (name == "rapporto" && std::string_view(element.parent().name()) == "rapportiCC") {
            fatture.push_back({attributeAt(element.child("numero"), 0),
                               attributeAt(element.child("data_accensione"), 0),
                               attributeAt(element.child("da_recup"), 0)});
        }
    };

    const QDate oggi(2026, 4, 1);
    long conta = 0;
    QVariantList values;
    for (const pugi::xml_node c : doc.documentElement().children(caseElementName(options.bank))) {
        texts.clear();
        fatture.clear();
        memo.clear();
        touchCase(c, &collect);
        ++conta;
        int k = 0;
        values.clear();
        for (const Column& column : columns) {
            switch (column.kind) {
            case db::ColumnKind::Text: {
                const std::string& text = texts.empty() ? memo : texts[static_cast<std::size_t>(k++) % texts.size()];
                values << QString::fromStdString(text).left(column.size);
                break;
            }
            case db::ColumnKind::LongText: values << QString::fromStdString(memo); break;
            case db::ColumnKind::Date:
            case db::ColumnKind::DateTime: values << oggi; break;
            case db::ColumnKind::Currency: values << amountText("1.234,56"); break;
            default: values << 1; break;
            }
        }
        sink.pratica(values);
        ++result.rows;
        for (const RigaFattura& r : fatture) {
            sink.fattura({static_cast<qlonglong>(conta), QString::fromStdString(r.numero), QStringLiteral("BASELINE"),
                          italianDate(r.data), amountText(r.saldo), italianDate(r.data)});
            ++result.rows;
        }
    }
    result.cases = conta;
}

const QStringList kFattureColumns = {QStringLiteral("conta"),        QStringLiteral("numero fattura"),
                                     QStringLiteral("periodo"),      QStringLiteral("data fattura"),
                                     QStringLiteral("saldo"),        QStringLiteral("DATA scadenza")};

// One prepared INSERT per row.
class InsertSink final : public RowSink {
public:
    InsertSink(QSqlDatabase& db, const QStringList& names) : pratica_(db), fattura_(db)
    {
        pratica_.setForwardOnly(true);
        fattura_.setForwardOnly(true);
        prepare(pratica_, insertStatement(db, QStringLiteral("Tabella Pratiche"), names));
        prepare(fattura_, insertStatement(db, QStringLiteral("tabella fatture"), kFattureColumns));
    }
    void pratica(const QVariantList& values) override { run(pratica_, values); }
    void fattura(const QVariantList& values) override { run(fattura_, values); }
    void finish()
    {
        pratica_.finish();
        fattura_.finish();
    }

private:
    static void run(QSqlQuery& query, const QVariantList& values)
    {
        for (const QVariant& v : values) query.addBindValue(v);
        exec(query);
    }
    QSqlQuery pratica_;
    QSqlQuery fattura_;
};

// PostgreSQL's COPY on the connection Qt opened: the case rows stream while
// the file is walked, the instalment rows are kept and copied after them.
class CopySink final : public RowSink {
public:
    CopySink(QSqlDatabase& db, const QStringList& names) : db_(db)
    {
        const QVariant handle = db.driver()->handle();
        if (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0)
            throw std::runtime_error("COPY: non e' una connessione QPSQL");
        conn_ = *static_cast<PGconn* const*>(handle.constData());
        start(QStringLiteral("Tabella Pratiche"), names);
    }
    void pratica(const QVariantList& values) override
    {
        line(pratiche_, values);
        if (pratiche_.size() >= (256 << 10)) send(pratiche_);
    }
    void fattura(const QVariantList& values) override { line(fatture_, values); }
    void finish(const QStringList&)
    {
        send(pratiche_);
        end();
        if (fatture_.isEmpty()) return;
        start(QStringLiteral("tabella fatture"), kFattureColumns);
        send(fatture_);
        end();
    }

private:
    void start(const QString& table, const QStringList& columns)
    {
        const QSqlDriver* driver = db_.driver();
        QStringList quoted;
        for (const QString& c : columns) quoted << driver->escapeIdentifier(c, QSqlDriver::FieldName);
        const QString sql = QStringLiteral("COPY ") + driver->escapeIdentifier(table, QSqlDriver::TableName) +
                            QStringLiteral(" (") + quoted.join(QLatin1Char(',')) + QStringLiteral(") FROM STDIN");
        PGresult* result = PQexec(conn_, sql.toUtf8().constData());
        const bool ok = PQresultStatus(result) == PGRES_COPY_IN;
        const std::string error = PQresultErrorMessage(result);
        PQclear(result);
        if (!ok) throw std::runtime_error("COPY: " + error);
    }
    static void line(QByteArray& data, const QVariantList& values)
    {
        for (qsizetype i = 0; i < values.size(); ++i) {
            if (i > 0) data += '\t';
            db::appendCopyField(data, db::pgText(values[i]));
        }
        data += '\n';
    }
    void send(QByteArray& data)
    {
        if (!data.isEmpty() && PQputCopyData(conn_, data.constData(), static_cast<int>(data.size())) != 1)
            throw std::runtime_error(std::string("COPY: ") + PQerrorMessage(conn_));
        data.clear();
    }
    void end()
    {
        if (PQputCopyEnd(conn_, nullptr) != 1) throw std::runtime_error(std::string("COPY: ") + PQerrorMessage(conn_));
        std::string error;
        while (PGresult* result = PQgetResult(conn_)) {
            if (PQresultStatus(result) != PGRES_COMMAND_OK) error = PQresultErrorMessage(result);
            PQclear(result);
        }
        if (!error.empty()) throw std::runtime_error("COPY: " + error);
    }

    QSqlDatabase& db_;
    PGconn* conn_ = nullptr;
    QByteArray pratiche_;
    QByteArray fatture_;
};

WorkResult runBaseline(const WorkOptions& options, const ScratchDatabase& database, bool copy)
{
    const std::vector<Column> columns = praticheColumns();
    QStringList names;
    for (const Column& c : columns) names << c.name;

    WorkResult result;
    {
        RawConnection connection(database.connString());
        QSqlDatabase& db = connection.db();
        const CpuClock cpu;
        const auto start = std::chrono::steady_clock::now();
        if (!db.transaction()) throw std::runtime_error("begin: " + db.lastError().text().toStdString());
        if (copy) {
            CopySink sink(db, names);
            walkRows(options, columns, sink, result, start);
            sink.finish(names);
        } else {
            InsertSink sink(db, names);
            walkRows(options, columns, sink, result, start);
            sink.finish();
        }
        if (!db.commit()) throw std::runtime_error("commit: " + db.lastError().text().toStdString());
        result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        result.cpuSeconds = cpu.elapsed();
    }
    const long stored = database.countRows(QStringLiteral("Tabella Pratiche")) +
                        database.countRows(QStringLiteral("tabella fatture"));
    if (stored != result.rows)
        throw std::runtime_error("righe attese " + std::to_string(result.rows) + ", trovate " +
                                 std::to_string(stored));
    result.extraBytes = database.fileBytes();
    return result;
}

}  // namespace

WorkResult baselineInsert(const WorkOptions& options, const ScratchDatabase& database)
{
    return runBaseline(options, database, false);
}

WorkResult baselineCopy(const WorkOptions& options, const ScratchDatabase& database)
{
    return runBaseline(options, database, true);
}

}  // namespace crv::bench
