#include "db/field_length.h"

namespace crv::db {

namespace {

// The start of a long value, for the message.
QString preview(const QString& value)
{
    constexpr qsizetype kShown = 40;
    return value.size() <= kShown ? value : value.left(kShown) + QStringLiteral("...");
}

}  // namespace

FieldTooLong::FieldTooLong(const QString& table, const QString& field, int definedSize, qsizetype length,
                           const QString& value)
    : DbError("Valore troppo lungo per il campo \"" + field.toStdString() + "\" della tabella " +
                  table.toStdString(),
              "al massimo " + std::to_string(definedSize) + " caratteri, il valore ne ha " +
                  std::to_string(length) + " (\"" + preview(value).toStdString() + "\")"),
      field_(field), definedSize_(definedSize)
{
}

void checkTextLengths(const TableInfo& table, const std::vector<std::pair<QString, QVariant>>& columns)
{
    for (const auto& [name, value] : columns) {
        if (value.isNull() || value.metaType().id() != QMetaType::QString) continue;
        if (const Column* column = table.find(name)) checkTextLength(table, *column, value);
    }
}

void checkTextLength(const TableInfo& table, const Column& column, const QVariant& value)
{
    if (column.definedSize < 0 || value.isNull() || value.metaType().id() != QMetaType::QString) return;
    const QString text = value.toString();
    // UTF-16 units are never fewer than characters: most values stop here.
    if (text.size() <= column.definedSize) return;
    const qsizetype length = text.toUcs4().size();
    if (length > column.definedSize)
        throw FieldTooLong(table.realName(), column.name, column.definedSize, length, text);
}

}  // namespace crv::db
