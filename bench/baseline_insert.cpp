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

#include "cpu_clock.h"
#include "db/connection_string.h"
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
        const db::ConnectionSpec connSpec = db::parseConnString(connString);
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

}  // namespace

WorkResult baselineInsert(const WorkOptions& options, const ScratchDatabase& database)
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

        XmlDocument doc;
        loadOrThrow(doc, options.file);
        result.loadSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!db.transaction()) throw std::runtime_error("begin: " + db.lastError().text().toStdString());
        QSqlQuery pratica(db);
        prepare(pratica, insertStatement(db, QStringLiteral("Tabella Pratiche"), names));
        QSqlQuery fattura(db);
        prepare(fattura, insertStatement(db, QStringLiteral("tabella fatture"),
                                         {QStringLiteral("conta"), QStringLiteral("numero fattura"),
                                          QStringLiteral("periodo"), QStringLiteral("data fattura"),
                                          QStringLiteral("saldo"), QStringLiteral("DATA scadenza")}));

        std::vector<std::string> texts;
        std::vector<RigaFattura> fatture;
        std::string memo;
        const TextVisitor collect = [&](pugi::xml_node element, pugi::xml_attribute attribute,
                                        const std::string& text) {
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
        for (const pugi::xml_node c : doc.documentElement().children(caseElementName(options.bank))) {
            texts.clear();
            fatture.clear();
            memo.clear();
            touchCase(c, &collect);
            ++conta;
            int k = 0;
            for (const Column& column : columns) {
                QVariant value;
                switch (column.kind) {
                case db::ColumnKind::Text: {
                    const std::string& text =
                        texts.empty() ? memo : texts[static_cast<std::size_t>(k++) % texts.size()];
                    value = QString::fromStdString(text).left(column.size);
                    break;
                }
                case db::ColumnKind::LongText: value = QString::fromStdString(memo); break;
                case db::ColumnKind::Date:
                case db::ColumnKind::DateTime: value = oggi; break;
                case db::ColumnKind::Currency: value = amountText("1.234,56"); break;
                default: value = 1; break;
                }
                pratica.addBindValue(value);
            }
            exec(pratica);
            ++result.rows;
            for (const RigaFattura& r : fatture) {
                fattura.addBindValue(static_cast<qlonglong>(conta));
                fattura.addBindValue(QString::fromStdString(r.numero));
                fattura.addBindValue(QStringLiteral("BASELINE"));
                fattura.addBindValue(italianDate(r.data));
                fattura.addBindValue(amountText(r.saldo));
                fattura.addBindValue(italianDate(r.data));
                exec(fattura);
                ++result.rows;
            }
        }
        result.cases = conta;
        pratica.finish();
        fattura.finish();
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

}  // namespace crv::bench
