// The tab "Varie" driven as an operator would, on a suite database made by
// init-db and an import of the program: the definition loaded with the tab
// and saved by "Salva Definizione", the export into a workbook read back with
// openpyxl and handed to the desktop, common notes to memo checked in the
// database, the messages of the core, and a stop (or a close) that leaves
// everything as it was.
#include <QCheckBox>
#include <QDate>
#include <QDialogButtonBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTabBar>
#include <QTest>
#include <QUrl>

#include "db/connection_string.h"
#include "db/database.h"
#include "tools/xlsx_reader.h"
#include "window/tab_control.h"
#include "window_fixture.h"

namespace crv::test {
namespace {

// Answers the save dialog of the export: keeps where it started, then
// chooses `answer` (or cancels when it is empty).
class SaveDialogAnswerer : public QObject {
public:
    SaveDialogAnswerer()
    {
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, &SaveDialogAnswerer::poll);
        timer_.start();
    }
    QString answer;
    QStringList suggested;  // the file each dialog proposed, in order
    QStringList buttons;    // the captions of the last dialog's buttons

private:
    void poll()
    {
        auto* const dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible() || dialog == handled_) return;
        handled_ = dialog;
        suggested.push_back(dialog->selectedFiles().value(0));
        buttons.clear();
        if (const auto* box = dialog->findChild<QDialogButtonBox*>())
            for (const QAbstractButton* b : box->buttons()) buttons.push_back(b->text());
        if (answer.isEmpty()) {
            dialog->reject();
            return;
        }
        // Put into the name box, as an operator types it: selectFile() leaves
        // the box alone while it has the focus.
        auto* const name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!name) {
            ADD_FAILURE() << "the save dialog has no name box";
            dialog->reject();
            return;
        }
        name->setText(answer);
        // The dialog's own "Save" (accept is a slot, not public in QFileDialog).
        QMetaObject::invokeMethod(dialog, "accept");
    }

    QTimer timer_;
    QPointer<QFileDialog> handled_;
};

// Takes the files the window hands to the desktop instead of starting an
// application (Qt's own hook for the "file" scheme).
class DesktopOpener : public QObject {
    Q_OBJECT
public:
    DesktopOpener() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open"); }
    ~DesktopOpener() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    QStringList opened;

public slots:
    void open(const QUrl& url) { opened.push_back(url.toLocalFile()); }
};

class Varie : public WindowTest {
protected:
    // The suite's database made afresh by init-db, and completo.xml (three
    // cases of mandate CRV) imported into it by the program.
    void SetUp() override
    {
        std::filesystem::remove(suite.database());
        const std::string root = suite.paths().root.string();
        const ProgramRun init = runCrvxml({"init-db", "--root", root}, "it_IT.UTF-8");
        ASSERT_EQ(init.status, 0) << init.err;
        suite.addImportFile("corvestra/completo.xml");
        const ProgramRun import = runCrvxml({"import", "--root", root, "--no-test", "--affido", "01/02/2024",
                                             "--scadenza", "02/03/2024", "completo.xml"},
                                            "it_IT.UTF-8");
        ASSERT_EQ(import.status, 0) << import.err;
        ASSERT_EQ(suite.rowCount("Tabella Pratiche"), 3);
    }

    std::unique_ptr<db::Database> database() const
    {
        return db::Database::open(db::parseConnString(db::sqliteConnString(suite.database().string())));
    }

    void addNote(const QString& posizione, const QString& note) const
    {
        database()->execute(QStringLiteral("INSERT INTO notecomuni (posizione, \"note comuni\") VALUES (?, ?)"),
                            {posizione, note});
    }

    // Column `field` of every case, in the order of the counter ("<null>" for Null).
    QStringList column(const char* field) const
    {
        auto db = database();
        QSqlQuery q = db->query(QStringLiteral("SELECT %1 FROM \"Tabella Pratiche\" ORDER BY contatore")
                                    .arg(db->quote(QString::fromLatin1(field))));
        QStringList values;
        while (q.next()) values.push_back(q.isNull(0) ? QStringLiteral("<null>") : q.value(0).toString());
        return values;
    }

    // Starts the window with the filter boxes on the imported cases.
    void startOnTheImport()
    {
        ASSERT_TRUE(start());
        scheda(1)->setText(QStringLiteral("01/02/2024"));
        scheda(2)->setText(QStringLiteral("02/03/2024"));
    }

    void showTab(int index) const
    {
        QTabBar* const bar = find<window::TabControl>("SSTab1")->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    }

    // Presses a button of the tab and waits for the utility to end.
    void runUtility(const char* button)
    {
        click(button);
        EXPECT_TRUE(waitFor([this] { return !window->varieInCorso(); }, 120000)) << "the run did not end";
    }

    QPlainTextEdit* campi() const { return find<QPlainTextEdit>("TxtCampi"); }
    std::filesystem::path definitionFile() const { return suite.paths().dataDir() / "exp-excel.ini"; }

    SaveDialogAnswerer saveDialog;
    DesktopOpener desktop;
};

TEST_F(Varie, TheTabLoadsTheDefinitionAndSalvaDefinizioneWritesIt)
{
    ASSERT_TRUE(start());
    EXPECT_EQ(campi()->toPlainText(), QStringLiteral("Text1"));
    showTab(1);
    EXPECT_EQ(campi()->toPlainText(), QStringLiteral("posizione\nragione sociale\nmemo\nnote comuni\n"));
    EXPECT_FALSE(std::filesystem::exists(definitionFile())) << "loading writes nothing";

    // Commas and blank lines typed into the box: separate names and no name, after the reload.
    campi()->setPlainText(QStringLiteral("posizione, \"Ragione sociale\"\n\n  data affido\nnote comuni"));
    click("Command1");
    EXPECT_EQ(readFile(definitionFile()), "posizione, \"Ragione sociale\"\r\n\r\n  data affido\r\nnote comuni\r\n");
    EXPECT_EQ(campi()->toPlainText(), QStringLiteral("posizione\nRagione sociale\ndata affido\nnote comuni\n"));

    // The file is read again each time the tab is selected.
    writeFile(definitionFile(), "memo,posizione\r\n");
    showTab(0);
    EXPECT_EQ(campi()->toPlainText(), QStringLiteral("posizione\nRagione sociale\ndata affido\nnote comuni\n"));
    showTab(1);
    EXPECT_EQ(campi()->toPlainText(), QStringLiteral("memo\nposizione\n"));
    EXPECT_TRUE(answers.texts().isEmpty()) << answers.texts().join('|').toStdString();
}

TEST_F(Varie, ASaveThatFailsSaysSoAndKeepsTheTypedText)
{
    ASSERT_TRUE(start());
    showTab(1);
    // A folder where the file should be: the new definition cannot replace it.
    std::filesystem::create_directories(definitionFile() / "occupato");
    campi()->setPlainText(QStringLiteral("posizione\nmemo"));
    click("Command1");
    ASSERT_EQ(answers.texts().size(), 1);
    EXPECT_TRUE(answers.texts()[0].startsWith(QStringLiteral("Impossibile salvare la definizione ") +
                                              QString::fromStdString(definitionFile().string())))
        << answers.texts()[0].toStdString();
    EXPECT_EQ(campi()->toPlainText(), QStringLiteral("posizione\nmemo"));
    EXPECT_TRUE(std::filesystem::is_directory(definitionFile()));
}

TEST_F(Varie, TheExportWritesTheChosenCasesAndOpensTheWorkbook)
{
    addNote(QStringLiteral("100200300"), QStringLiteral("prima nota"));
    addNote(QStringLiteral("100200300"), QStringLiteral("seconda nota"));
    addNote(QStringLiteral("100200302-LUNGO-CODICE"), QStringLiteral("nota del terzo"));
    writeFile(definitionFile(), "posizione,Ragione sociale\r\ndata affido\r\nnote comuni\r\n");
    startOnTheImport();
    showTab(1);

    const QString out = QString::fromStdString((suite.paths().root / "casi.xlsx").string());
    saveDialog.answer = out;
    runUtility("cmd_Varie_1");

    // The dialog proposed the documents folder and a name with today's date.
    ASSERT_EQ(saveDialog.suggested.size(), 1);
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty() || !QDir(documents).exists()) documents = QDir::homePath();
    EXPECT_EQ(saveDialog.suggested[0], QDir(documents).filePath(QStringLiteral("Pratiche_") +
                                                                QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) +
                                                                QStringLiteral(".xlsx")));
    EXPECT_EQ(saveDialog.buttons, (QStringList{"&Salva", "Annulla"})) << "Qt's own texts in Italian too";
    EXPECT_EQ(answers.texts(), QStringList{QStringLiteral("Elaborazione terminata\nPratiche esportate: 3 in ") + out +
                                           QStringLiteral("\nFiltri: Mandato CRV, Data Affido dal 01/02/2024, "
                                                          "Scadenza Mandato fino al 02/03/2024")});
    EXPECT_EQ(desktop.opened, QStringList{out}) << "the finished workbook goes to the desktop";

    const XlsxSheetRead sheet = readXlsx(out.toStdString());
    ASSERT_EQ(sheet.rows.size(), 4u);
    const std::vector<std::string> headings{"posizione", "Ragione sociale", "data affido", "note comuni"};
    for (int col = 1; col <= 4; ++col) EXPECT_EQ(sheet.at(1, col).text(), headings[static_cast<std::size_t>(col - 1)]);
    const QStringList posizioni = column("posizione");
    const QStringList nomi = column("Ragione sociale");
    const QStringList note{QStringLiteral("prima nota"), QString(), QStringLiteral("nota del terzo")};
    for (int row = 2; row <= 4; ++row) {
        const int i = row - 2;
        EXPECT_EQ(QString::fromStdString(sheet.at(row, 1).text()), posizioni[i]);
        EXPECT_EQ(QString::fromStdString(sheet.at(row, 2).text()), nomi[i].trimmed());
        EXPECT_EQ(sheet.at(row, 3).type, "d");
        EXPECT_EQ(sheet.at(row, 3).text(), "2024-02-01T00:00:00");
        EXPECT_EQ(QString::fromStdString(sheet.at(row, 4).text()), note[i]);
    }
    auto* const progress = find<QProgressBar>("ProgressBar1");
    EXPECT_EQ(progress->maximum(), 3);
    EXPECT_EQ(progress->value(), 3);
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(find<QPushButton>("cmd_Varie_1")->isEnabled());
    EXPECT_FALSE(find<QPushButton>("Cmd_Interrompi")->isEnabled());
}

TEST_F(Varie, TheExportFollowsTheBoxesAndTheDialog)
{
    startOnTheImport();
    showTab(1);
    const auto out = suite.paths().root / "casi.xlsx";

    // Cancelled: nothing is written.
    saveDialog.answer.clear();
    runUtility("cmd_Varie_1");
    EXPECT_EQ(saveDialog.suggested.size(), 1);
    EXPECT_TRUE(answers.texts().isEmpty());

    // A mandate code and a batch of no case; a batch that is no number; a
    // date that keeps the cases out: said before any save dialog.
    saveDialog.answer = QString::fromStdString(out.string());
    scheda(0)->setText(QStringLiteral("DEZ"));
    runUtility("cmd_Varie_1");
    scheda(0)->setText(QStringLiteral("CRV"));
    scheda(9)->setText(QStringLiteral("999"));
    runUtility("cmd_Varie_1");
    scheda(9)->setText(QStringLiteral("1x"));
    runUtility("cmd_Varie_1");
    scheda(9)->clear();
    scheda(1)->setText(QStringLiteral("02/02/2024"));
    runUtility("cmd_Varie_1");
    EXPECT_EQ(answers.texts(), (QStringList{"Nessuna pratica trovata", "Nessuna pratica trovata",
                                            "Lotto Imp \"1x\" non valido: serve un numero intero",
                                            "Nessuna pratica trovata"}));
    EXPECT_EQ(saveDialog.suggested.size(), 1) << "no save dialog for a workbook of no case";
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_TRUE(desktop.opened.isEmpty());

    // The batch of the import, and a text that is no date: every case, and
    // the closing message names the filters that applied.
    const QString batch = column("lottoimportazione").value(0);
    scheda(9)->setText(batch);
    scheda(1)->setText(QStringLiteral("ieri"));
    runUtility("cmd_Varie_1");
    EXPECT_EQ(saveDialog.suggested.size(), 2);
    EXPECT_EQ(answers.texts().last(),
              QStringLiteral("Elaborazione terminata\nPratiche esportate: 3 in ") + QString::fromStdString(out.string()) +
                  QStringLiteral("\nFiltri: Mandato CRV, Scadenza Mandato fino al 02/03/2024, Lotto Imp ") + batch +
                  QStringLiteral("\nData Affido \"ieri\" non è una data: ignorata"));
    EXPECT_EQ(readXlsx(out).rows.size(), 4u);
}

TEST_F(Varie, CommonNotesToMemoAsksThenAppendsEachCaseFirstNoteOnce)
{
    addNote(QStringLiteral("100200300"), QStringLiteral("prima nota"));
    addNote(QStringLiteral("100200300"), QStringLiteral("seconda nota"));
    addNote(QStringLiteral("100200301"), QStringLiteral("nota del secondo"));
    addNote(QStringLiteral("100200302-LUNGO-CODICE"), QStringLiteral("nota del terzo"));
    // The import leaves [memo] Null (its memo goes to memoEC); the second case gets one.
    database()->execute(QStringLiteral("UPDATE \"Tabella Pratiche\" SET memo = 'memo esistente' WHERE posizione = ?"),
                        {QStringLiteral("100200301")});
    // The third case is outside the batch the boxes ask for.
    database()->execute(QStringLiteral("UPDATE \"Tabella Pratiche\" SET lottoimportazione = 99 WHERE posizione = ?"),
                        {QStringLiteral("100200302-LUNGO-CODICE")});
    ASSERT_EQ(column("memo"), (QStringList{"<null>", "memo esistente", "<null>"}));
    startOnTheImport();
    const QString batch = column("lottoimportazione").value(0);
    scheda(9)->setText(batch);
    showTab(1);
    const QString question = QStringLiteral("Accodare la nota comune al memo di 2 pratiche (Mandato CRV, Affido dal "
                                            "01/02/2024, Scad. fino al 02/03/2024, Lotto Imp ") +
                             batch + QStringLiteral(")?");
    const QString filters = QStringLiteral("\nFiltri: Mandato CRV, Data Affido dal 01/02/2024, Scadenza Mandato fino "
                                           "al 02/03/2024, Lotto Imp ") +
                            batch;

    // No, the default, leaves every memo as it was.
    runUtility("cmd_Varie_0");
    EXPECT_EQ(answers.texts(), QStringList{question});
    EXPECT_EQ(answers.lastDefault(), QMessageBox::No);
    EXPECT_EQ(column("memo"), (QStringList{"<null>", "memo esistente", "<null>"}));

    answers.answerNext(QMessageBox::Yes);
    runUtility("cmd_Varie_0");
    EXPECT_EQ(answers.texts().mid(1),
              (QStringList{question, QStringLiteral("Elaborazione terminata\nPratiche con la nota comune accodata al "
                                                    "memo: 2 di 2, già accodate: 0") +
                                         filters}));
    EXPECT_TRUE(saveDialog.suggested.isEmpty()) << "no workbook is asked for";
    EXPECT_TRUE(desktop.opened.isEmpty());
    EXPECT_EQ(column("memo"), (QStringList{"prima nota", "memo esistente\r\nnota del secondo", "<null>"}));
    EXPECT_EQ(find<QProgressBar>("ProgressBar1")->value(), 2);

    // Once appended, a note is not appended again, and nothing is asked.
    runUtility("cmd_Varie_0");
    EXPECT_EQ(answers.texts().last(),
              QStringLiteral("Nessuna nota comune da accodare\nPratiche scelte: 2, già accodate: 2") + filters);
    EXPECT_EQ(column("memo"), (QStringList{"prima nota", "memo esistente\r\nnota del secondo", "<null>"}));
    scheda(0)->setText(QStringLiteral("DEZ"));
    runUtility("cmd_Varie_0");
    EXPECT_EQ(answers.texts().last(), QStringLiteral("Nessuna pratica trovata"));
}

TEST_F(Varie, WhenTheDatabaseCannotBeUsed)
{
    startOnTheImport();
    showTab(1);
    writeFile(suite.paths().vex32Ini(), "connstring=Provider=SQLite;Data Source=" +
                                            (suite.paths().dataDir() / "manca.sqlite").string() + "\r\n");
    runUtility("cmd_Varie_0");
    ASSERT_EQ(answers.texts().size(), 2);
    EXPECT_TRUE(answers.texts()[0].contains(QStringLiteral("manca.sqlite"))) << answers.texts()[0].toStdString();
    EXPECT_EQ(answers.texts()[1], QStringLiteral("DB non collegato"));
    EXPECT_TRUE(window->isVisible());

    // "Access" checked and its archive missing: the program ends, as at start-up.
    QTest::mouseClick(find<QCheckBox>("chkUsaAccess"), Qt::LeftButton);
    runUtility("cmd_Varie_0");
    EXPECT_EQ(answers.texts().last(), QStringLiteral("Archivio Access NON trovato. Il programma termina"));
    EXPECT_FALSE(window->isVisible());
}

// Many cases, each with a note, so that a run lasts long enough to be stopped.
class VarieStop : public Varie {
protected:
    static constexpr int kCopies = 40000;

    void SetUp() override
    {
        Varie::SetUp();
        auto db = database();
        db->begin();
        db->execute(QStringLiteral(
                        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                        "INSERT INTO \"Tabella Pratiche\" (posizione, \"tipo mandato\", \"data affido\", "
                        "\"scadenza mandato\", \"Ragione sociale\", memo) "
                        "SELECT posizione || '-' || i, \"tipo mandato\", \"data affido\", \"scadenza mandato\", "
                        "\"Ragione sociale\", memo FROM \"Tabella Pratiche\", n")
                        .arg(kCopies));
        db->execute(QStringLiteral("INSERT INTO notecomuni (posizione, \"note comuni\") "
                                   "SELECT posizione, 'nota di ' || posizione FROM \"Tabella Pratiche\""));
        db->commit();
    }

    // What the memos hold, in short.
    QString memos() const
    {
        QSqlQuery q = database()->query(
            QStringLiteral("SELECT COUNT(*), SUM(LENGTH(memo)), MAX(memo) FROM \"Tabella Pratiche\""));
        return q.next() ? QStringList{q.value(0).toString(), q.value(1).toString(), q.value(2).toString()}.join('|')
                        : QString();
    }

    // Presses a button of the tab, checks the window during the run, and
    // stops it once the progress bar has moved.
    void startAndStop(const char* button)
    {
        click(button);
        ASSERT_TRUE(window->varieInCorso());
        for (const char* other : {"Cmd_Importa_0", "Cmd_Importa_1", "cmd_Varie_0", "cmd_Varie_1"})
            EXPECT_FALSE(find<QPushButton>(other)->isEnabled()) << other;
        EXPECT_TRUE(find<QPushButton>("Cmd_Interrompi")->isEnabled());
        EXPECT_EQ(window->cursor().shape(), Qt::WaitCursor);
        auto* const progress = find<QProgressBar>("ProgressBar1");
        EXPECT_TRUE(waitFor([&] { return progress->value() > 0 || !window->varieInCorso(); }, 60000));
        ASSERT_TRUE(window->varieInCorso()) << "the run ended before it could be stopped";
        EXPECT_EQ(progress->maximum(), 3 * (kCopies + 1));
        click("Cmd_Interrompi");
        EXPECT_TRUE(waitFor([this] { return !window->varieInCorso(); }, 60000));
        EXPECT_TRUE(find<QPushButton>(button)->isEnabled());
        EXPECT_TRUE(find<QPushButton>("Cmd_Importa_0")->isEnabled());
        EXPECT_FALSE(find<QPushButton>("Cmd_Interrompi")->isEnabled());
        EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
    }
};

TEST_F(VarieStop, AStopLeavesTheMemosAndTheFolderAsTheyWere)
{
    const QString before = memos();
    startOnTheImport();
    showTab(1);
    // Stopped while it counts what it would append, before the question.
    startAndStop("cmd_Varie_0");
    EXPECT_EQ(answers.texts(), QStringList{QStringLiteral("Elaborazione interrotta: nessun memo modificato")});
    EXPECT_EQ(memos(), before);

    // Stopped while it appends, after the question.
    answers.answerNext(QMessageBox::Yes);
    click("cmd_Varie_0");
    ASSERT_TRUE(waitFor([&] { return answers.texts().size() == 2 || !window->varieInCorso(); }, 120000));
    ASSERT_TRUE(answers.texts().back().startsWith(QStringLiteral("Accodare la nota comune al memo di 120.003 "
                                                                 "pratiche")))
        << answers.texts().back().toStdString();
    auto* const progress = find<QProgressBar>("ProgressBar1");
    ASSERT_TRUE(waitFor([&] { return progress->value() > 0 || !window->varieInCorso(); }, 60000));
    ASSERT_TRUE(window->varieInCorso()) << "the run ended before it could be stopped";
    click("Cmd_Interrompi");
    EXPECT_TRUE(waitFor([this] { return !window->varieInCorso(); }, 60000));
    EXPECT_EQ(answers.texts().back(), QStringLiteral("Elaborazione interrotta: nessun memo modificato"));
    EXPECT_EQ(memos(), before);

    const auto folder = suite.paths().root / "esportazione";
    std::filesystem::create_directories(folder);
    saveDialog.answer = QString::fromStdString((folder / "casi.xlsx").string());
    startAndStop("cmd_Varie_1");
    EXPECT_EQ(answers.texts().last(), QStringLiteral("Esportazione interrotta: nessun file scritto"));
    EXPECT_TRUE(std::filesystem::is_empty(folder)) << "neither the workbook nor a part of it";
    EXPECT_TRUE(desktop.opened.isEmpty());
}

TEST_F(VarieStop, ClosingTheWindowStopsTheRun)
{
    const QString before = memos();
    startOnTheImport();
    showTab(1);
    click("cmd_Varie_0");
    ASSERT_TRUE(window->varieInCorso());
    window->close();
    EXPECT_FALSE(window->varieInCorso());
    EXPECT_TRUE(answers.texts().isEmpty()) << "no message once the window is closing";
    EXPECT_EQ(memos(), before);
}

}  // namespace
}  // namespace crv::test

#include "varie_test.moc"
