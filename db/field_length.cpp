#include "db/field_length.h"

#include "text/printable.h"

namespace crv::db {

namespace {

constexpr qsizetype kShown = 40;

// The start of a long value, for the message.
QString preview(const QString& value)
{
    return value.size() <= kShown ? value : value.left(kShown) + QStringLiteral("...");
}

}  // namespace

FieldTooLong::FieldTooLong(const QString& table, const QString& field, int definedSize, qsizetype length,
                           const QString& value)
    : FieldTooLong(table.toStdString(), field.toStdString(), definedSize, static_cast<std::size_t>(length),
                   value.left(kShown + 1).toStdString())
{
}

FieldTooLong::FieldTooLong(const std::string& table, const std::string& field, int definedSize, std::size_t length,
                           const std::string& start)
    : DbError("Valore troppo lungo per il campo \"" + field + "\" della tabella " + table,
              "al massimo " + std::to_string(definedSize) + " caratteri, il valore ne ha " + std::to_string(length) +
                  " (\"" + blankControls(preview(QString::fromStdString(start)).toStdString()) + "\")"),
      field_(QString::fromStdString(field)), definedSize_(definedSize)
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
    if (value.isNull() || value.metaType().id() != QMetaType::QString) return;
    const qsizetype limit = column.definedSize >= 0 ? column.definedSize : kLongestText;
    const QString text = value.toString();
    // UTF-16 units are never fewer than characters: most values stop here.
    if (text.size() <= limit) return;
    // Characters, counted without a copy: a pair of surrogates is one.
    qsizetype length = text.size();
    for (const QChar c : text)
        if (c.isLowSurrogate()) --length;
    if (length > limit) throw FieldTooLong(table.realName(), column.name, static_cast<int>(limit), length, text);
}

}  // namespace crv::db
