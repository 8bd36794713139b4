// The kind of value of a column, from the types SQLite, PostgreSQL and ODBC
// drivers declare.
#include <gtest/gtest.h>

#include "db/field_kind.h"

namespace crv::test {
namespace {

TEST(FieldKind, DeclaredTypesOfEachDatabase)
{
    using db::FieldKind;
    const std::pair<const char*, FieldKind> cases[] = {
        {"VARCHAR(50)", FieldKind::Text},        {"character varying(50)", FieldKind::Text},
        {"TEXT", FieldKind::Text},               {"QString", FieldKind::Text},
        {"INTEGER", FieldKind::Integer},         {"bigint", FieldKind::Integer},
        {"qlonglong", FieldKind::Integer},       {"NUMERIC(19,4)", FieldKind::Decimal},
        {"double precision", FieldKind::Decimal}, {"double", FieldKind::Decimal},
        {"DATE", FieldKind::Date},               {"QDate", FieldKind::Date},
        {"DATETIME", FieldKind::DateTime},       {"timestamp without time zone", FieldKind::DateTime},
        {"QDateTime", FieldKind::DateTime},      {"time without time zone", FieldKind::Other},
        {"interval", FieldKind::Other},          {"boolean", FieldKind::Other},
        {"QByteArray", FieldKind::Other},        {"LONGBLOB", FieldKind::Other},
        {"", FieldKind::Other},
    };
    for (const auto& [type, kind] : cases) EXPECT_EQ(db::fieldKindOf(QString::fromLatin1(type)), kind) << type;
}

}  // namespace
}  // namespace crv::test
