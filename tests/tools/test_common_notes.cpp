// Common notes to memo against a real SQLite file and PostgreSQL server:
// the rules of the note, a note appended once however often the utility
// runs, the trying run that writes nothing, the count, the filter, and a run
// that fails or is stopped half-way leaving every memo as it was.
#include "tools/common_notes.h"
#include "tools/varie_fixture.h"

namespace crv::test {
namespace {

using tools::Esito;

class CommonNotesTest : public VarieTest {
protected:
    tools::RisultatoVarie run(const tools::FiltroPratiche& boxes = {}, const tools::Avanzamento& progress = {})
    {
        return tools::accodaNoteComuni(db(), boxes, it, progress);
    }

    std::string memo(qint64 contatore)
    {
        const QVariant v = field(contatore, "memo");
        return v.isNull() ? "<null>" : v.toString().toStdString();
    }

    // Many cases with a note each; the database refuses to change the one with counter `failAt`.
    std::vector<qint64> manyCasesFailingAt(int count, int failAtIndex)
    {
        std::vector<qint64> cases;
        db().begin();
        for (int i = 0; i < count; ++i) {
            const QString pos = QStringLiteral("P%1").arg(i);
            cases.push_back(addCase({{"posizione", pos}, {"memo", "memo " + pos}}));
            addNote(pos, "nota " + pos);
        }
        db().commit();
        const QString failing = QString::number(cases[static_cast<std::size_t>(failAtIndex)]);
        if (isPostgres()) {
            db().execute(QStringLiteral("CREATE FUNCTION guasto() RETURNS trigger AS $$ BEGIN "
                                        "IF NEW.contatore = %1 THEN RAISE EXCEPTION 'guasto simulato'; END IF; "
                                        "RETURN NEW; END $$ LANGUAGE plpgsql").arg(failing));
            db().execute(QStringLiteral("CREATE TRIGGER guasto BEFORE UPDATE ON \"Tabella Pratiche\" "
                                        "FOR EACH ROW EXECUTE FUNCTION guasto()"));
        } else {
            db().execute(QStringLiteral("CREATE TRIGGER guasto BEFORE UPDATE ON \"Tabella Pratiche\" "
                                        "WHEN NEW.contatore = %1 BEGIN SELECT RAISE(ABORT, 'guasto simulato'); END")
                             .arg(failing));
        }
        db().forgetTables();
        return cases;
    }
};

TEST_P(CommonNotesTest, TheFirstNoteIsAppendedByTheRulesAndNotAgainOnASecondRun)
{
    const qint64 nullMemo = addCase({{"posizione", "A"}});
    const qint64 withMemo = addCase({{"posizione", "B"}, {"memo", "memo B"}});
    const qint64 twoNotes = addCase({{"posizione", "C"}, {"memo", "memo C"}});
    const qint64 nullNote = addCase({{"posizione", "D"}, {"memo", "memo D"}});
    const qint64 emptyNote = addCase({{"posizione", "E"}, {"memo", "memo E"}});
    const qint64 noNote = addCase({{"posizione", "F"}, {"memo", "memo F"}});
    const qint64 emptyMemo = addCase({{"posizione", "G"}, {"memo", ""}});
    addNote("A", "nota A");
    addNote("B", "nota B");
    addNote("C", "prima C");
    addNote("C", "seconda C");
    addNote("D", null());
    addNote("E", "");
    addNote("G", "nota G");

    const auto first = run();
    ASSERT_EQ(first.esito, Esito::Terminata) << first.messaggi.front();
    EXPECT_EQ(first.pratiche, 7);
    EXPECT_EQ(first.modificate, 5);
    EXPECT_EQ(first.messaggi, std::vector<std::string>{"Elaborazione terminata\nPratiche con la nota comune accodata "
                                                       "al memo: 5 di 7, già accodate: 0"});
    EXPECT_EQ(memo(nullMemo), "nota A");
    EXPECT_EQ(memo(withMemo), "memo B\r\nnota B");
    EXPECT_EQ(memo(twoNotes), "memo C\r\nprima C");
    EXPECT_EQ(memo(nullNote), "memo D");
    EXPECT_EQ(memo(emptyNote), "memo E\r\n");
    EXPECT_EQ(memo(noNote), "memo F");
    EXPECT_EQ(memo(emptyMemo), "\r\nnota G");  // an empty memo is not a Null one

    const auto second = run();
    EXPECT_EQ(second.modificate, 0);
    EXPECT_EQ(second.giaAccodate, 5);
    EXPECT_EQ(second.messaggi, std::vector<std::string>{"Elaborazione terminata\nPratiche con la nota comune "
                                                        "accodata al memo: 0 di 7, già accodate: 5"});
    EXPECT_EQ(memo(nullMemo), "nota A");
    EXPECT_EQ(memo(twoNotes), "memo C\r\nprima C");
    EXPECT_EQ(memo(emptyNote), "memo E\r\n");
}

TEST_P(CommonNotesTest, AMemoThatEndsWithItsNoteIsLeftAndTheTryingRunSaysSoFirst)
{
    struct Row {
        const char* memo;   // before (nullptr: Null)
        const char* note;
        const char* after;  // after the run: the memo unchanged when the note is there already
    };
    const Row rows[] = {
        {"nota", "nota", "nota"},                             // the note alone
        {"testo\r\nnota", "nota", "testo\r\nnota"},           // after a line end
        {"testo\nnota", "nota", "testo\nnota"},                 // after a bare line feed
        {"testo\r\nnota\r\n", "nota", "testo\r\nnota\r\n"},     // a line end after it
        {"testo\r\nnota  ", "nota", "testo\r\nnota  "},         // blanks after it
        {"testo\r\nnota", "nota\r\n", "testo\r\nnota"},         // the note's own line end
        {"testo\r\n", "", "testo\r\n"},                         // an empty note, appended before
        {"testo\r\n  ", "  ", "testo\r\n  "},                   // a note of blanks alone
        {"testo nota", "nota", "testo nota\r\nnota"},           // not on a line of its own
        {"nota\r\naltro", "nota", "nota\r\naltro\r\nnota"},       // written over since
        {"testo\r\nNOTA", "nota", "testo\r\nNOTA\r\nnota"},       // another case of letters
        {"testo", "", "testo\r\n"},                             // an empty note still adds a line end
        {"testo", "  ", "testo\r\n  "},
        {nullptr, "nota", "nota"},
    };
    std::vector<qint64> cases;
    long appended = 0;
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const QString pos = QStringLiteral("P%1").arg(i);
        cases.push_back(addCase({{"posizione", pos},
                                 {"memo", rows[i].memo ? QVariant(QString::fromUtf8(rows[i].memo)) : null()}}));
        addNote(pos, QString::fromUtf8(rows[i].note));
        if (!rows[i].memo || std::string(rows[i].memo) != rows[i].after) ++appended;
    }
    const long already = static_cast<long>(std::size(rows)) - appended;

    const auto trying = tools::accodaNoteComuni(db(), {}, it, {}, tools::ModoNote::Prova);
    ASSERT_EQ(trying.esito, Esito::Terminata) << trying.messaggi.front();
    EXPECT_EQ(trying.modificate, appended);
    EXPECT_EQ(trying.giaAccodate, already);
    EXPECT_EQ(trying.messaggi, std::vector<std::string>{"Prova terminata: nessun memo modificato\nPratiche a cui si "
                                                        "accoderebbe la nota comune: " +
                                                        std::to_string(appended) + " di " +
                                                        std::to_string(std::size(rows)) + ", già accodate: " +
                                                        std::to_string(already)});
    for (std::size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(memo(cases[i]), rows[i].memo ? rows[i].memo : "<null>") << "row " << i << ": nothing written";

    const auto done = run();
    EXPECT_EQ(done.modificate, appended);
    EXPECT_EQ(done.giaAccodate, already);
    for (std::size_t i = 0; i < std::size(rows); ++i) EXPECT_EQ(memo(cases[i]), rows[i].after) << "row " << i;
}

TEST_P(CommonNotesTest, TheFirstNoteIsTheFirstEnteredWhateverIndexTheSuiteHas)
{
    // An index that hands a case's notes back in the reverse order of their text,
    // and (PostgreSQL) a planner that reads through it.
    db().execute(QStringLiteral("CREATE INDEX ix_note_testo ON notecomuni (posizione, ") +
                 db().quote(QStringLiteral("note comuni")) + QStringLiteral(" DESC)"));
    if (isPostgres()) {
        db().execute(QStringLiteral("SET enable_seqscan = off"));
        db().execute(QStringLiteral("SET enable_bitmapscan = off"));
    }
    const qint64 c = addCase({{"posizione", "A"}});
    addNote("A", "a, la prima");
    addNote("A", "z, la seconda");
    addNote("A", "m, la terza");
    ASSERT_EQ(run().modificate, 1);
    EXPECT_EQ(memo(c), "a, la prima");
}

TEST_P(CommonNotesTest, TheDatabaseFindsTheNoteWhereItsColumnIgnoresCaseOrTrailingBlanks)
{
    // A notes key that compares as an Access or SQL Server column does:
    // without regard to case (SQLite's NOCASE, an ICU collation on
    // PostgreSQL) and, on PostgreSQL, as char(n), which hands it back padded.
    if (isPostgres()) {
        db().execute(QStringLiteral("CREATE COLLATION ci (provider = icu, locale = 'und-u-ks-level2', "
                                    "deterministic = false)"));
        db().execute(QStringLiteral("ALTER TABLE notecomuni ALTER COLUMN posizione TYPE char(20) COLLATE ci"));
    } else {
        db().execute(QStringLiteral("DROP TABLE notecomuni"));
        db().execute(QStringLiteral("CREATE TABLE notecomuni (posizione varchar(50) COLLATE NOCASE, "
                                    "\"note comuni\" text)"));
    }
    db().forgetTables();
    struct Row {
        const char* posizione;
        const char* notaDi;  // the key the note was entered under, or nullptr
        const char* memo;    // the memo afterwards
    };
    const Row rows[] = {
        {"abc", "ABC", "nota ABC"},
        {"ABC", nullptr, "nota ABC"},  // the same note: the database finds it for both
        {"P1", "P1", "nota P1"},
        {"abd", nullptr, "<null>"},
    };
    std::vector<qint64> cases;
    for (const Row& r : rows) {
        cases.push_back(addCase({{"posizione", r.posizione}}));
        if (r.notaDi) addNote(r.notaDi, QStringLiteral("nota ") + r.notaDi);
    }
    EXPECT_EQ(run().modificate, 3);
    for (std::size_t i = 0; i < std::size(rows); ++i) EXPECT_EQ(memo(cases[i]), rows[i].memo) << rows[i].posizione;
}

TEST_P(CommonNotesTest, OnlyTheChosenCasesChange)
{
    const qint64 inBatch = addCase({{"posizione", "A"}, {"lottoimportazione", 7}, {"tipo mandato", "CRV"}});
    const qint64 otherBatch = addCase({{"posizione", "B"}, {"lottoimportazione", 8}, {"tipo mandato", "CRV"}});
    addNote("A", "nota A");
    addNote("B", "nota B");
    EXPECT_EQ(run({.mandato = "CRV", .lotto = "7"}).modificate, 1);
    EXPECT_EQ(memo(inBatch), "nota A");
    EXPECT_EQ(memo(otherBatch), "<null>");

    const auto none = run({.lotto = "9"});
    EXPECT_EQ(none.esito, Esito::NessunaPratica);
    EXPECT_EQ(none.messaggi, std::vector<std::string>{"Nessuna pratica trovata"});
    EXPECT_EQ(run({.lotto = "sette"}).esito, Esito::FiltroNonValido);
}

TEST_P(CommonNotesTest, AFailureHalfWayLeavesEveryMemoAsItWas)
{
    // The failing case is in the third chunk of cases read.
    const auto cases = manyCasesFailingAt(1200, 1100);
    const auto r = run();
    EXPECT_EQ(r.esito, Esito::Errore);
    ASSERT_EQ(r.messaggi.size(), 1u);
    EXPECT_NE(r.messaggi[0].find("contatore " + std::to_string(cases[1100])), std::string::npos) << r.messaggi[0];
    EXPECT_NE(r.messaggi[0].find("guasto simulato"), std::string::npos) << r.messaggi[0];
    EXPECT_TRUE(r.messaggi[0].ends_with("Nessun memo modificato")) << r.messaggi[0];
    EXPECT_EQ(memo(cases[0]), "memo P0");
    EXPECT_EQ(memo(cases[1099]), "memo P1099");
    // The connection is still usable, and a run without the fault appends once.
    db().execute(QStringLiteral("DROP TRIGGER guasto") + (isPostgres() ? QStringLiteral(" ON \"Tabella Pratiche\"") : QString()));
    EXPECT_EQ(run().modificate, 1200);
    EXPECT_EQ(memo(cases[0]), "memo P0\r\nnota P0");
}

TEST_P(CommonNotesTest, AStopHalfWayLeavesEveryMemoAsItWas)
{
    const auto cases = manyCasesFailingAt(600, 599);  // the fault is never reached
    const auto r = run({}, [](long done, long) { return done < 550; });
    EXPECT_EQ(r.esito, Esito::Interrotta);
    EXPECT_EQ(r.messaggi, std::vector<std::string>{"Elaborazione interrotta: nessun memo modificato"});
    EXPECT_EQ(memo(cases[0]), "memo P0");
    EXPECT_EQ(memo(cases[549]), "memo P549");
}

TEST_P(CommonNotesTest, AStopAfterTheLastCaseLeavesEveryMemoAsItWas)
{
    const qint64 first = addCase({{"posizione", "P1"}, {"memo", "memo P1"}});
    const qint64 second = addCase({{"posizione", "P2"}});
    addNote("P1", "nota P1");
    addNote("P2", "nota P2");
    // Every case goes on; the stop comes before the memos are committed.
    const auto r = run({}, [calls = 0L](long, long total) mutable { return ++calls <= total; });
    EXPECT_EQ(r.esito, Esito::Interrotta);
    EXPECT_EQ(r.messaggi, std::vector<std::string>{"Elaborazione interrotta: nessun memo modificato"});
    EXPECT_EQ(memo(first), "memo P1");
    EXPECT_EQ(memo(second), "<null>");
}

CRV_INSTANTIATE_FOR_DATABASES(CommonNotesTest);

}  // namespace
}  // namespace crv::test
