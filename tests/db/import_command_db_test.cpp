// crvxml import in normal mode against a real database, as a scheduled run
// uses it: the saved settings, the switches that override them and the
// database named before the listing.
#include <gtest/gtest.h>

#include <QSqlQuery>
#include <QSqlRecord>

#include "app/suite_root.h"
#include "db/case_lookup.h"
#include "db/connection_string.h"
#include "db/database_fixture.h"
#include "support/golden_support.h"

namespace crv::test {
namespace {

class ImportCommandDb : public DatabaseTest {
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        withSchema();
        writeFile(suite.paths().vex32Ini(), "[vex32]\r\nconnstring=" + connString_ + "\r\n");
        suite.addImportFile("corvestra/completo.xml");
    }
    ProgramRun crvxml(std::vector<std::string> args) const
    {
        args.insert(args.begin() + 1, {"--root", suite.paths().root.string()});
        return runCrvxml(args, "C.UTF-8");
    }
    // One text column of a table, row by row.
    std::vector<std::string> column(const char* table, const char* field)
    {
        auto db = connect();
        QSqlQuery q = db->query(QStringLiteral("SELECT %1 FROM %2 ORDER BY contatore")
                                    .arg(db->quote(QString::fromUtf8(field)), db->quote(QString::fromUtf8(table))));
        std::vector<std::string> out;
        while (q.next()) out.push_back(q.value(0).toString().toStdString());
        return out;
    }
    // Every row of a table, all its fields, in counter order.
    std::vector<std::string> rowsOf(const char* table)
    {
        auto db = connect();
        QSqlQuery q = db->query(QStringLiteral("SELECT * FROM %1 ORDER BY contatore").arg(db->quote(QString::fromUtf8(table))));
        std::vector<std::string> out;
        while (q.next()) {
            std::string row;
            for (int i = 0; i < q.record().count(); ++i) row += q.value(i).toString().toStdString() + "|";
            out.push_back(row);
        }
        return out;
    }
    SuiteFixture suite;
};

TEST_P(ImportCommandDb, ASavedAccessIsOverriddenAndTheDatabaseIsNamed)
{
    ASSERT_EQ(crvxml({"impostazioni", "--access", "--no-test"}).status, 0);
    const ProgramRun local = crvxml({"import", "completo.xml"});
    EXPECT_EQ(local.status, 1);
    EXPECT_NE(local.err.find("Archivio Access NON trovato"), std::string::npos) << local.err;

    const ProgramRun run = crvxml({"import", "--no-access", "completo.xml"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.err.starts_with("Database: " + db::captionText(connString_) + "\n")) << run.err;
    EXPECT_TRUE(run.err.ends_with("\nImportazione Conclusa\n")) << run.err;
    EXPECT_EQ(column("Tabella Pratiche", "posizione").size(), 3u);
    EXPECT_EQ(column("TabellaLottiImp", "NumPratiche"), std::vector<std::string>{"3"});
}

TEST_P(ImportCommandDb, AGarbledSettingsFileCannotOverfillTheBoxesFields)
{
    // A quote never closed: one value, with line ends in it, for every control.
    writeFile(suite.paths().crvXmlIni(), "\"ABCDEFG\r\nXY\r\nZ\r\n 1 \r\n 0 \r\n");
    const ProgramRun run = crvxml({"import", "--no-test", "--no-int-da-file", "completo.xml"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(column("Tabella Pratiche", "tipo mandato"), std::vector<std::string>(3, "ABC"));
    EXPECT_EQ(column("Tabella Pratiche", "tipo intervento"), std::vector<std::string>(3, "ABC"));
    EXPECT_EQ(column("Tabella Pratiche", "situazione affido"), std::vector<std::string>(3, "ABC"));
    EXPECT_EQ(column("TabellaLottiImp", "CodMandante"), std::vector<std::string>{"ABC"});
    EXPECT_EQ(column("TabellaLottiImp", "TipoIntervento"), std::vector<std::string>{"ABC"});
}

// A delivery imported twice is stopped before it writes, forced it is
// written, and its batch taken back leaves the archive as the first run did.
TEST_P(ImportCommandDb, ADeliveryImportedTwiceIsStoppedAndItsBatchCanBeTakenBack)
{
    auto contains = [](const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    };
    // The same cases twice in one file.
    const std::string sample = readFile(dataFile("corvestra/completo.xml"));
    const std::size_t from = sample.find("<PRATICA>"), to = sample.rfind("</PRATICA>") + 10;
    writeFile(suite.paths().importDir() / "doppio.xml",
              sample.substr(0, to) + sample.substr(from, to - from) + sample.substr(to));
    const ProgramRun doubled = crvxml({"import", "--no-test", "doppio.xml"});
    EXPECT_EQ(doubled.status, 1);
    EXPECT_TRUE(contains(doubled.err, "Codici ripetuti nel file: 3 codici, in 6 pratiche")) << doubled.err;
    EXPECT_TRUE(rowsOf("TabellaLottiImp").empty());

    ASSERT_EQ(crvxml({"import", "--no-test", "completo.xml"}).status, 0);
    // A run undone after its batch was opened may have used a number of the
    // server's sequence: the batches are named as the archive numbered them.
    const std::string primo = column("TabellaLottiImp", "contatore").at(0);
    const auto cases = rowsOf("Tabella Pratiche");
    const auto instalments = rowsOf("tabella fatture");
    const ProgramRun again = crvxml({"import", "--no-test", "completo.xml"});
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(contains(again.err, "Pratiche già presenti in archivio: 3 delle 3 pratiche del file "
                                    "(100200300, 100200301, 100200302-LUNGO-CODICE), nel lotto:\n  lotto " + primo + " del "))
        << again.err;
    // The cases were read (and written, then undone) before the question.
    EXPECT_TRUE(contains(again.out, "Importazione annullata: 3 pratiche lette, nessuna scritta")) << again.out;
    EXPECT_TRUE(contains(again.err, "\nPer importarle comunque: crvxml import --anche-gia-presenti\n")) << again.err;
    EXPECT_EQ(rowsOf("Tabella Pratiche"), cases);
    EXPECT_EQ(rowsOf("TabellaLottiImp").size(), 1u);

    // A test run reaches the same verdict, told the same way.
    const ProgramRun test = crvxml({"import", "--test", "completo.xml"});
    EXPECT_EQ(test.status, 1);
    EXPECT_TRUE(contains(test.err, "Pratiche già presenti in archivio: 3 delle 3 pratiche del file "
                                   "(100200300, 100200301, 100200302-LUNGO-CODICE), nel lotto:\n  lotto " + primo + " del "))
        << test.err;
    EXPECT_TRUE(contains(test.err, "\nPer importarle comunque: crvxml import --anche-gia-presenti\n")) << test.err;
    EXPECT_EQ(rowsOf("TabellaLottiImp").size(), 1u);

    ASSERT_EQ(crvxml({"import", "--no-test", "--anche-gia-presenti", "completo.xml"}).status, 0);
    EXPECT_EQ(rowsOf("Tabella Pratiche").size(), 6u);
    const std::string secondo = column("TabellaLottiImp", "contatore").at(1);
    const ProgramRun lotti = crvxml({"lotti"});
    EXPECT_EQ(lotti.status, 0);
    EXPECT_TRUE(contains(lotti.out, "NumPratiche  Pratiche oggi  File\n" + std::string(6 - secondo.size(), ' ') +
                                        secondo + "  "))
        << lotti.out;
    EXPECT_TRUE(lotti.out.ends_with("CRV      MO                    3              3  completo.xml\n")) << lotti.out;

    const ProgramRun shown = crvxml({"annulla-lotto", secondo});
    EXPECT_EQ(shown.status, 0);
    EXPECT_TRUE(contains(shown.out, "Si eliminano:\n  3 pratiche di [Tabella Pratiche]\n  0 rate")) << shown.out;
    EXPECT_EQ(shown.err, "");
    EXPECT_EQ(rowsOf("Tabella Pratiche").size(), 6u);
    const ProgramRun taken = crvxml({"annulla-lotto", secondo, "--conferma"});
    ASSERT_EQ(taken.status, 0) << taken.err;
    EXPECT_EQ(rowsOf("Tabella Pratiche"), cases);
    EXPECT_EQ(rowsOf("tabella fatture"), instalments);
    EXPECT_EQ(column("TabellaLottiImp", "NumPratiche"), (std::vector<std::string>{"3", "0"}));

    // Refused by the archive (exit 1) or not a batch number at all (exit 2,
    // in the program's words: past 2147483647 the database would answer in its own).
    const struct {
        std::string lotto;
        int status;
        std::string says;
    } refused[] = {
        {secondo, 1, "Il lotto " + secondo + " non ha più pratiche in archivio"},
        {"0", 1, "Il lotto 0 non si annulla"},
        {"99", 1, "Lotto 99 non trovato in TabellaLottiImp"},
        {"due", 2, "Il lotto è il suo numero (contatore), un intero da 0 a 2147483647: due"},
        {"2147483648", 2, "Il lotto è il suo numero (contatore), un intero da 0 a 2147483647: 2147483648"},
    };
    for (const auto& r : refused) {
        const ProgramRun run = crvxml({"annulla-lotto", r.lotto, "--conferma"});
        EXPECT_EQ(run.status, r.status) << r.lotto;
        EXPECT_TRUE(contains(run.err, r.says)) << run.err;
    }
    EXPECT_EQ(rowsOf("Tabella Pratiche"), cases);
}

// The suite's own table has no index on posizione: each run says so once,
// with the statement that adds it, and goes on; nothing adds it unasked.
TEST_P(ImportCommandDb, AnArchiveWithoutTheIndexIsNotedOncePerRun)
{
    db_->execute(QStringLiteral("DROP INDEX ix_tabella_pratiche_posizione"));
    const std::string note = "Nota: [Tabella Pratiche] non ha un indice sul campo posizione";
    auto times = [&](const std::string& text) {
        int n = 0;
        for (std::size_t at = 0; (at = text.find(note, at)) != std::string::npos; at += note.size()) ++n;
        return n;
    };
    for (const char* mode : {"--test", "--no-test"}) {
        const ProgramRun run = crvxml({"import", mode, "completo.xml"});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(times(run.err), 1) << mode << ": " << run.err;
        EXPECT_EQ(times(run.out), 0) << mode << ": the listing is the file's";
    }
    auto db = connect();
    EXPECT_EQ(db::posizioneIndicizzata(*db), std::optional<bool>(false));
}

CRV_INSTANTIATE_FOR_DATABASES(ImportCommandDb);

}  // namespace
}  // namespace crv::test
