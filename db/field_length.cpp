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
        const Column* column = table.find(name);
        if (!column || column->definedSize < 0) continue;
        const QString text = value.toString();
        // UTF-16 units are never fewer than characters: most values stop here.
        if (text.size() <= column->definedSize) continue;
        const qsizetype length = text.toUcs4().size();
        if (length > column->definedSize)
            throw FieldTooLong(table.realName(), column->name, column->definedSize, length, text);
    }
}

}  // namespace crv::db
