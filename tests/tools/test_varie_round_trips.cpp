// How often the utilities wait for a PostgreSQL server, counted by the relay
// between them and the server: the export and common notes to memo over
// many cases wait as often as over a few through Qt's driver (the cases
// come in one stream, the memos go back in one COPY and one UPDATE); through
// ODBC a few times more for each thousand cases.
#include <QSqlQuery>

#include "support/relay_support.h"
#include "tools/case_export.h"
#include "tools/common_notes.h"
#include "tools/varie_fixture.h"

namespace crv::test {
namespace {

class VarieRoundTrips : public VarieTest {
protected:
    // Cases P<from>..P<to - 1>, each with a memo and a note.
    void addCases(int from, int to)
    {
        db().begin();
        for (int i = from; i < to; ++i) {
            const QString pos = QStringLiteral("P%1").arg(i);
            addCase({{"posizione", pos}, {"memo", QStringLiteral("memo ") + pos}});
            addNote(pos, QStringLiteral("nota ") + pos);
        }
        db().commit();
    }

#ifdef CRVXML_RELAY
    // Runs `work` on a connection of its own through a relay; the waits it counted.
    long waitsOf(const std::function<void(db::Database&)>& work)
    {
        const auto relay = startRelay(isOdbc() ? postgresConnString() : connString_);
        {
            const auto through = db::Database::open(
                db::parseConnString(isOdbc() ? postgresOdbcConnString(relay->uri(), schema_) : relay->uri()));
            work(*through);
        }
        return relay->stop().waits;
    }
#endif

    long memosEndingWithTheirNote()
    {
        QSqlQuery q = db().query(QStringLiteral("SELECT COUNT(*) FROM \"Tabella Pratiche\" p JOIN notecomuni n ON "
                                                "n.posizione = p.posizione WHERE p.memo = 'memo ' || p.posizione "
                                                "|| chr(13) || chr(10) || n.\"note comuni\""));
        return q.next() ? q.value(0).toLongLong() : -1;
    }
};

TEST_P(VarieRoundTrips, ManyCasesWaitNoMoreThanAFew)
{
    CRV_NEED_RELAY();
#ifdef CRVXML_RELAY
    // Beyond the chunks of 500 cases the utilities once read, and the
    // cursor's 2,000 rows through ODBC.
    const int few = 20;
    const int many = 2600;
    std::vector<long> notes;
    std::vector<long> exports;
    int added = 0;
    for (const int cases : {few, many}) {
        db().execute(QStringLiteral("DELETE FROM \"Tabella Pratiche\""));
        db().execute(QStringLiteral("DELETE FROM notecomuni"));
        addCases(added, added + cases);
        added += cases;
        notes.push_back(waitsOf([&](db::Database& through) {
            const auto r = tools::accodaNoteComuni(through, {}, it);
            EXPECT_EQ(r.modificate, cases) << (r.messaggi.empty() ? "" : r.messaggi.front());
        }));
        EXPECT_EQ(memosEndingWithTheirNote(), cases);
        exports.push_back(waitsOf([&](db::Database& through) {
            const auto r = tools::esportaPratiche(through, {}, {"posizione", "memo", "note comuni"},
                                                  suite.paths().root / "casi.xlsx", it);
            EXPECT_EQ(r.pratiche, cases) << (r.messaggi.empty() ? "" : r.messaggi.front());
        }));
    }
    EXPECT_GT(notes[0], 3) << "the relay read the protocol";
    EXPECT_GT(exports[0], 3);
    // Through ODBC: a FETCH for each 2,000 cases read, the memos back in
    // INSERTs of up to a thousand, and the driver's own savepoints around
    // each: far below one wait per case.
    const long allowed = isOdbc() ? (many - few) / 100 : 0;
    EXPECT_LE(notes[1] - notes[0], allowed) << notes[0] << " and " << notes[1];
    EXPECT_LE(exports[1] - exports[0], allowed) << exports[0] << " and " << exports[1];
#endif
}

INSTANTIATE_TEST_SUITE_P(PostgreSQL, VarieRoundTrips,
                         ::testing::Values(TestDb::PostgreSQL, TestDb::OdbcPostgreSQL), dialectName);

}  // namespace
}  // namespace crv::test
