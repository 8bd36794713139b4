// The import dispatch and the run on its worker thread: confirmation, the
// listing and counters, a normal run checked in the database, the stop
// button, the buttons during a run and the run flags.
#include <csignal>
#include <filesystem>
#include <map>
#include <sstream>
#include <tuple>

#include <unistd.h>

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QSqlQuery>
#include <QTest>

#include "app/registro.h"
#include "db/connection_string.h"
#include "db/database.h"
#include "window/listing_view.h"
#include "window_fixture.h"

namespace crv::test {
namespace {

// The listing part of an expected file (everything before the counters),
// made without an archive: a window's test run checks against its own, and
// does not say that it checked the file alone.
QStringList expectedListing(const std::string& relative)
{
    std::istringstream in(readFile(dataFile(relative)));
    QStringList lines;
    std::string line;
    while (std::getline(in, line) && line.rfind("Pratiche importate:", 0) != 0)
        if (!line.starts_with("Prova sul solo file")) lines.push_back(QString::fromStdString(line));
    return lines;
}

// A Corvestra delivery with the cases of completo.xml repeated `copies`
// times, each copy's codes made its own (a delivery repeats no code).
std::string manyCases(int copies)
{
    const std::string sample = readFile(dataFile("corvestra/completo.xml"));
    const std::size_t from = sample.find("  <PRATICA>");
    const std::size_t to = sample.rfind("</PRATICA>") + std::string("</PRATICA>\n").size();
    const std::string tag = "<CODICE_PRATICA>";
    std::string out = sample.substr(0, from);
    for (int i = 0; i < copies; ++i) {
        std::string copy = sample.substr(from, to - from);
        for (std::size_t at = 0; (at = copy.find(tag + "1", at)) != std::string::npos; at += tag.size())
            copy.insert(at + tag.size(), std::to_string(i) + "-");
        out += copy;
    }
    return out + sample.substr(to);
}

class Import : public WindowTest {
protected:
    void uncheck(const char* name) const
    {
        auto* const box = find<QCheckBox>(name);
        if (box->isChecked()) QTest::mouseClick(box, Qt::LeftButton);
    }
    // Starts a normal run of 4,000 cases, answering Yes, and leaves it going.
    void startALongNormalRun()
    {
        writeFile(suite.paths().importDir() / "grande.xml", manyCases(4000));
        ASSERT_TRUE(start());
        uncheck("ChkSoloTest");
        selectFile(QStringLiteral("grande.xml"));
        answers.answerNext(QMessageBox::Yes);
        click("Cmd_Importa_0");
        ASSERT_TRUE(window->importInCorso());
    }
};

TEST_F(Import, TheQuestionNamesTheFileAndWhatTheRunWillDoAndNoDoesNothing)
{
    const std::string file = suite.addImportFile("corvestra/completo.xml");
    ASSERT_TRUE(start());
    selectFile(QString::fromStdString(file));
    QList<QMessageBox::Icon> icons;
    answers.onShown = [&](QMessageBox& box) { icons.push_back(box.icon()); };
    const QString prova = QStringLiteral("Confermi importazione?\ncompleto.xml — prova: l'archivio non sarà modificato");
    const QString normale = QStringLiteral("Confermi importazione?\ncompleto.xml — importazione nell'archivio");
    for (const auto& [soloTest, button, question] : {std::tuple{true, "Cmd_Importa_0", prova},
                                                     std::tuple{true, "Cmd_Importa_1", prova},
                                                     std::tuple{false, "Cmd_Importa_0", normale},
                                                     std::tuple{false, "Cmd_Importa_1", normale}}) {
        find<QCheckBox>("ChkSoloTest")->setChecked(soloTest);
        importWith(button, QMessageBox::No);
        EXPECT_EQ(answers.texts().last(), question) << button;
        EXPECT_EQ(answers.lastDefault(), QMessageBox::No);
    }
    EXPECT_EQ(icons, QList<QMessageBox::Icon>(4, QMessageBox::Question));
    EXPECT_TRUE(listing().isEmpty());
    EXPECT_FALSE(window->ModoDocumento()) << "the flag is set only on Yes";
    EXPECT_EQ(suite.rowCount("TabellaLottiImp"), 0);
}

TEST_F(Import, OnlyATestRunThatRanSaysTheArchiveIsUnchanged)
{
    const std::string file = suite.addImportFile("corvestra/completo.xml");
    ASSERT_TRUE(start());
    selectFile(QString::fromStdString(file));
    auto* const stato = find<QStatusBar>("Stato");
    importWith("Cmd_Importa_0");
    EXPECT_EQ(answers.texts().last(), QStringLiteral("Importazione Conclusa"));
    EXPECT_EQ(scheda(5)->text(), QStringLiteral("3"));
    EXPECT_EQ(stato->currentMessage(), QStringLiteral("Prova: l'archivio non è stato modificato"));

    uncheck("ChkSoloTest");
    importWith("Cmd_Importa_0");
    EXPECT_EQ(answers.texts().last(), QStringLiteral("Importazione Conclusa"));
    EXPECT_EQ(stato->currentMessage(), QString()) << "a normal run wrote the archive";
    const QStringList written = listing();

    // A test run that cannot start says nothing of the archive, and leaves
    // the last run's listing with its counters.
    QTest::mouseClick(find<QCheckBox>("ChkSoloTest"), Qt::LeftButton);
    scheda(3)->clear();
    importWith("Cmd_Importa_0");
    EXPECT_EQ(answers.texts().last(), QStringLiteral("Inserire Tipo Intervento"));
    EXPECT_EQ(stato->currentMessage(), QString());
    EXPECT_EQ(listing(), written);
    EXPECT_EQ(scheda(5)->text(), QStringLiteral("3"));
    EXPECT_EQ(scheda(9)->text(), QStringLiteral("1"));
}

TEST_F(Import, TestRunListsEveryCaseWithItsMemo)
{
    const std::string file = suite.addImportFile("corvestra/completo.xml");
    ASSERT_TRUE(start());
    selectFile(QString::fromStdString(file));
    QList<bool> stopOffered;
    answers.onShown = [&](QMessageBox&) { stopOffered.push_back(find<QPushButton>("Cmd_Interrompi")->isEnabled()); };
    importWith("Cmd_Importa_0");
    EXPECT_EQ(stopOffered, (QList<bool>{false, false})) << "nothing to stop while a message of the run shows";
    ASSERT_EQ(answers.texts().size(), 2);
    EXPECT_EQ(answers.texts()[1], QStringLiteral("Importazione Conclusa"));
    EXPECT_EQ(listing(), expectedListing("corvestra/completo.expected"));
    EXPECT_EQ(scheda(5)->text(), QStringLiteral("3"));
    EXPECT_EQ(scheda(6)->text(), QStringLiteral("1.222,06"));
    EXPECT_EQ(scheda(7)->text(), QStringLiteral("45,10"));
    EXPECT_EQ(scheda(8)->text(), QStringLiteral("1.000.020,00"));
    EXPECT_TRUE(scheda(9)->text().isEmpty()) << "a test run opens no batch";
    auto* const progress = find<QProgressBar>("ProgressBar1");
    // The bar follows the file read, and is full when the run is done.
    EXPECT_GT(progress->maximum(), 3);
    EXPECT_EQ(progress->value(), progress->maximum());
    EXPECT_EQ(suite.rowCount("Tabella Pratiche"), 0);
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(find<QPushButton>("Cmd_Importa_0")->isEnabled());
}

TEST_F(Import, NormalRunWritesTheCasesAndTheBatch)
{
    const std::string file = suite.addImportFile("corvestra/completo.xml");
    ASSERT_TRUE(start());
    uncheck("ChkSoloTest");
    uncheck("chkDettagli");
    selectFile(QString::fromStdString(file));
    importWith("Cmd_Importa_0");
    EXPECT_EQ(answers.texts().last(), QStringLiteral("Importazione Conclusa"));
    EXPECT_EQ(listing().size(), 4) << "the header and one line per case, without memo";
    EXPECT_EQ(scheda(5)->text(), QStringLiteral("3"));
    EXPECT_EQ(scheda(6)->text(), QStringLiteral("1.222,06"));

    auto database = db::Database::open(db::parseConnString(db::sqliteConnString(suite.database().string())));
    QSqlQuery batch = database->query(QStringLiteral("SELECT contatore, NumPratiche FROM TabellaLottiImp"));
    ASSERT_TRUE(batch.next());
    EXPECT_EQ(scheda(9)->text(), batch.value(0).toString());
    EXPECT_EQ(batch.value(1).toInt(), 3);
    EXPECT_FALSE(batch.next());
    QSqlQuery cases = database->query(
        QStringLiteral("SELECT posizione, lottoimportazione, \"tipo mandato\" FROM \"Tabella Pratiche\" ORDER BY contatore"));
    QStringList codes;
    while (cases.next()) {
        codes.push_back(cases.value(0).toString());
        EXPECT_EQ(cases.value(1).toString(), scheda(9)->text());
        EXPECT_EQ(cases.value(2).toString(), QStringLiteral("CRV"));
    }
    EXPECT_EQ(codes, (QStringList{"100200300", "100200301", "100200302-LUNGO-CODICE"}));
}

TEST_F(Import, StopEndsTheRunWithNothingWritten)
{
    ASSERT_NO_FATAL_FAILURE(startALongNormalRun());
    // While it runs no second run can start and the wait cursor shows.
    for (const char* button : {"Cmd_Importa_0", "Cmd_Importa_1", "Cmd_Importa_2", "Cmd_Importa_3"})
        EXPECT_FALSE(find<QPushButton>(button)->isEnabled()) << button;
    EXPECT_FALSE(find<QPushButton>("cmd_Varie_1")->isEnabled());
    EXPECT_TRUE(find<QPushButton>("Cmd_Interrompi")->isEnabled());
    EXPECT_TRUE(waitFor([this] { return window->cursor().shape() == Qt::WaitCursor || !window->importInCorso(); }));
    EXPECT_EQ(window->cursor().shape(), Qt::WaitCursor);
    // The window keeps answering: the listing grows while the run goes on.
    EXPECT_TRUE(waitFor([this] { return listing().size() > 100 || !window->importInCorso(); }));
    EXPECT_TRUE(window->importInCorso()) << "the run ended before it could be stopped";

    click("Cmd_Interrompi");
    EXPECT_TRUE(waitFor([this] { return !window->importInCorso(); }));
    ASSERT_EQ(answers.texts().size(), 2);
    EXPECT_TRUE(answers.texts()[1].startsWith(QStringLiteral("Importazione interrotta dall'operatore alla pratica n. ")))
        << answers.texts()[1].toStdString();
    EXPECT_EQ(window->ultimoRisultato().outcome, RunOutcome::Stopped);
    EXPECT_EQ(suite.rowCount("Tabella Pratiche"), 0);
    EXPECT_EQ(suite.rowCount("TabellaLottiImp"), 0);
    EXPECT_TRUE(scheda(9)->text().isEmpty());
    // Nothing written: the counters and the progress bar say so together.
    EXPECT_EQ(scheda(5)->text(), QStringLiteral("0"));
    EXPECT_EQ(find<QProgressBar>("ProgressBar1")->value(), 0);
    EXPECT_TRUE(find<QPushButton>("Cmd_Importa_0")->isEnabled());
    EXPECT_FALSE(find<QPushButton>("Cmd_Interrompi")->isEnabled());
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
}

// Another operator's import holds the archive: the run says on the status
// line that it waits; Interrompi ends the wait at once with nothing written,
// and a run let through once the other is over finds nothing in its way.
TEST_F(Import, ARunWaitingForAnotherImportSaysSoAndStopsAtOnce)
{
    const std::string file = suite.addImportFile("corvestra/completo.xml");
    ASSERT_TRUE(start());
    uncheck("ChkSoloTest");
    selectFile(QString::fromStdString(file));
    auto* const stato = find<QStatusBar>("Stato");
    for (const bool stop : {true, false}) {
        SCOPED_TRACE(stop ? "Interrompi" : "let through");
        const auto holder = holdArchive();
        answers.answerNext(QMessageBox::Yes);
        click("Cmd_Importa_0");
        EXPECT_TRUE(saysItWaits([this] { return window->importInCorso(); }));
        ASSERT_TRUE(window->importInCorso()) << answers.texts().last().toStdString();
        EXPECT_TRUE(find<QPushButton>("Cmd_Interrompi")->isEnabled());
        if (stop) {
            click("Cmd_Interrompi");
            EXPECT_TRUE(waitFor([this] { return !window->importInCorso(); })) << "still waiting for the other import";
            EXPECT_EQ(window->ultimoRisultato().outcome, RunOutcome::Stopped);
            EXPECT_TRUE(answers.texts().last().startsWith(QStringLiteral("Importazione interrotta dall'operatore.")))
                << answers.texts().last().toStdString();
            holder->rollback();
            EXPECT_EQ(suite.rowCount("Tabella Pratiche"), 0);
        } else {
            holder->rollback();
            EXPECT_TRUE(waitFor([this] { return !window->importInCorso(); }));
            EXPECT_EQ(answers.texts().last(), QStringLiteral("Importazione Conclusa"));
            EXPECT_EQ(suite.rowCount("Tabella Pratiche"), 3);
        }
        EXPECT_TRUE(stato->currentMessage().isEmpty()) << stato->currentMessage().toStdString();
    }
}

TEST_F(Import, TheListingFollowsTheLastLineUnlessScrolledUp)
{
    ASSERT_NO_FATAL_FAILURE(startALongNormalRun());
    auto* const list = find<window::ListingView>("List1");
    const auto atTheEndAfterMoreLines = [&] {
        const std::int64_t target = list->lineCount() + 100;
        EXPECT_TRUE(waitFor([&] { return list->lineCount() >= target && window->importInCorso(); }));
        return list->verticalScrollBar()->value() == list->verticalScrollBar()->maximum();
    };
    // A window made shorter during the run shows fewer lines, still the newest.
    ASSERT_TRUE(atTheEndAfterMoreLines());
    window->resize(window->width(), window->height() - 30);
    EXPECT_TRUE(atTheEndAfterMoreLines());
    // Scrolled up, the view stays where he left it; back at the end, it follows.
    QTest::keyClick(list, Qt::Key_PageUp);
    const std::int64_t readHere = list->firstVisibleRow();
    EXPECT_FALSE(atTheEndAfterMoreLines());
    EXPECT_EQ(list->firstVisibleRow(), readHere);
    QTest::keyClick(list, Qt::Key_End);
    EXPECT_TRUE(atTheEndAfterMoreLines());
    click("Cmd_Interrompi");
    EXPECT_TRUE(waitFor([this] { return !window->importInCorso(); }));
}

TEST_F(Import, ACounterShowsItsNumberWholeOrNotAtAll)
{
    const std::string sample = readFile(dataFile("corvestra/completo.xml"));
    writeFile(suite.paths().importDir() / "totale.xml", sample);
    ASSERT_TRUE(start());
    selectFile(QStringLiteral("totale.xml"));
    QLineEdit* const cap = scheda(6);
    const double design = cap->font().pointSizeF();
    // The capital of the first case, "Cap" after the run (the others add -12,50), and what shows.
    for (const auto& [capital, total, shown] : {std::tuple{"201.509.772,04", "201.509.759,54", "201.509.759,54"},
                                                {"900.000.000.000.000,00", "899.999.999.999.987,50", "###"}}) {
        std::string file = sample;
        writeFile(suite.paths().importDir() / "totale.xml", file.replace(file.find("1.234,56"), 8, capital));
        importWith("Cmd_Importa_0");
        EXPECT_EQ(cap->text(), QString::fromUtf8(shown));
        EXPECT_EQ(cap->toolTip(), QString::fromUtf8(total));
        // Whole: its first character is in view, not scrolled away on the left.
        EXPECT_EQ(cap->cursorPositionAt(cap->contentsRect().center() - QPoint(cap->width() / 2 - 3, 0)), 0);
        if (std::string(shown) != "###") {
            EXPECT_LT(cap->font().pointSizeF(), design) << "drawn smaller";
        }
    }
}

// Closed by the operator, or ended by a signal to the program (SIGTERM: a
// session logging out; SIGHUP: its terminal closed; Ctrl-C there), the
// window stops its run, shows no box nobody would answer, and the run
// leaves its line in the register.
TEST_F(Import, ClosingTheWindowOrASignalStopsARun)
{
    for (const int signal : {0, SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(signal);
        const auto before = leggiRegistro(fileRegistro(suite.paths())).size();
        const auto boxes = answers.texts().size();
        ASSERT_NO_FATAL_FAILURE(startALongNormalRun());
        if (signal == 0)
            window->close();
        else
            ::kill(::getpid(), signal);
        EXPECT_TRUE(waitFor([this] { return !window->importInCorso() && !window->isVisible(); }));
        EXPECT_EQ(window->interrottaDaSegnale(), signal != 0);
        EXPECT_EQ(answers.texts().size(), boxes + 1) << "no message once the window is closing";
        EXPECT_EQ(suite.rowCount("Tabella Pratiche"), 0);
        EXPECT_EQ(suite.rowCount("TabellaLottiImp"), 0);
        const auto voci = leggiRegistro(fileRegistro(suite.paths()));
        ASSERT_EQ(voci.size(), before + 1);
        EXPECT_EQ(voci.back().esito, "interrotta");
        window.reset();
    }
    // An idle window ends as well, with nothing to stop.
    ASSERT_TRUE(start());
    ::kill(::getpid(), SIGTERM);
    EXPECT_TRUE(waitFor([this] { return !window->isVisible(); }));
    EXPECT_TRUE(window->terminataDaSegnale());
    EXPECT_FALSE(window->interrottaDaSegnale());
}

TEST_F(Import, EachButtonReadsItsFormatAndNamesTheOneForTheOther)
{
    const std::string bank = suite.addImportFile("banca/due_pratiche.xml");
    const std::string corvestra = suite.addImportFile("corvestra/completo.xml");
    // Installation, button, file, and the end of the run's last message.
    const std::tuple<const char*, const char*, const std::string&, const char*> presses[] = {
        {"", "Cmd_Importa_1", bank, "Importazione Conclusa"},
        // "Importa Radoze" does not make "Importa" a bank import.
        {"", "Cmd_Importa_0", bank, "2 elementi documento (formato banca): si legge con il pulsante \"Importa Radoze\"."},
        {"", "Cmd_Importa_0", corvestra, "Importazione Conclusa"},
        {"", "Cmd_Importa_1", corvestra, "3 elementi PRATICA (formato Corvestra): si legge con il pulsante \"Importa\"."},
        // The bank presentation reads the bank format alone.
        {"presentazione=banca", "Cmd_Importa_0", bank, "Importazione Conclusa"},
        {"presentazione=banca", "Cmd_Importa_0", corvestra, "(formato Corvestra): in questa finestra nessun pulsante lo legge."},
    };
    std::string started = "-";
    for (const auto& [installation, button, file, said] : presses) {
        if (started != installation) {
            suite.writeInstallation(installation);
            ASSERT_TRUE(start());
            started = installation;
        }
        selectFile(QString::fromStdString(file));
        importWith(button);
        EXPECT_TRUE(answers.texts().last().endsWith(QString::fromUtf8(said))) << answers.texts().last().toStdString();
    }
}

TEST_F(Import, NoButtonChangesTheDeliveryOrLeavesAFile)
{
    // The three buttons, in test and in normal runs, on a text export, on a
    // closing root tag with a blank and on a Corvestra delivery.
    suite.writeInstallation("importa_rove=si");
    const std::string files[] = {suite.addImportFile("banca/GM_XML"), suite.addImportFile("corvestra/completo.xml"),
                                 "chiusura_con_spazio.xml"};
    writeFile(suite.paths().importDir() / files[2],
              "<root>\r\n<documento><posizione numero=\"S-1\"/></documento>\r\n</root >\r\n");
    const auto contents = [this] {
        std::map<std::string, std::string> out;
        for (const auto& entry : std::filesystem::directory_iterator(suite.paths().importDir()))
            out[entry.path().filename().string()] = readFile(entry.path());
        return out;
    };
    const auto before = contents();
    ASSERT_TRUE(start());
    for (const bool normal : {false, true}) {
        if (normal) uncheck("ChkSoloTest");
        for (const std::string& file : files) {
            for (const char* button : {"Cmd_Importa_0", "Cmd_Importa_1", "Cmd_Importa_2"}) {
                selectFile(QString::fromStdString(file));
                importWith(button);
                EXPECT_EQ(contents(), before) << file << " " << button << (normal ? " normale" : " prova");
            }
        }
    }
}

TEST_F(Import, AccessCheckedWithoutItsArchiveEndsTheProgram)
{
    const std::string file = suite.addImportFile("corvestra/completo.xml");
    ASSERT_TRUE(start());
    uncheck("ChkSoloTest");
    // Checked after start-up: it counts when the run opens the database.
    QTest::mouseClick(find<QCheckBox>("chkUsaAccess"), Qt::LeftButton);
    selectFile(QString::fromStdString(file));
    importWith("Cmd_Importa_0");
    EXPECT_EQ(answers.texts().last(), QStringLiteral("Archivio Access NON trovato. Il programma termina"));
    EXPECT_FALSE(window->isVisible()) << "the message says the program ends";
    EXPECT_EQ(suite.rowCount("TabellaLottiImp"), 0);
}

TEST_F(Import, AMissingParameterPutsTheFocusInItsBox)
{
    const std::string file = suite.addImportFile("corvestra/completo.xml");
    ASSERT_TRUE(start());
    selectFile(QString::fromStdString(file));
    scheda(3)->clear();
    importWith("Cmd_Importa_0");
    EXPECT_EQ(answers.texts().last(), QStringLiteral("Inserire Tipo Intervento"));
    EXPECT_EQ(window->focusWidget(), scheda(3));

    find<QLabel>("LBLFILEIMPORT")->clear();
    importWith("Cmd_Importa_0");
    // The message as it stands, then what the program looked at; no question
    // about an import that cannot start.
    ASSERT_EQ(answers.texts().size(), 3) << answers.texts().join('|').toStdString();
    EXPECT_TRUE(answers.texts().last().startsWith(QStringLiteral("Scegliere il file da importare\n")))
        << answers.texts().last().toStdString();
}

TEST_F(Import, TheInvoiceButtonAsksNothing)
{
    suite.writeInstallation("fattura_elettronica=si\r\n");
    const std::string invoice = suite.addImportFile("fatturapa/oca_FPR06_credit_note_TD04.xml");
    ASSERT_TRUE(start());
    selectFile(QString::fromStdString(invoice));
    click("Cmd_Importa_3");
    EXPECT_TRUE(answers.texts().isEmpty()) << answers.texts().join('|').toStdString();
    EXPECT_FALSE(window->importInCorso());
    EXPECT_FALSE(window->findChild<QWidget*>(QStringLiteral("Pic_Fatt"))->isHidden());
}

}  // namespace
}  // namespace crv::test
