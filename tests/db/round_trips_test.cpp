// How often a normal import waits for a PostgreSQL server, counted by the
// relay between the program and the server (the server's ReadyForQuery and
// CopyInResponse): through Qt's driver the same however many cases a
// delivery holds, so that a distant server costs a fixed time per run;
// through ODBC, which cannot COPY, it grows by one statement of many rows,
// not by one per case.
#include <gtest/gtest.h>

#include <QSqlQuery>

#include "db/database_fixture.h"
#include "support/golden_support.h"
#include "support/relay_support.h"

namespace crv::test {
namespace {

// A sample delivery and how to copy its first case.
struct Sample {
    const char* file;
    const char* open;   // the case element's start and end tags
    const char* close;
    const char* code;   // the case's code as the file writes it, quotes or brackets included
    bool bank;
};

const Sample kSamples[] = {
    {"corvestra/completo.xml", "<PRATICA>", "</PRATICA>", ">100200300<", false},
    {"banca/due_pratiche.xml", "<documento>", "</documento>", "\"BK-0001\"", true},
};

// The sample with its first case `copies` times, each with a code of its own.
std::string delivery(const Sample& s, int copies)
{
    const std::string text = readFile(dataFile(s.file));
    const std::size_t begin = text.find(s.open);
    const std::size_t end = text.find(s.close, begin) + std::string(s.close).size();
    const std::size_t last = text.rfind(s.close) + std::string(s.close).size();
    const std::string first = text.substr(begin, end - begin);
    const std::string code(s.code);
    std::string out = text.substr(0, begin);
    for (int i = 0; i < copies; ++i) {
        std::string copy = first;
        const std::string own = code.substr(0, code.size() - 1) + "-" + std::to_string(i) + code.back();
        for (std::size_t at = copy.find(code); at != std::string::npos; at = copy.find(code, at + own.size()))
            copy.replace(at, code.size(), own);
        out += copy + "\n";
    }
    return out + text.substr(last);
}

class RoundTrips : public DatabaseTest {
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        withSchema();
    }

#ifdef CRVXML_RELAY
    // Imports the file in the suite's import folder through a relay; the
    // waits it counted.
    long importThroughRelay(const std::string& file, bool bank)
    {
        const auto relay = startRelay(isOdbc() ? postgresConnString() : connString_);
        const std::string conn = isOdbc() ? postgresOdbcConnString(relay->uri(), schema_) : relay->uri();
        writeFile(suite.paths().vex32Ini(), "[vex32]\r\nconnstring=" + conn + "\r\n");
        std::vector<std::string> args{"import", "--root", suite.paths().root.string(), "--no-test",
                                      "--anche-gia-presenti"};
        if (bank) args.push_back("--bank");
        args.push_back(file);
        const ProgramRun run = runCrvxml(args, "C.UTF-8");
        EXPECT_EQ(run.status, 0) << run.err;
        return relay->stop().waits;
    }
#endif

    long cases()
    {
        QSqlQuery q = db_->query(QStringLiteral("SELECT COUNT(*) FROM \"Tabella Pratiche\""));
        return q.next() ? q.value(0).toLongLong() : -1;
    }

    SuiteFixture suite;
};

TEST_P(RoundTrips, AnImportOfManyCasesWaitsNoMoreThanOneOfFew)
{
    CRV_NEED_RELAY();
#ifdef CRVXML_RELAY
    // More than twice the rows after which the writer used to wait for the server.
    const int few = 30;
    const int many = 1100;
    for (const Sample& sample : kSamples) {
        SCOPED_TRACE(sample.file);
        std::vector<long> waits;
        for (const int copies : {few, many}) {
            writeFile(suite.paths().importDir() / "consegna.xml", delivery(sample, copies));
            waits.push_back(importThroughRelay("consegna.xml", sample.bank));
        }
        EXPECT_GT(waits[0], 5) << "the relay read the protocol";
        if (isOdbc())
            EXPECT_LT(waits[1] - waits[0], (many - few) / 4) << "statements of many rows each";
        else
            EXPECT_EQ(waits[1], waits[0]);
    }
    EXPECT_EQ(cases(), 2 * (few + many));
#endif
}

INSTANTIATE_TEST_SUITE_P(PostgreSQL, RoundTrips,
                         ::testing::Values(TestDb::PostgreSQL, TestDb::OdbcPostgreSQL), dialectName);

}  // namespace
}  // namespace crv::test
