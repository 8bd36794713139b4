// Cases already in the archive asked about before a normal run writes, and
// the tab "Lotti": the batches listed and one taken back, the questions
// answered both ways.
#include <QCheckBox>
#include <QProgressBar>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>

#include "app/registro.h"
#include "window/tab_control.h"
#include "window_fixture.h"

namespace crv::test {
namespace {

class Lotti : public WindowTest {
protected:
    // Starts the window for normal runs of completo.xml.
    void startNormal()
    {
        const std::string file = suite.addImportFile("corvestra/completo.xml");
        ASSERT_TRUE(start());
        auto* const test = find<QCheckBox>("ChkSoloTest");
        if (test->isChecked()) QTest::mouseClick(test, Qt::LeftButton);
        selectFile(QString::fromStdString(file));
        answers.onShown = [this](QMessageBox& box) {
            if (box.text().endsWith(QStringLiteral("?")) && !box.text().startsWith(QStringLiteral("Confermi")))
                questionDefaults.push_back(box.standardButton(box.defaultButton()));
        };
    }
    // "Importa", Yes to "Confermi importazione?", OK to "Lo stesso file fu
    // importato come ..." when the delivery was imported before, then `again`
    // to the question about the cases already there, when it comes.
    void importa(QMessageBox::StandardButton again, bool importatoPrima = false)
    {
        answers.answerNext(QMessageBox::Yes);
        if (importatoPrima) answers.answerNext(QMessageBox::Ok);
        answers.answerNext(again);
        click("Cmd_Importa_0");
        EXPECT_TRUE(waitFor([this] { return !window->importInCorso(); }));
    }
    QTableWidget* list() const { return find<QTableWidget>("Lista_Lotti"); }
    QString cell(int row, int column) const { return list()->item(row, column)->text(); }

    QList<QMessageBox::StandardButton> questionDefaults;
};

TEST_F(Lotti, ADeliveryAlreadyImportedIsImportedOnlyOnYes)
{
    ASSERT_NO_FATAL_FAILURE(startNormal());
    importa(QMessageBox::NoButton);
    EXPECT_EQ(answers.texts().last(), QStringLiteral("Importazione Conclusa"));
    EXPECT_TRUE(questionDefaults.isEmpty()) << "nothing to ask the first time";

    importa(QMessageBox::NoButton, true);  // the question's default
    ASSERT_GE(answers.texts().size(), 4);
    EXPECT_TRUE(answers.texts()[answers.texts().size() - 3].startsWith(
        QStringLiteral("Lo stesso file fu importato come completo.xml il ")))
        << answers.texts()[answers.texts().size() - 3].toStdString();
    const QString question = answers.texts()[answers.texts().size() - 2];
    EXPECT_TRUE(question.startsWith(QStringLiteral("Pratiche già presenti in archivio: 3 delle 3 pratiche del file")))
        << question.toStdString();
    EXPECT_TRUE(question.endsWith(QStringLiteral("\n\nImportare comunque?"))) << question.toStdString();
    EXPECT_EQ(questionDefaults, QList<QMessageBox::StandardButton>{QMessageBox::No});
    EXPECT_TRUE(answers.texts().last().startsWith(QStringLiteral("Importazione non eseguita")));
    EXPECT_EQ(window->ultimoRisultato().outcome, RunOutcome::AlreadyImported);
    EXPECT_EQ(suite.rowCount("Tabella Pratiche"), 3);
    EXPECT_EQ(suite.rowCount("TabellaLottiImp"), 1);
    EXPECT_TRUE(scheda(9)->text().isEmpty());

    // A test run reaches the same verdict, through the same question.
    QTest::mouseClick(find<QCheckBox>("ChkSoloTest"), Qt::LeftButton);
    importa(QMessageBox::NoButton, true);
    EXPECT_EQ(answers.texts()[answers.texts().size() - 2], question);
    EXPECT_TRUE(answers.texts().last().startsWith(QStringLiteral("Importazione non eseguita")));
    EXPECT_EQ(window->ultimoRisultato().outcome, RunOutcome::AlreadyImported);
    EXPECT_EQ(suite.rowCount("Tabella Pratiche"), 3);
    QTest::mouseClick(find<QCheckBox>("ChkSoloTest"), Qt::LeftButton);

    importa(QMessageBox::Yes, true);
    EXPECT_EQ(answers.texts().last(), QStringLiteral("Importazione Conclusa"));
    EXPECT_EQ(suite.rowCount("Tabella Pratiche"), 6);
    EXPECT_EQ(scheda(9)->text(), QStringLiteral("2"));
}

TEST_F(Lotti, TheTabListsTheBatchesAndTakesTheSelectedOneBack)
{
    ASSERT_NO_FATAL_FAILURE(startNormal());
    importa(QMessageBox::NoButton);
    importa(QMessageBox::Yes, true);
    find<window::TabControl>("SSTab1")->setCurrentIndex(2);
    ASSERT_EQ(list()->rowCount(), 2);
    EXPECT_EQ(cell(0, 0), QStringLiteral("2"));  // newest first
    EXPECT_EQ(cell(0, 4), QStringLiteral("CRV"));
    EXPECT_EQ(cell(0, 6), QStringLiteral("3"));
    EXPECT_EQ(cell(0, 7), QStringLiteral("3"));
    EXPECT_EQ(cell(0, 8), QStringLiteral("completo.xml"));  // the delivery, from the register
    EXPECT_EQ(cell(1, 8), QStringLiteral("completo.xml"));

    list()->selectRow(0);
    answers.answerNext(QMessageBox::NoButton);  // the default
    click("Cmd_Annulla_Lotto");
    EXPECT_TRUE(answers.texts().last().contains(QStringLiteral("3 pratiche di [Tabella Pratiche]")));
    EXPECT_TRUE(answers.texts().last().endsWith(QStringLiteral("\n\nAnnullare il lotto 2?")));
    EXPECT_EQ(questionDefaults.last(), QMessageBox::No);
    EXPECT_FALSE(window->varieInCorso());
    EXPECT_EQ(suite.rowCount("Tabella Pratiche"), 6);

    answers.answerNext(QMessageBox::Yes);
    click("Cmd_Annulla_Lotto");
    EXPECT_TRUE(waitFor([this] { return !window->varieInCorso(); }));
    EXPECT_TRUE(answers.texts().last().startsWith(QStringLiteral("Lotto 2 annullato: eliminate 3 pratiche e 0 rate")))
        << answers.texts().last().toStdString();
    EXPECT_EQ(suite.rowCount("Tabella Pratiche"), 3);
    EXPECT_EQ(suite.rowCount("TabellaLottiImp"), 2);
    EXPECT_EQ(cell(0, 6), QStringLiteral("0")) << "the list is read again";
    EXPECT_EQ(cell(0, 7), QStringLiteral("0"));

    list()->selectRow(0);
    click("Cmd_Annulla_Lotto");
    EXPECT_TRUE(answers.texts().last().contains(QStringLiteral("non ha più pratiche")));

    // Each run of the window is a line of the register, as the commands' are.
    std::vector<std::string> voci;
    for (const VoceRegistro& v : leggiRegistro(fileRegistro(suite.paths())))
        voci.push_back(v.operazione + " " + v.modo + " " + v.esito + " " + (v.lotto ? std::to_string(*v.lotto) : "-"));
    EXPECT_EQ(voci, (std::vector<std::string>{"import normale conclusa 1", "import normale conclusa 2",
                                              "annulla-lotto prova terminata 2", "annulla-lotto prova terminata 2",
                                              "annulla-lotto normale terminata 2", "annulla-lotto prova rifiutata 2"}));
}

// Another operator's import holds the archive: "Annulla lotto" says on the
// status line that it waits, and Interrompi ends the wait with every row in
// place; let through, it takes the batch back.
TEST_F(Lotti, TakingABatchBackWaitsForAnotherImportAndSaysSo)
{
    ASSERT_NO_FATAL_FAILURE(startNormal());
    importa(QMessageBox::NoButton);
    find<window::TabControl>("SSTab1")->setCurrentIndex(2);
    auto* const stato = find<QStatusBar>("Stato");
    for (const bool stop : {true, false}) {
        SCOPED_TRACE(stop ? "Interrompi" : "let through");
        const auto holder = holdArchive();
        list()->selectRow(0);
        answers.answerNext(QMessageBox::Yes);
        click("Cmd_Annulla_Lotto");
        EXPECT_TRUE(saysItWaits([this] { return window->varieInCorso(); }));
        ASSERT_TRUE(window->varieInCorso()) << answers.texts().last().toStdString();
        if (stop) {
            click("Cmd_Interrompi");
            EXPECT_TRUE(waitFor([this] { return !window->varieInCorso(); })) << "still waiting for the other run";
            EXPECT_EQ(answers.texts().last(), QStringLiteral("Annullamento interrotto: nessuna riga eliminata"));
            holder->rollback();
            EXPECT_EQ(suite.rowCount("Tabella Pratiche"), 3);
        } else {
            holder->rollback();
            EXPECT_TRUE(waitFor([this] { return !window->varieInCorso(); }));
            EXPECT_TRUE(answers.texts().last().startsWith(QStringLiteral("Lotto 1 annullato")))
                << answers.texts().last().toStdString();
            EXPECT_EQ(suite.rowCount("Tabella Pratiche"), 0);
        }
        EXPECT_TRUE(stato->currentMessage().isEmpty()) << stato->currentMessage().toStdString();
    }
}

TEST_F(Lotti, TakingBackTheBatchOnScreenClearsItsCountersAndTheBar)
{
    ASSERT_NO_FATAL_FAILURE(startNormal());
    importa(QMessageBox::NoButton);
    importa(QMessageBox::Yes, true);
    ASSERT_EQ(scheda(9)->text(), QStringLiteral("2"));
    auto* const bar = find<QProgressBar>("ProgressBar1");
    ASSERT_EQ(bar->value(), bar->maximum()) << "a run done fills the bar";
    find<window::TabControl>("SSTab1")->setCurrentIndex(2);
    // The batch of the run before: the counters of the last run stay. Then
    // the batch they show: they show nothing, as before any run.
    const struct {
        int row;
        QString lotto;
        QStringList counters;  // Scheda(5) to Scheda(9) afterwards
    } undo[] = {
        {1, QStringLiteral("1"), {"3", "1.222,06", "45,10", "1.000.020,00", "2"}},
        {0, QStringLiteral("2"), {"", "", "", "", ""}},
    };
    for (const auto& u : undo) {
        ASSERT_EQ(cell(u.row, 0), u.lotto);
        list()->selectRow(u.row);
        answers.answerNext(QMessageBox::Yes);
        click("Cmd_Annulla_Lotto");
        EXPECT_TRUE(waitFor([this] { return !window->varieInCorso(); }));
        EXPECT_TRUE(answers.texts().last().startsWith(QStringLiteral("Lotto ") + u.lotto + QStringLiteral(" annullato")))
            << answers.texts().last().toStdString();
        QStringList counters;
        for (int i = 5; i <= 9; ++i) counters.push_back(scheda(i)->text());
        EXPECT_EQ(counters, u.counters) << u.lotto.toStdString();
        EXPECT_EQ(bar->value(), 0) << u.lotto.toStdString();
    }
    EXPECT_EQ(suite.rowCount("Tabella Pratiche"), 0);
}

}  // namespace
}  // namespace crv::test
