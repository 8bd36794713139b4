#include "db/table_info.h"

#include <QRegularExpression>

#include "db/db_error.h"

namespace crv::db {

TableInfo::TableInfo(QString realName, std::vector<Column> columns)
    : realName_(std::move(realName)), columns_(std::move(columns))
{
    // Every field of every row is looked up by name: index the lower-cased
    // names once (the first spelling wins, as a linear search would).
    for (std::size_t i = 0; i < columns_.size(); ++i) if (!byLowerName_.contains(columns_[i].name.toLower())) byLowerName_.insert(columns_[i].name.toLower(), i);
}

const Column* TableInfo::find(const QString& name) const
{
    const auto found = byLowerName_.constFind(name.trimmed().toLower());
    return found == byLowerName_.cend() ? nullptr : &columns_[found.value()];
}

const Column* TableInfo::find(std::string_view name) const
{
    return find(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
}

int TableInfo::definedSize(std::string_view name) const
{
    const Column* column = find(name);
    if (!column)
        throw DbError("Campo \"" + std::string(name) + "\" non trovato nella tabella " +
                      realName_.toStdString());
    return column->definedSize;
}

const QString& TableInfo::realColumn(const QString& name) const
{
    const Column* column = find(name);
    if (!column)
        throw DbError("Campo \"" + name.toStdString() + "\" non trovato nella tabella " +
                      realName_.toStdString());
    return column->name;
}

int sizeFromDeclaredType(const QString& declaredType)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\s*([A-Za-z_ ]+?)\s*\(\s*(\d+)\s*\))"));
    const auto match = pattern.match(declaredType);
    if (!match.hasMatch()) return -1;
    const QString base = match.captured(1).toUpper();
    if (!base.contains(QLatin1String("CHAR")) && !base.contains(QLatin1String("TEXT")) &&
        !base.contains(QLatin1String("CLOB")))
        return -1;
    bool ok = false;
    const int size = match.captured(2).toInt(&ok);
    return ok && size > 0 ? size : -1;
}

}  // namespace crv::db
