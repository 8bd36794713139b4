#include "db/field_kind.h"

namespace crv::db {

FieldKind fieldKindOf(const QString& declaredType)
{
    const QString type = declaredType.trimmed().toUpper();
    auto has = [&](const char* part) { return type.contains(QLatin1String(part)); };

    // Dates first: "DATETIME" and "TIMESTAMP" also hold "TIME", "INTERVAL" holds "INT".
    if (has("TIMESTAMP") || has("DATETIME")) return FieldKind::DateTime;
    if (has("DATE")) return FieldKind::Date;
    if (has("TIME") || has("INTERVAL") || has("POINT") || has("BOOL") || has("BLOB") ||
        has("BINARY") || has("BYTE"))
        return FieldKind::Other;
    if (has("CHAR") || has("TEXT") || has("CLOB") || has("STRING")) return FieldKind::Text;
    if (has("INT") || has("LONG") || has("SHORT") || has("SERIAL") || has("COUNTER"))
        return FieldKind::Integer;
    if (has("NUMERIC") || has("DECIMAL") || has("MONEY") || has("CURRENCY") || has("REAL") ||
        has("FLOA") || has("DOUB"))
        return FieldKind::Decimal;
    return FieldKind::Other;
}

}  // namespace crv::db
