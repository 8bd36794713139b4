// The complete invoice in the window: "Completa" beside "Fatt.Elett" makes
// the button show every sheet of the complete view (the same pixels as its
// PNG) in a scrolling view, the switch is saved with the others, and each
// attachment has a button that saves it as --allegati does.
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QScrollBar>
#include <QTest>

#include "invoice/full_layout.h"
#include "invoice/sheet_export.h"
#include "window/full_invoice_view.h"
#include "window/invoice_view.h"
#include "window_fixture.h"

namespace crv::test {
namespace {

// Chooses `folder` in the next folder dialog.
class FolderDialogAnswerer : public QObject {
public:
    explicit FolderDialogAnswerer(QString folder) : folder_(std::move(folder))
    {
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, [this] {
            auto* const dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible() || dialog == handled_) return;
            handled_ = dialog;
            names.push_back(dialog->objectName());
            dialog->setDirectory(folder_);
            dialog->selectFile(folder_);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        timer_.start();
    }
    QStringList names;

private:
    QString folder_;
    QTimer timer_;
    QPointer<QFileDialog> handled_;
};

class CompleteWindow : public WindowTest {
protected:
    void startWithInvoices()
    {
        suite.writeInstallation("fattura_elettronica=si\r\n");
        ASSERT_TRUE(start());
        completa = find<QCheckBox>("chkCompleta");
        view = find<FullInvoiceView>("Pic_Fatt_Completa");
        ASSERT_NE(completa, nullptr);
        ASSERT_NE(view, nullptr);
    }
    void pressFattElett()
    {
        click("Cmd_Importa_3");
        EXPECT_TRUE(waitFor([this] { return window->isMaximized(); }, 2000));
        QApplication::processEvents();
    }

    // The view shows the sheets the core lays out of the file.
    std::vector<Sheet> expectTheSheetsOf(const std::string& name) const
    {
        const FullViewReading reading = readFullView(suite.paths().importDir() / name);
        EXPECT_TRUE(reading.ok()) << reading.message;
        std::vector<Sheet> want = layoutFullView(reading.view, Regional::system());
        EXPECT_EQ(view->fogli().size(), want.size());
        for (std::size_t k = 0; k < want.size() && k < view->fogli().size(); ++k) {
            EXPECT_EQ(view->fogli()[k].ops.size(), want[k].ops.size());
            for (std::size_t i = 0; i < want[k].ops.size() && i < view->fogli()[k].ops.size(); ++i)
                EXPECT_EQ(describe(view->fogli()[k].ops[i]), describe(want[k].ops[i]));
        }
        return want;
    }

    QCheckBox* completa = nullptr;
    FullInvoiceView* view = nullptr;
};

TEST_F(CompleteWindow, CompletaMakesFattElettShowEverySheetOfTheCompleteView)
{
    const std::string name = suite.addImportFile("fatturapa/oca_FPR03_signed_cades_der.xml.p7m");
    ASSERT_NO_FATAL_FAILURE(startWithInvoices());
    // Off by default, beside the button and shown with it: the page opens first.
    EXPECT_FALSE(completa->isChecked());
    EXPECT_TRUE(completa->isVisible());
    const QRect button = find<QWidget>("Cmd_Importa_3")->geometry();
    EXPECT_LE(completa->geometry().right(), button.left());
    EXPECT_TRUE(completa->geometry().intersects(QRect(0, button.top(), window->width(), button.height())));

    QTest::keyClicks(scheda(10), QStringLiteral("oca_"));
    selectFile(QString::fromStdString(name));
    QTest::mouseClick(completa, Qt::LeftButton, {}, QPoint(5, completa->height() / 2));
    ASSERT_TRUE(completa->isChecked());
    pressFattElett();
    EXPECT_TRUE(answers.texts().isEmpty()) << answers.texts().join('|').toStdString();
    EXPECT_FALSE(view->isHidden());
    EXPECT_TRUE(find<InvoiceView>("Pic_Fatt")->isHidden());
    EXPECT_TRUE(find<QWidget>("List1")->isHidden());
    EXPECT_EQ(view->geometry(), find<InvoiceView>("Pic_Fatt")->geometry()) << "the page's place";

    // The sheets the core lays out, drawn as the PNG draws them at the view's scale.
    const std::vector<Sheet> want = expectTheSheetsOf(name);
    const QImage shown = view->widget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage png = renderSheets(want, kSheetStyle, view->scala());
    ASSERT_EQ(shown.size(), png.size());
    // The same pixels, but for the last bit of a letter's smoothed edge
    // (the window's surface blends a shade differently).
    int differ = 0;
    for (int y = 0; y < png.height(); ++y) {
        for (int x = 0; x < png.width(); ++x) {
            const QRgb a = shown.pixel(x, y);
            const QRgb b = png.pixel(x, y);
            differ += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b)) > 12;
        }
    }
    EXPECT_EQ(differ, 0) << view->scala();
    // A long view scrolls, with the keyboard too.
    view->setFocus();
    QTest::keyClick(view, Qt::Key_PageDown);
    EXPECT_GT(view->verticalScrollBar()->value(), 0);

    // Escape brings the listing back; without "Completa" the page is shown again.
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_TRUE(view->isHidden());
    EXPECT_FALSE(find<QWidget>("List1")->isHidden());
    completa->setChecked(false);
    pressFattElett();
    EXPECT_TRUE(view->isHidden());
    EXPECT_FALSE(find<InvoiceView>("Pic_Fatt")->isHidden());

    // Saved with the other switches, as line 15 of Crv_XML.ini.
    completa->setChecked(true);
    click("Cmd_Salva_Impostazioni");
    const std::string saved = readFile(suite.paths().crvXmlIni());
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 15) << saved;
    EXPECT_TRUE(saved.ends_with("\r\n 1 \r\n")) << saved;
    WindowSettings read;
    LeggiImpostazioni(suite.paths().crvXmlIni(), read);
    EXPECT_EQ(read.completa, 1);
}

TEST_F(CompleteWindow, EachAttachmentIsSavedByItsButtonUnderASafeName)
{
    const std::string name = suite.addImportFile("fatturapa/completa_tutti_i_blocchi.xml");
    ASSERT_NO_FATAL_FAILURE(startWithInvoices());
    completa->setChecked(true);
    selectFile(QString::fromStdString(name));
    pressFattElett();
    expectTheSheetsOf(name);
    TempDir folder;
    FolderDialogAnswerer dialogs(QString::fromStdString(folder.path().string()));
    const auto pressSave = [this](int n) {
        auto* const button = view->widget()->findChild<QPushButton*>(QStringLiteral("Salva_Allegato_%1").arg(n));
        ASSERT_NE(button, nullptr);
        view->ensureWidgetVisible(button);
        EXPECT_TRUE(button->isVisible());
        QTest::mouseClick(button, Qt::LeftButton);
    };
    pressSave(1);  // "../../nota.txt": saved in the folder, not above it
    pressSave(1);  // again: beside the first, never over it
    pressSave(0);
    EXPECT_EQ(dialogs.names, (QStringList{"SalvaAllegato", "SalvaAllegato", "SalvaAllegato"}));
    EXPECT_EQ(readFile(folder / "nota.txt"), "Ciao mondo\n");
    EXPECT_EQ(readFile(folder / "nota (2).txt"), "Ciao mondo\n");
    EXPECT_EQ(readFile(folder / "parcella dettagliata.pdf").substr(0, 8), "%PDF-1.4");
    ASSERT_EQ(answers.texts().size(), 3);
    EXPECT_EQ(answers.texts()[0], QStringLiteral("Allegato \"../../nota.txt\" salvato in ") +
                                      QString::fromStdString((folder / "nota.txt").string()));
    EXPECT_FALSE(std::filesystem::exists(folder.path().parent_path() / "nota.txt"));
}

}  // namespace
}  // namespace crv::test
