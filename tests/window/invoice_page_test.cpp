// The invoice page in the window: "Fatt.Elett" draws the selected invoice at
// the spacing typed in Txt_Interlinea, files that cannot be shown give their
// message and keep the page, a long invoice scrolls down to its totals, and
// Escape brings the listing back.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QScrollBar>
#include <QSqlDatabase>
#include <QTest>
#include <QToolTip>

#include "invoice/invoice_reader.h"
#include "invoice/page_layout.h"
#include "invoice/sheet_export.h"
#include "support/invoice_samples.h"
#include "window/file_list.h"
#include "window/invoice_view.h"
#include "window/listing_view.h"
#include "window_fixture.h"

// Rectangles in readable form in the failure messages.
inline void PrintTo(const QRect& r, std::ostream* out)
{
    *out << r.x() << ',' << r.y() << ' ' << r.width() << 'x' << r.height();
}

namespace crv::test {
namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kYellow = qRgb(255, 255, 0);

class InvoiceWindow : public WindowTest {
protected:
    // Starts the window of an installation that shows "Fatt.Elett".
    void startWithInvoices()
    {
        suite.writeInstallation("fattura_elettronica=si\r\n");
        ASSERT_TRUE(start());
        page = find<InvoiceView>("Pic_Fatt");
        ASSERT_NE(page, nullptr);
    }
    // Presses "Fatt.Elett" and lets the window settle in its maximised size.
    void pressFattElett()
    {
        click("Cmd_Importa_3");
        EXPECT_TRUE(waitFor([this] { return window->isMaximized(); }, 2000));
        QApplication::processEvents();
    }
    // Escape on the page, as the operator presses it.
    void escape() const { QTest::keyClick(page, Qt::Key_Escape); }
    // The page of the sample's first document as the invoice core lays it out.
    static Sheet expected(const std::filesystem::path& file)
    {
        const InvoiceReading reading = readInvoiceFile(file);
        EXPECT_TRUE(reading.ok()) << reading.message;
        return layoutInvoice(reading.fattura, Regional::italian()).at(0);
    }
    // Where "Fatt.Elett" puts the page in a window narrower than the page:
    // over the listing, to the window's right edge, down to 100 twips above
    // the tab control's bottom.
    QRect placeOfThePage() const
    {
        const QWidget* const list = find<QWidget>("List1");
        EXPECT_LT(window->width() - list->x(), window->twips().px(16999)) << "the test screen is wider than the page";
        const int height = find<QWidget>("SSTab1")->height() - list->y() - window->twips().px(100);
        return {list->pos(), QSize(window->width() - list->x(), height)};
    }
    QImage drawn() const { return page->widget()->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    InvoiceView* page = nullptr;
};

TEST_F(InvoiceWindow, FattElettAsksNothingAndDrawsTheSelectedInvoiceAtTheTypedSpacing)
{
    const std::string name = suite.addImportFile("fatturapa/official_IT01234567890_FPR03_lotto_two_bodies.xml");
    ASSERT_NO_FATAL_FAILURE(startWithInvoices());
    const Sheet want = expected(suite.paths().importDir() / name);
    selectFile(QString::fromStdString(name));
    pressFattElett();

    EXPECT_TRUE(answers.texts().isEmpty()) << answers.texts().join('|').toStdString();
    EXPECT_FALSE(page->isHidden());
    EXPECT_TRUE(find<QWidget>("List1")->isHidden());
    EXPECT_EQ(page->pagina().ops, want.ops);
    EXPECT_EQ(page->interlinea(), 18);
    const QImage at18 = drawn();
    EXPECT_EQ(at18, renderSheets({&want, 1}, pageStyle(18), 1));
    // Row 11, the yellow band of the column headings, starts 198 pixels down.
    EXPECT_EQ(at18.pixel(20, 11 * 18 + 1), kYellow);
    EXPECT_EQ(at18.pixel(20, 11 * 18 - 2), kWhite);
    EXPECT_TRUE(QSqlDatabase::connectionNames().isEmpty()) << "a database connection was left open";
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
    const QRect place = placeOfThePage();
    EXPECT_EQ(page->geometry(), place) << window->width() << 'x' << window->height();

    // Escape on the page brings the listing back; 20 typed in the box spreads the rows.
    escape();
    EXPECT_TRUE(page->isHidden());
    EXPECT_FALSE(find<QWidget>("List1")->isHidden());
    auto* const spacing = find<QLineEdit>("Txt_Interlinea");
    spacing->clear();
    QTest::keyClicks(spacing, QStringLiteral("20"));
    pressFattElett();
    EXPECT_EQ(page->geometry(), place) << "the window maximised already gives the same place";
    EXPECT_EQ(page->interlinea(), 20);
    EXPECT_EQ(page->pagina().ops, want.ops);
    const QImage at20 = drawn();
    EXPECT_EQ(at20, renderSheets({&want, 1}, pageStyle(20), 1));
    EXPECT_EQ(at20.pixel(20, 11 * 20 + 1), kYellow);
    EXPECT_EQ(at20.pixel(20, 11 * 18 + 1), kWhite);
    EXPECT_GT(at20.height(), at18.height());

    // A box left unreadable draws at 18 and shows "18" again.
    escape();
    spacing->clear();
    QTest::keyClicks(spacing, QStringLiteral("x"));
    pressFattElett();
    EXPECT_EQ(spacing->text(), QStringLiteral("18"));
    EXPECT_EQ(page->interlinea(), 18);
}

TEST_F(InvoiceWindow, ASignedInvoiceListedThroughTheFilterIsDrawn)
{
    const std::string signed_ = suite.addImportFile("fatturapa/oca_FPR03_signed_cades_der.xml.p7m");
    ASSERT_NO_FATAL_FAILURE(startWithInvoices());
    auto* const files = find<window::FileList>("File1");
    EXPECT_TRUE(files->findItems(QString::fromStdString(signed_), Qt::MatchExactly).isEmpty())
        << "the design pattern leaves .p7m files out";
    QTest::keyClicks(scheda(10), QStringLiteral("oca_"));
    selectFile(QString::fromStdString(signed_));
    pressFattElett();
    EXPECT_TRUE(answers.texts().isEmpty()) << answers.texts().join('|').toStdString();
    EXPECT_EQ(page->pagina().ops, expected(suite.paths().importDir() / signed_).ops);
}

TEST_F(InvoiceWindow, FilesThatCannotBeShownGiveTheirMessageAndKeepThePage)
{
    const std::string good = suite.addImportFile("fatturapa/oca_FPR06_credit_note_TD04.xml");
    writeFile(suite.paths().importDir() / "rotta.xml",
              "<FatturaElettronica>\n<FatturaElettronicaHeader>\n</FatturaElettronica>\n");
    writeFile(suite.paths().importDir() / "senza_header.xml",
              "<FatturaElettronica><FatturaElettronicaBody/></FatturaElettronica>");
    writeFile(suite.paths().importDir() / "sparita.xml", invoiceOfLines(1));
    ASSERT_NO_FATAL_FAILURE(startWithInvoices());
    QList<QMessageBox::StandardButtons> buttons;
    answers.onShown = [&buttons](QMessageBox& box) { buttons.push_back(box.standardButtons()); };

    // Nothing selected yet: there is no file to show.
    pressFattElett();
    ASSERT_EQ(answers.texts().size(), 1);
    EXPECT_EQ(answers.texts()[0], QStringLiteral("NON TROVO IL FILE"));
    EXPECT_FALSE(page->isHidden()) << "the page stays in place until Escape";

    escape();
    selectFile(QString::fromStdString(good));
    pressFattElett();
    ASSERT_EQ(answers.texts().size(), 1);
    const Sheet shown = page->pagina();
    ASSERT_EQ(shown.ops, expected(suite.paths().importDir() / good).ops);

    // Selected, then removed before the press.
    escape();
    selectFile(QStringLiteral("sparita.xml"));
    std::filesystem::remove(suite.paths().importDir() / "sparita.xml");
    pressFattElett();
    ASSERT_EQ(answers.texts().size(), 2);
    EXPECT_EQ(answers.texts()[1], QStringLiteral("NON TROVO IL FILE"));

    escape();
    selectFile(QStringLiteral("rotta.xml"));
    pressFattElett();
    ASSERT_EQ(answers.texts().size(), 3);
    const QStringList lines = answers.texts()[2].split('\n');
    ASSERT_GE(lines.size(), 4) << answers.texts()[2].toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("Errore nel file ") +
                            QString::fromStdString((suite.paths().importDir() / "rotta.xml").string()));
    EXPECT_EQ(lines[1], QStringLiteral("Linea = 3"));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("Pos = "))) << lines[2].toStdString();
    EXPECT_EQ(lines[3], QStringLiteral("Src = </FatturaElettronica>"));

    EXPECT_FALSE(page->isHidden());

    // A file that is no invoice at all: the message says so in plain words,
    // and the listing and the file list come back with it.
    escape();
    selectFile(QStringLiteral("senza_header.xml"));
    pressFattElett();
    ASSERT_EQ(answers.texts().size(), 4);
    EXPECT_EQ(answers.texts()[3],
              QStringLiteral("NON TROVO HEADER.\nIl file non è una fattura elettronica: manca FatturaElettronicaHeader"));
    EXPECT_TRUE(page->isHidden());
    EXPECT_FALSE(find<QWidget>("List1")->isHidden());

    // Every message came with OK alone, and the page kept the last invoice shown.
    for (const QMessageBox::StandardButtons b : buttons) EXPECT_EQ(b, QMessageBox::Ok);
    EXPECT_EQ(page->pagina().ops, shown.ops);
}

TEST_F(InvoiceWindow, ANumberDrawnSmallerIsWholeInItsRowsToolTip)
{
    const std::string name = suite.addImportFile("fatturapa/oca_ripilogoiva_two_vat_rates_22_and_N1.xml");
    ASSERT_NO_FATAL_FAILURE(startWithInvoices());
    selectFile(QString::fromStdString(name));
    pressFattElett();
    // Line 2 on row 13: its quantity "4.900000" is drawn smaller, its
    // description goes on over row 14 and is whole on the page, as is line 1's
    // row and a party's.
    for (const auto& [row, tip] : {std::pair{13, std::string("4.900000")}, {14, std::string()}, {12, std::string()},
                                   {3, std::string()}}) {
        QToolTip::hideText();
        ASSERT_TRUE(waitFor([] { return !QToolTip::isVisible(); }, 3000));
        const QPoint at(300, row * 18 + 9);
        QHelpEvent help(QEvent::ToolTip, at, page->widget()->mapToGlobal(at));
        QApplication::sendEvent(page->widget(), &help);
        EXPECT_EQ(QToolTip::isVisible() ? QToolTip::text() : QString(), QString::fromStdString(tip)) << row;
    }
}

TEST_F(InvoiceWindow, AFortyLineInvoiceScrollsToItsTotals)
{
    writeFile(suite.paths().importDir() / "quaranta.xml", invoiceOfLines(40));
    ASSERT_NO_FATAL_FAILURE(startWithInvoices());
    selectFile(QStringLiteral("quaranta.xml"));
    pressFattElett();
    ASSERT_TRUE(answers.texts().isEmpty()) << answers.texts().join('|').toStdString();
    ASSERT_EQ(page->pagina().ops.size(), expected(suite.paths().importDir() / "quaranta.xml").ops.size());

    QScrollBar* const bar = page->verticalScrollBar();
    EXPECT_EQ(bar->value(), 0);
    ASSERT_GT(bar->maximum(), 0) << "68 rows of 18 pixels do not fit in the window";
    // The operator pages down to the end.
    for (int i = 0; i < 20 && bar->value() < bar->maximum(); ++i) QTest::keyClick(page, Qt::Key_PageDown);
    ASSERT_EQ(bar->value(), bar->maximum());
    QApplication::processEvents();

    const QImage seen = page->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    // The totals block of 40 lines: "Totale Documento" on row 13 + 40 + 12,
    // the bottom of the frame on row 13 + 40 + 14.
    const int totals = 65 * 18 - bar->value();
    const int frameBottom = 67 * 18 - bar->value();
    ASSERT_GE(totals, 0);
    ASSERT_LT(frameBottom, seen.height());
    EXPECT_EQ(seen.pixel(200, frameBottom), qRgb(0, 0, 0));
    EXPECT_EQ(seen.pixel(200, frameBottom - 1), kWhite);
    int ink = 0;
    for (int y = totals; y < totals + 18; ++y)
        for (int x = 40 * 14; x < 52 * 14; ++x) ink += seen.pixel(x, y) != kWhite;
    EXPECT_GT(ink, 50) << "\"Totale Documento\" is not in sight";
}

}  // namespace
}  // namespace crv::test
