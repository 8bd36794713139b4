// Import batches: each run gets the counter of its own batch row, also when
// another operator adds a batch at the same moment.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <QDateTime>

#include "db/batches.h"
#include "db/database_fixture.h"

namespace crv::test {
namespace {

using db::AddLotto;
using db::DbError;
using db::SalvaNumPratiche;
const QString lotti = QStringLiteral("TabellaLottiImp");
const QStringList batchFields = {QStringLiteral("DataImportazione"), QStringLiteral("DataAffido"),
                                 QStringLiteral("ScadAffido"), QStringLiteral("CodMandante"),
                                 QStringLiteral("TipoIntervento"), QStringLiteral("NumPratiche")};

class Batches : public DatabaseTest {};

TEST_P(Batches, TwoRunsGetTwoIncreasingCountersAndTheirOwnRows)
{
    auto& database = withSchema();
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    const qint64 first = AddLotto(database, QDate(2026, 1, 15), QDate(2026, 7, 15), "CRV", "MO");
    const qint64 second = AddLotto(database, QDate(2026, 2, 1), QDate(2026, 8, 1), "BNK", "DA");
    EXPECT_GT(first, 0);
    EXPECT_GT(second, first);

    const QVariantList row = database.selectRow(lotti, batchFields, QStringLiteral("contatore"), first);
    const QDateTime stamp = row[0].toDateTime();
    EXPECT_TRUE(stamp.isValid()) << row[0].toString().toStdString();
    EXPECT_GE(stamp, before);
    EXPECT_LE(stamp, QDateTime::currentDateTime().addSecs(1));
    EXPECT_EQ(row[1].toDate(), QDate(2026, 1, 15));
    EXPECT_EQ(row[2].toDate(), QDate(2026, 7, 15));
    EXPECT_EQ(row[3].toString(), "CRV");
    EXPECT_EQ(row[4].toString(), "MO");
    EXPECT_TRUE(row[5].isNull()) << "the case count is set only at the end of the run";

    SalvaNumPratiche(database, second, 42);
    EXPECT_EQ(database.selectRow(lotti, {QStringLiteral("numpratiche")}, QStringLiteral("contatore"), second)[0].toInt(), 42);
    EXPECT_TRUE(database.selectRow(lotti, {QStringLiteral("numpratiche")}, QStringLiteral("contatore"), first)[0].isNull());
    EXPECT_THROW(SalvaNumPratiche(database, second + 100, 1), DbError);
}

TEST_P(Batches, TwoOperatorsInterleavedEachGetTheirOwnBatch)
{
    auto& operatorA = withSchema();
    auto operatorB = connect();
    const qint64 a1 = AddLotto(operatorA, QDate(2026, 3, 1), QDate(2026, 9, 1), "OPA", "MO");
    const qint64 b1 = AddLotto(*operatorB, QDate(2026, 3, 1), QDate(2026, 9, 1), "OPB", "MO");
    const qint64 a2 = AddLotto(operatorA, QDate(2026, 3, 1), QDate(2026, 9, 1), "OPA", "MO");
    EXPECT_LT(a1, b1);
    EXPECT_LT(b1, a2);
    for (const auto& [key, code] : {std::pair{a1, "OPA"}, std::pair{b1, "OPB"}, std::pair{a2, "OPA"}})
        EXPECT_EQ(operatorA.selectRow(lotti, {QStringLiteral("CodMandante")}, QStringLiteral("contatore"), key)[0]
                      .toString(),
                  code);
}

// Another operator's batch row arriving between our insert and the reading
// of our counter, made certain by a trigger: the highest counter in the table
// is then theirs, and ours must still come back.
TEST_P(Batches, TheCounterIsTheNewRowsOwnEvenWhenAnotherRowFollowsAtOnce)
{
    auto& database = withSchema();
    if (isPostgres()) {
        database.execute(QStringLiteral(
            "CREATE FUNCTION altro_operatore() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
            "IF NEW.\"CodMandante\" = 'OPA' THEN "
            "INSERT INTO \"TabellaLottiImp\" (\"CodMandante\") VALUES ('OPB'); END IF; "
            "RETURN NULL; END $$"));
        database.execute(QStringLiteral(
            "CREATE TRIGGER altro_operatore AFTER INSERT ON \"TabellaLottiImp\" "
            "FOR EACH ROW EXECUTE FUNCTION altro_operatore()"));
    } else {
        database.execute(QStringLiteral(
            "CREATE TRIGGER altro_operatore AFTER INSERT ON TabellaLottiImp "
            "WHEN NEW.CodMandante = 'OPA' BEGIN "
            "INSERT INTO TabellaLottiImp (CodMandante) VALUES ('OPB'); END"));
    }
    const qint64 own = AddLotto(database, QDate(2026, 6, 1), QDate(2026, 12, 1), "OPA", "MO");
    auto highest = database.query(QStringLiteral("SELECT MAX(contatore) FROM ") + database.quote(lotti));
    ASSERT_TRUE(highest.next());
    const qint64 max = highest.value(0).toLongLong();
    highest.finish();
    EXPECT_GT(max, own);
    EXPECT_EQ(database.selectRow(lotti, {QStringLiteral("CodMandante")}, QStringLiteral("contatore"), own)[0].toString(),
              "OPA");
}

// Two import runs, each one transaction: the batch row of the first is still
// uncommitted when the second adds and commits its own.
TEST_P(Batches, ConcurrentRunsKeepTheirOwnCounter)
{
    auto& operatorA = withSchema();
    operatorA.begin();
    const qint64 keyA = AddLotto(operatorA, QDate(2026, 4, 1), QDate(2026, 10, 1), "OPA", "MO");

    qint64 keyB = 0;
    std::string errorB;
    std::thread runB([&] {
        try {
            auto operatorB = connect();
            operatorB->begin();
            keyB = AddLotto(*operatorB, QDate(2026, 4, 1), QDate(2026, 10, 1), "OPB", "MO");
            SalvaNumPratiche(*operatorB, keyB, 3);
            operatorB->commit();
        } catch (const std::exception& error) {
            errorB = error.what();
        }
    });
    if (isPostgres()) {
        // The server lets both runs write: B is done while A is still open, and
        // the highest counter A can see now is B's.
        runB.join();
        auto highest = operatorA.query(QStringLiteral("SELECT MAX(contatore) FROM ") + operatorA.quote(lotti));
        ASSERT_TRUE(highest.next());
        EXPECT_EQ(highest.value(0).toLongLong(), keyB);
        highest.finish();
        SalvaNumPratiche(operatorA, keyA, 5);
        operatorA.commit();
    } else {
        // SQLite has one writer at a time: B waits for A's commit.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        SalvaNumPratiche(operatorA, keyA, 5);
        operatorA.commit();
        runB.join();
    }
    ASSERT_EQ(errorB, "");
    EXPECT_NE(keyA, keyB);
    const QStringList fields = {QStringLiteral("CodMandante"), QStringLiteral("NumPratiche")};
    const QVariantList rowA = operatorA.selectRow(lotti, fields, QStringLiteral("contatore"), keyA);
    const QVariantList rowB = operatorA.selectRow(lotti, fields, QStringLiteral("contatore"), keyB);
    EXPECT_EQ(rowA[0].toString(), "OPA");
    EXPECT_EQ(rowA[1].toInt(), 5);
    EXPECT_EQ(rowB[0].toString(), "OPB");
    EXPECT_EQ(rowB[1].toInt(), 3);
}

TEST_P(Batches, ARolledBackRunLeavesNoBatch)
{
    auto& database = withSchema();
    database.begin();
    const qint64 key = AddLotto(database, QDate(2026, 5, 1), QDate(2026, 11, 1), "CRV", "MO");
    database.rollback();
    EXPECT_THROW(database.selectRow(lotti, {QStringLiteral("CodMandante")}, QStringLiteral("contatore"), key), DbError);
    const qint64 next = AddLotto(database, QDate(2026, 5, 1), QDate(2026, 11, 1), "CRV", "MO");
    EXPECT_GT(next, 0);
}

CRV_INSTANTIATE_FOR_DATABASES(Batches);

}  // namespace
}  // namespace crv::test
