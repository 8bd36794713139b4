#include "tools/varie_fixture.h"

namespace crv::test {

db::Database& VarieTest::db()
{
    if (!db_) withSchema();
    return *db_;
}

qint64 VarieTest::addCase(const db::FieldValues& fields)
{
    return db().insert(QStringLiteral("Tabella Pratiche"), fields);
}

void VarieTest::addNote(const QString& posizione, const QVariant& note)
{
    db::Database& d = db();
    d.execute(QStringLiteral("INSERT INTO notecomuni (posizione, ") + d.quote(QStringLiteral("note comuni")) +
                  QStringLiteral(") VALUES (?, ?)"),
              {posizione, note});
}

QVariant VarieTest::field(qint64 contatore, const char* name)
{
    return db().selectRow(QStringLiteral("Tabella Pratiche"), {QString::fromLatin1(name)}, QStringLiteral("contatore"),
                          contatore)
        .front();
}

const SuitePaths& VarieTest::suiteWithDatabase()
{
    db();
    writeFile(suite.paths().vex32Ini(), "connstring=" + connString_ + "\r\n");
    return suite.paths();
}

}  // namespace crv::test
