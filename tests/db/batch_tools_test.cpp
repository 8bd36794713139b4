// The archive's own comparison of case codes, the batches listed, and a
// batch taken back: exactly its rows go, in one transaction, or none.
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include <QSqlQuery>
#include <QSqlRecord>

#include "db/batch_removal.h"
#include "db/batches.h"
#include "db/case_lookup.h"
#include "db/database_fixture.h"
#include "import/already_imported.h"
#include "import/case_writer.h"
#include "support/golden_support.h"

namespace crv::test {
namespace {

using Found = std::set<std::tuple<std::size_t, qint64, qint64>>;  // code, batch (-1: Null), rows

class BatchTools : public DatabaseTest {
protected:
    // Every row of the four tables, one text per row, in counter order; with
    // `except`, those of that batch left out.
    std::vector<std::string> dump(db::Database& database, qint64 except = -1)
    {
        const QString batchCases = QStringLiteral("(SELECT contatore FROM \"Tabella Pratiche\" WHERE lottoimportazione = ?)");
        const std::pair<const char*, QString> tables[] = {
            {"Tabella Pratiche", QStringLiteral("lottoimportazione IS NULL OR lottoimportazione <> ?")},
            {"tabella fatture", QStringLiteral("conta NOT IN ") + batchCases},
            {"TabellaLottiImp", QStringLiteral("contatore <> ?")},
            {"notecomuni", QString()}};
        std::vector<std::string> out;
        for (const auto& [table, where] : tables) {
            QSqlQuery q = database.query(QStringLiteral("SELECT * FROM %1 %2 ORDER BY 1, 2")
                                             .arg(database.quote(QString::fromLatin1(table)),
                                                  where.isEmpty() ? where : QStringLiteral("WHERE ") + where),
                                         where.isEmpty() ? QVariantList() : QVariantList{except});
            while (q.next()) {
                std::string row = table;
                for (int i = 0; i < q.record().count(); ++i) row += "|" + q.value(i).toString().toStdString();
                out.push_back(row);
            }
        }
        return out;
    }
    qint64 addCase(db::Database& database, qint64 lotto, const char* code, int instalments)
    {
        const qint64 key = database.insert(QStringLiteral("Tabella Pratiche"),
                                           {{QStringLiteral("posizione"), QString::fromUtf8(code)},
                                            {QStringLiteral("lottoimportazione"), lotto}});
        for (int i = 0; i < instalments; ++i)
            database.insert(QStringLiteral("tabella fatture"),
                            {{QStringLiteral("conta"), key}, {QStringLiteral("numero fattura"), QString::number(i)}});
        return key;
    }
    // Two batches of cases with instalments, a common note, and a case of a third batch.
    std::vector<qint64> twoBatches(db::Database& database)
    {
        const qint64 a = db::AddLotto(database, QDate(2026, 12, 7), QDate(2027, 1, 6), "CRV", "MO");
        const qint64 b = db::AddLotto(database, QDate(2026, 12, 8), QDate(2027, 1, 7), "DEZ", "PF");
        addCase(database, a, "P1", 2);
        addCase(database, b, "P1", 1);
        addCase(database, a, "P2", 0);
        database.execute(QStringLiteral("INSERT INTO notecomuni (posizione, \"note comuni\") VALUES ('P1', 'nota')"));
        db::SalvaNumPratiche(database, a, 2);
        return {a, b};
    }
};

TEST_P(BatchTools, CodesAreComparedAsTheColumnCompares)
{
    const bool pg = isPostgres();
    auto database = connect();
    if (pg) {
        // citext is shared by the whole database: made once, by whichever test gets there first.
        try {
            database->execute(QStringLiteral("CREATE EXTENSION IF NOT EXISTS citext SCHEMA public"));
        } catch (const db::DbError&) {
        }
        // Its operators are found through the search path, as the suite's own statements find them.
        database->execute(QStringLiteral("SET search_path TO %1, public").arg(database->quote(QString::fromStdString(schema_))));
        database->execute(QStringLiteral("CREATE COLLATION senza_maiuscole (provider = icu, "
                                         "locale = 'und-u-ks-level2', deterministic = false)"));
    }
    // Codes 0-599 are not in the table; those that follow straddle no boundary
    // of the statements on purpose: the first is the 601st code.
    std::vector<QString> codes;
    for (int i = 0; i < 600; ++i) codes.push_back(QStringLiteral("X%1").arg(i));
    for (const char* code : {"AB-1", "ab-1", "CD-2", "CD-2 "}) codes.push_back(QString::fromLatin1(code));
    const Found exact = {{600, 1, 1}, {600, 2, 2}, {602, -1, 1}};
    const Found ignoringCase = {{600, 1, 1}, {600, 2, 2}, {601, 1, 1}, {601, 2, 2}, {602, -1, 1}};
    const Found ignoringBlanks = {{600, 1, 1}, {600, 2, 2}, {602, -1, 1}, {603, -1, 1}};
    const struct {
        const char* sqliteType;
        const char* pgType;
        Found expected;
    } columns[] = {
        {"VARCHAR(50)", "VARCHAR(50)", exact},
        {"VARCHAR(50) COLLATE NOCASE", "public.citext", ignoringCase},
        {"VARCHAR(50) COLLATE NOCASE", "VARCHAR(50) COLLATE senza_maiuscole", ignoringCase},
        {"VARCHAR(50) COLLATE RTRIM", "CHAR(12)", ignoringBlanks},
    };
    // The archive as the suite has it (no index on posizione) and as init-db
    // makes it find the same; a run's own batch (2) can be left out.
    auto without = [](const Found& all, qint64 lotto) {
        Found kept;
        for (const auto& entry : all)
            if (std::get<1>(entry) != lotto) kept.insert(entry);
        return kept;
    };
    for (const auto& column : columns) {
        for (const bool indexed : {true, false}) {
            SCOPED_TRACE(std::string(pg ? column.pgType : column.sqliteType) + (indexed ? ", index" : ", no index"));
            database->execute(QStringLiteral("DROP TABLE IF EXISTS \"Tabella Pratiche\""));
            database->forgetTables();
            database->execute(QStringLiteral("CREATE TABLE \"Tabella Pratiche\" (contatore INTEGER PRIMARY KEY, "
                                             "posizione %1, lottoimportazione INTEGER)")
                                  .arg(QString::fromLatin1(pg ? column.pgType : column.sqliteType)));
            if (indexed)
                database->execute(QStringLiteral("CREATE INDEX ix_posizione ON \"Tabella Pratiche\" (posizione)"));
            database->execute(QStringLiteral("INSERT INTO \"Tabella Pratiche\" VALUES (1, 'AB-1', 1), (2, 'AB-1', 2), "
                                             "(3, 'AB-1', 2), (4, 'CD-2', NULL), (5, 'ZZ', 1)"));
            EXPECT_EQ(db::posizioneIndicizzata(*database), std::optional<bool>(indexed));
            for (const std::optional<qint64> escluso : {std::optional<qint64>(), std::optional<qint64>(2)}) {
                Found found;
                for (const auto& t : db::cercaPosizioni(*database, codes, escluso))
                    found.emplace(t.indice, t.lotto.value_or(-1), t.righe);
                EXPECT_EQ(found, escluso ? without(column.expected, *escluso) : column.expected);
            }
        }
    }
}

// A code with the characters a statement or its JSON could trip on is looked
// up as written, and the check of a run tells once that the index is missing.
TEST_P(BatchTools, OddCodesAndTheNoteAboutAMissingIndex)
{
    auto& database = withSchema();
    const QString odd[] = {QStringLiteral("A\"B"), QStringLiteral("C\\D"), QStringLiteral("E'F"),
                           QStringLiteral("G\tH"), QStringLiteral("Ü-ß €"), QStringLiteral("[\"]")};
    for (int i = 0; i < 6; ++i) addCase(database, i + 1, odd[i].toUtf8().constData(), 0);
    CodiciFile codici;
    for (const QString& code : odd) codici.aggiungi(code.toStdString());
    codici.aggiungi(std::string("assente"));
    GiaPresenti fatti = giaPresenti(database, codici);
    EXPECT_EQ(fatti.presenti, 6);
    EXPECT_EQ(fatti.lotti.size(), 6u);
    EXPECT_EQ(fatti.avvisoIndice, "");

    database.execute(QStringLiteral("DROP INDEX ix_tabella_pratiche_posizione"));
    database.forgetTables();
    fatti = giaPresenti(database, codici, 6);
    EXPECT_EQ(fatti.presenti, 5);
    EXPECT_EQ(fatti.avvisoIndice,
              "Nota: [Tabella Pratiche] non ha un indice sul campo posizione, e la ricerca delle pratiche già presenti "
              "legge ogni volta tutta la tabella. Chi amministra il database può aggiungerlo una volta per tutte con: "
              "CREATE INDEX \"ix_tabella_pratiche_posizione\" ON \"Tabella Pratiche\" (\"posizione\")");
}

// Inside a run's transaction, its own rows already handed to the writer,
// the check can leave the run's batch out and still sees the others.
TEST_P(BatchTools, ARunsOwnBatchIsLeftOutInsideItsTransaction)
{
    auto& database = withSchema();
    addCase(database, db::AddLotto(database, QDate(2026, 12, 7), QDate(2027, 1, 6), "CRV", "MO"), "P1", 0);
    SuiteFixture suite;
    RunParams params = suite.testParams("nessuno.xml");
    params.soloTest = false;
    const Regional it = Regional::italian();
    DbCaseStore store(connect(), params, it);
    store.begin({});
    const std::int64_t lotto = store.AddLotto(params);
    for (const char* code : {"P1", "P2"}) {
        Case values;
        values.CodicePratica = code;
        store.ScriviPratica(values, "");
    }
    CodiciFile codici;
    for (const char* code : {"P1", "P2", "P3"}) codici.aggiungi(std::string(code));
    const GiaPresenti all = giaPresenti(store.database(), codici);
    EXPECT_EQ(all.presenti, 2);
    EXPECT_EQ(all.lotti.size(), 2u);
    const GiaPresenti others = giaPresenti(store.database(), codici, lotto);
    EXPECT_EQ(others.presenti, 1);
    ASSERT_EQ(others.lotti.size(), 1u);
    EXPECT_NE(others.lotti[0].lotto, std::optional<std::int64_t>(lotto));
    store.commit();
}

TEST_P(BatchTools, ABatchTakenBackLosesExactlyItsRows)
{
    auto& database = withSchema();
    const auto lotti = twoBatches(database);
    const qint64 a = lotti[0], b = lotti[1];

    const auto listed = db::elencoLotti(database);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].contatore, b);  // newest first
    EXPECT_EQ(listed[0].praticheOggi, 1);
    EXPECT_FALSE(listed[0].numPratiche.has_value());
    EXPECT_EQ(listed[1].codMandante, "CRV");
    EXPECT_EQ(listed[1].dataAffido, QDate(2026, 12, 7));
    EXPECT_EQ(listed[1].praticheOggi, 2);
    EXPECT_EQ(db::elencoLotti(database, 1).size(), 1u);

    const db::ContenutoLotto shown = db::esaminaLotto(database, a);
    EXPECT_EQ(std::make_pair(shown.pratiche, shown.rate), std::make_pair(qint64{2}, qint64{2}));
    const std::vector<std::string> others = dump(database, a);

    const auto removed = db::annullaLotto(database, a);
    ASSERT_TRUE(removed);
    EXPECT_EQ(std::make_pair(removed->pratiche, removed->rate), std::make_pair(qint64{2}, qint64{2}));
    EXPECT_EQ(dump(database, a), others) << "the other batch, its instalments and the common notes untouched";
    EXPECT_EQ(dump(database).size(), others.size() + 1) << "of batch " << a << " only its row stays";
    const auto row = db::leggiLotto(database, a);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->numPratiche, 0);
    EXPECT_EQ(row->codMandante, "CRV");

    const struct {
        qint64 lotto;
        const char* reason;
    } refusals[] = {{0, "Il lotto 0 non si annulla"}, {b + 10, "non trovato"}, {a, "non ha più pratiche"}};
    for (const auto& r : refusals) {
        try {
            db::esaminaLotto(database, r.lotto);
            ADD_FAILURE() << r.lotto << " accepted";
        } catch (const db::LottoRifiutato& refusal) {
            EXPECT_NE(std::string(refusal.what()).find(r.reason), std::string::npos) << refusal.what();
        }
    }
}

TEST_P(BatchTools, AFailureOrAStopHalfWayLeavesEveryRow)
{
    auto& database = withSchema();
    const qint64 a = twoBatches(database)[0];
    const std::vector<std::string> before = dump(database);

    // Stopped after the instalments went, before the cases.
    int asked = 0;
    EXPECT_FALSE(db::annullaLotto(database, a, [&] { return ++asked < 2; }));
    EXPECT_EQ(dump(database), before);

    // A trigger refuses the second case: the instalments and the first case come back.
    if (isPostgres()) {
        database.execute(QStringLiteral("CREATE FUNCTION rifiuta() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                                        "IF OLD.posizione = 'P2' THEN RAISE EXCEPTION 'pratica protetta'; END IF; "
                                        "RETURN OLD; END $$"));
        database.execute(QStringLiteral("CREATE TRIGGER rifiuta BEFORE DELETE ON \"Tabella Pratiche\" "
                                        "FOR EACH ROW EXECUTE FUNCTION rifiuta()"));
    } else {
        database.execute(QStringLiteral("CREATE TRIGGER rifiuta BEFORE DELETE ON \"Tabella Pratiche\" "
                                        "WHEN OLD.posizione = 'P2' BEGIN SELECT RAISE(ABORT, 'pratica protetta'); END"));
    }
    try {
        db::annullaLotto(database, a);
        ADD_FAILURE() << "the trigger did not stop it";
    } catch (const db::DbError& error) {
        EXPECT_NE(std::string(error.what()).find("pratica protetta"), std::string::npos) << error.what();
    }
    EXPECT_EQ(dump(database), before);
}

CRV_INSTANTIATE_FOR_DATABASES(BatchTools);

}  // namespace
}  // namespace crv::test
