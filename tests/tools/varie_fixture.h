#pragma once
// Cases and common notes put straight into a test database (an SQLite file
// or the test PostgreSQL server), for the utilities of the tab "Varie".
#include <QDate>
#include <QVariant>

#include "db/database_fixture.h"
#include "numbers/regional.h"
#include "support/golden_support.h"

namespace crv::test {

class VarieTest : public DatabaseTest {
protected:
    // The database with the suite's tables (made on first use).
    db::Database& db();
    // Adds a case row; returns its counter.
    qint64 addCase(const db::FieldValues& fields);
    // Adds a row of [notecomuni].
    void addNote(const QString& posizione, const QVariant& note);
    // A field of a case row as it is now.
    QVariant field(qint64 contatore, const char* name);

    // A suite root whose vex32.ini names this test's database.
    const SuitePaths& suiteWithDatabase();

    static QVariant null() { return QVariant(QMetaType(QMetaType::QString)); }

    Regional it = Regional::italian();
    SuiteFixture suite;
};

}  // namespace crv::test
