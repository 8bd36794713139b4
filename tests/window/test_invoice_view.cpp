// The invoice page widget as the window uses it: it shows the same pixels as
// the PNG, scrolls a long invoice down to its totals, closes on Escape and
// keeps its page when a file cannot be shown.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "invoice/invoice_reader.h"
#include "invoice/page_layout.h"
#include "invoice/sheet_export.h"
#include "support/golden_support.h"
#include "support/invoice_samples.h"
#include "support/test_support.h"
#include "window/full_invoice_view.h"
#include "window/invoice_view.h"

namespace crv {
namespace {

QString sample(const char* name)
{
    return QString::fromStdString(test::dataFile(std::string("fatturapa/") + name).string());
}

// An invoice of n lines in a scratch file.
QString longInvoice(const test::TempDir& tmp, int n)
{
    const auto path = tmp / "lunga.xml";
    test::writeFile(path, test::invoiceOfLines(n));
    return QString::fromStdString(path.string());
}

TEST(InvoiceView, ShowsTheSamePixelsAsThePng)
{
    InvoiceView view;
    view.resize(1200, 700);
    view.show();
    const auto failure = view.mostraFattura(sample("oca_FPR03_signed_cades_der.xml.p7m"), 18, Regional::italian());
    ASSERT_FALSE(failure) << failure->toStdString();
    const QImage shown = view.widget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const InvoiceReading r = readInvoiceFile(test::dataFile("fatturapa/oca_FPR03_signed_cades_der.xml.p7m"));
    ASSERT_TRUE(r.ok());
    const Sheet page = layoutInvoice(r.fattura, Regional::italian()).at(0);
    EXPECT_EQ(shown, renderSheets({&page, 1}, pageStyle(18), 1));
}

// Every sample on screen, pixel for pixel as recorded (see the invoice
// tests' pictures): the page of each document, and the complete view's
// sheets at the scale of a view 1000 pixels wide.
TEST(InvoiceView, EverySampleShowsTheRecordedPixels)
{
    InvoiceView page;
    FullInvoiceView full;
    full.resize(1000, 700);
    std::string listing;
    for (const std::filesystem::path& file : test::invoiceSamples()) {
        const std::string name = file.filename().string();
        const QString path = QString::fromStdString(file.string());
        if (page.mostraFattura(path, 18, Regional::italian())) {
            listing += name + " non mostrata\n";
            continue;
        }
        for (std::size_t i = 0; i < page.documenti(); ++i) {
            page.mostraDocumento(i);
            listing += test::pictureLine(name + "_schermo_pagina_" + std::to_string(i + 1), page.widget()->grab().toImage()) + "\n";
        }
        ASSERT_FALSE(full.mostraFattura(path, Regional::italian())) << name;
        listing += test::pictureLine(name + "_schermo_completa", full.widget()->grab().toImage()) + "\n";
    }
    test::expectMatchesGolden(listing, "fatturapa/schermo.expected");
}

TEST(InvoiceView, ALongInvoiceScrollsDownToItsTotals)
{
    test::TempDir tmp;
    InvoiceView view;
    view.resize(1200, 500);
    view.show();
    ASSERT_FALSE(view.mostraFattura(longInvoice(tmp, 40), 18, Regional::italian()));
    QScrollBar* bar = view.verticalScrollBar();
    EXPECT_EQ(bar->value(), 0);
    EXPECT_GT(bar->maximum(), 0);  // 68 rows do not fit in 500 pixels
    // The keyboard scrolls too.
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_PageDown);
    EXPECT_GT(bar->value(), 0);
    bar->setValue(bar->maximum());
    QApplication::processEvents();
    // The bottom of the frame (row 27 + 40 = 67) is now in sight.
    const QImage seen = view.viewport()->grab().toImage();
    const int frameBottom = 67 * 18 - bar->value();
    ASSERT_GE(frameBottom, 0);
    ASSERT_LT(frameBottom, seen.height());
    EXPECT_EQ(seen.pixel(200, frameBottom), qRgb(0, 0, 0));
    EXPECT_EQ(seen.pixel(200, frameBottom - 1), qRgb(255, 255, 255));
}

TEST(InvoiceView, APartRepaintedShowsWhatTheWholePageShowsThere)
{
    // Scrolling repaints strips of the page; a text whose top lies above a
    // strip still reaches into it, by several rows when the spacing is small.
    // The complete view's sheets are repainted in strips the same way.
    const QString file = sample("official_IT01234567890_FPR02_b2b_two_lines.xml");
    InvoiceView pages[3];
    FullInvoiceView full;
    std::vector<std::pair<std::string, QWidget*>> canvases;
    for (const auto& [view, spacing] : {std::pair{&pages[0], 18.0}, {&pages[1], 8.0}, {&pages[2], 5.0}}) {
        ASSERT_FALSE(view->mostraFattura(file, spacing, Regional::italian()));
        canvases.emplace_back("spacing " + std::to_string(spacing), view->widget());
    }
    ASSERT_FALSE(full.mostraFattura(file, Regional::italian()));
    canvases.emplace_back("completa", full.widget());
    for (const auto& [name, canvas] : canvases) {
        QImage whole(canvas->size(), QImage::Format_RGB32);
        canvas->render(&whole);
        const int step = canvas == full.widget() ? 61 : 7;  // sheets are tall
        for (int top = 0; top + 10 <= canvas->height(); top += step) {
            const QRect strip(0, top, canvas->width(), 10);
            QImage part(canvas->size(), QImage::Format_RGB32);
            part.fill(Qt::red);
            canvas->render(&part, strip.topLeft(), QRegion(strip));
            ASSERT_EQ(part.copy(strip), whole.copy(strip)) << name << ", strip from " << top;
        }
    }
}

// A batch shows one document at a time: the bar above the page says which,
// its buttons and Ctrl+PgGiù / Ctrl+PgSu move to the next and the previous
// one, each shown from its top as the PNG draws it. A file of one document
// has no bar, and its page keeps the whole place.
TEST(InvoiceView, ABatchShowsOneDocumentAtATime)
{
    InvoiceView view;
    view.resize(1200, 500);
    view.show();
    const InvoiceReading r = readInvoiceFile(test::dataFile("fatturapa/lotto_due_documenti_testi_lunghi.xml"));
    ASSERT_TRUE(r.ok());
    const std::vector<Sheet> pages = layoutInvoice(r.fattura, Regional::italian());
    ASSERT_EQ(pages.size(), 2u);
    ASSERT_FALSE(view.mostraFattura(sample("lotto_due_documenti_testi_lunghi.xml"), 18, Regional::italian()));
    auto* const bar = view.findChild<QWidget*>(QStringLiteral("Barra_Documenti"));
    auto* const previous = view.findChild<QToolButton*>(QStringLiteral("Documento_Precedente"));
    auto* const next = view.findChild<QToolButton*>(QStringLiteral("Documento_Successivo"));
    auto* const which = view.findChild<QLabel*>(QStringLiteral("Documento_Numero"));
    ASSERT_TRUE(bar && previous && next && which);
    const auto shows = [&](std::size_t i) {
        EXPECT_EQ(view.documenti(), 2u);
        EXPECT_EQ(view.documento(), i);
        EXPECT_EQ(view.pagina().ops, pages[i].ops);
        EXPECT_EQ(which->text(), QStringLiteral("Documento %1 di 2").arg(i + 1));
        EXPECT_EQ(previous->isEnabled(), i > 0);
        EXPECT_EQ(next->isEnabled(), i == 0);
        EXPECT_EQ(view.verticalScrollBar()->value(), 0);
        EXPECT_EQ(view.widget()->grab().toImage().convertToFormat(QImage::Format_RGB32),
                  renderSheets({&pages[i], 1}, pageStyle(18), 1));
    };
    EXPECT_TRUE(bar->isVisible());
    EXPECT_LE(bar->geometry().bottom(), view.viewport()->geometry().top()) << "the bar lies over the page";
    shows(0);

    view.verticalScrollBar()->setValue(100);
    QTest::mouseClick(next, Qt::LeftButton);
    shows(1);
    QTest::mouseClick(next, Qt::LeftButton);  // there is no third
    shows(1);
    QTest::keyClick(&view, Qt::Key_PageUp, Qt::ControlModifier);
    shows(0);
    QTest::keyClick(&view, Qt::Key_PageUp, Qt::ControlModifier);
    shows(0);
    QTest::keyClick(&view, Qt::Key_PageDown, Qt::ControlModifier);
    shows(1);
    // A click on the bar leaves the keys with the page.
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    view.setFocus();
    QTest::mouseClick(previous, Qt::LeftButton);
    shows(0);
    EXPECT_EQ(QApplication::focusWidget(), &view);

    // Escape closes the page whichever document it shows.
    QTest::mouseClick(next, Qt::LeftButton);
    QTest::keyClick(&view, Qt::Key_Escape);
    EXPECT_FALSE(view.isVisible());

    view.show();
    ASSERT_FALSE(view.mostraFattura(sample("oca_ripilogoiva_two_vat_rates_22_and_N1.xml"), 18, Regional::italian()));
    EXPECT_EQ(view.documenti(), 1u);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(view.viewport()->geometry().top(), view.frameWidth());
}

TEST(InvoiceView, EscapeClosesOtherKeysDoNot)
{
    InvoiceView view;
    view.show();
    ASSERT_FALSE(view.mostraFattura(sample("oca_FPR06_credit_note_TD04.xml"), 18, Regional::italian()));
    QSignalSpy closed(&view, &InvoiceView::chiusa);
    QTest::keyClick(&view, Qt::Key_A);
    QTest::keyClick(&view, Qt::Key_Return);
    EXPECT_TRUE(view.isVisible());
    EXPECT_EQ(closed.count(), 0);
    QTest::keyClick(&view, Qt::Key_Escape);
    EXPECT_FALSE(view.isVisible());
    EXPECT_EQ(closed.count(), 1);
    // Hidden, Escape means nothing to it.
    QTest::keyClick(&view, Qt::Key_Escape);
    EXPECT_EQ(closed.count(), 1);
}

TEST(InvoiceView, AFileThatCannotBeShownKeepsThePage)
{
    test::TempDir tmp;
    InvoiceView view;
    ASSERT_FALSE(view.mostraFattura(sample("oca_FPR06_credit_note_TD04.xml"), 20, Regional::italian()));
    const std::size_t before = view.pagina().ops.size();
    EXPECT_EQ(view.mostraFattura(sample("non_esiste.xml"), 18), QString("NON TROVO IL FILE"));
    test::writeFile(tmp / "senza.xml", "<FatturaElettronica><FatturaElettronicaBody/></FatturaElettronica>");
    EXPECT_EQ(view.mostraFattura(QString::fromStdString((tmp / "senza.xml").string()), 18),
              QString("NON TROVO HEADER.\nIl file non è una fattura elettronica: manca FatturaElettronicaHeader"));
    const auto broken = view.mostraFattura(sample("FPR03_firmata_troncata.xml.p7m"), 18);
    ASSERT_TRUE(broken);
    EXPECT_TRUE(broken->startsWith("Errore nel file "));
    EXPECT_EQ(view.pagina().ops.size(), before);
    EXPECT_EQ(view.interlinea(), 20);
}

TEST(InvoiceView, LineSpacingReadFromTheBoxAtEachPress)
{
    QLineEdit box;
    const struct {
        const char* typed;
        double spacing;
        const char* shown;
    } cases[] = {{"18", 18, "18"}, {"20", 20, "20"}, {"22.5", 22.5, "22.5"}, {"", 18, "18"},
                 {"abc", 18, "18"}, {"0", 18, "18"},  {"-5", 18, "18"},     {"25x", 25, "25x"}};
    for (const auto& c : cases) {
        box.setText(QString::fromUtf8(c.typed));
        EXPECT_EQ(InvoiceView::interlineaDa(box), c.spacing) << c.typed;
        EXPECT_EQ(box.text().toStdString(), c.shown) << c.typed;
    }
}

}  // namespace
}  // namespace crv
