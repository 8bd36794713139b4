// The layout rules on resizing, the invoice page's place and Escape.
#include <QCheckBox>
#include <QLabel>
#include <QScrollArea>
#include <QTest>

#include "window/file_list.h"
#include "window/listing_view.h"
#include "window/tab_control.h"
#include "window_fixture.h"

namespace crv::test {
namespace {

class Layout : public WindowTest {
protected:
    QWidget* control(const char* name) const { return find<QWidget>(name); }
    int px(int twips) const { return window->twips().px(twips); }
    void resizeTo(int w, int h) const
    {
        window->resize(w, h);
        QTest::qWait(20);
        ASSERT_EQ(window->size(), QSize(w, h));
    }
};

TEST_F(Layout, ResizeRulesAtSeveralSizes)
{
    ASSERT_TRUE(start());
    const int tabTop = control("SSTab1")->y();
    const int fileWidth = control("File1")->width();
    const int listLeft = control("List1")->x();
    const int listTop = control("List1")->y();
    const int filterWidth = control("Scheda_10")->width();
    const int status = control("Stato")->height();
    const QRect strip = scheda(8)->geometry();
    for (const QSize size : {QSize(1124, 673), QSize(1600, 1000), window->minimumSize(), QSize(2560, 1400)}) {
        resizeTo(size.width(), size.height());
        const int W = size.width();
        const int H = size.height();
        SCOPED_TRACE(std::to_string(W) + "x" + std::to_string(H));
        // The status line along the bottom, the tab control down to it.
        EXPECT_EQ(control("Stato")->geometry(), QRect(0, H - status, W, status));
        EXPECT_EQ(control("SSTab1")->size(), QSize(W, H - status - tabTop));
        EXPECT_EQ(control("File1")->x(), W - fileWidth);
        for (const char* glued : {"LBLFILEIMPORT", "lblfileinfo", "Check1"}) EXPECT_EQ(control(glued)->x(), W - fileWidth);
        EXPECT_EQ(control("List1")->geometry(),
                  QRect(listLeft, listTop, W - fileWidth - listLeft, H - status - tabTop - listTop));
        EXPECT_EQ(control("Scheda_10")->x(), W - filterWidth - px(200));
        EXPECT_EQ(control("Pic_Fatt")->geometry(), QRect(listLeft, listTop, W - listLeft, H - status - tabTop - listTop));
        EXPECT_EQ(scheda(8)->geometry(), strip) << "the strip keeps its design layout";
    }
}

TEST_F(Layout, AVerySmallWindowGivesNoNegativeSize)
{
    ASSERT_TRUE(start());
    // A tiling window manager may ignore the window's minimum size.
    window->setMinimumSize(0, 0);
    resizeTo(120, 40);
    EXPECT_EQ(control("SSTab1")->height(), 0);
    EXPECT_EQ(control("List1")->size(), QSize(0, 0));
    EXPECT_EQ(control("Pic_Fatt")->height(), 0);
    EXPECT_GE(control("Pic_Fatt")->width(), 0);
    resizeTo(1124, 673);
    EXPECT_GT(control("List1")->width(), 0);
}

TEST_F(Layout, AtItsSmallestEveryControlIsInSightAndNoneLiesOverAnother)
{
    suite.writeInstallation("importa_rove=si\r\nfattura_elettronica=si\r\n");
    ASSERT_TRUE(start());
    auto* const tabs = find<window::TabControl>("SSTab1");
    window->resize(700, 400);
    QTest::qWait(20);
    EXPECT_EQ(window->size(), window->minimumSize());
    for (const int tab : {1, 0}) {
        tabs->setCurrentIndex(tab);
        // The strip, the row of tabs and the controls of the tab shown.
        QList<QWidget*> shown = window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        shown += tabs->page(tab)->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        shown.replace(shown.indexOf(tabs), tabs->tabBar());
        std::vector<std::pair<std::string, QRect>> places;
        for (const QWidget* w : shown) {
            if (!w->isHidden() && !w->objectName().isEmpty())
                places.emplace_back(w->objectName().toStdString(), QRect(w->mapTo(window.get(), QPoint()), w->size()));
        }
        for (auto it = places.begin(); it != places.end(); ++it) {
            EXPECT_TRUE(!it->second.isEmpty() && window->rect().contains(it->second)) << it->first;
            // The design lets a frame's edge and its neighbour share a pixel.
            for (auto other = it + 1; other != places.end(); ++other) {
                const QRect common = it->second.intersected(other->second);
                EXPECT_TRUE(common.width() <= 1 || common.height() <= 1) << it->first << " " << other->first;
            }
        }
    }
}

TEST_F(Layout, NothingMovesWhileMinimised)
{
    ASSERT_TRUE(start());
    const QRect list = control("List1")->geometry();
    window->showMinimized();
    QTest::qWait(20);
    if (!window->isMinimized()) GTEST_SKIP() << "the platform does not minimise";
    window->resize(700, 400);
    QTest::qWait(20);
    EXPECT_EQ(control("List1")->geometry(), list);
}

TEST_F(Layout, InvoicePagePlaceAndEscape)
{
    suite.writeInstallation("fattura_elettronica=si\r\n");
    ASSERT_TRUE(start());
    // Escape with the listing shown does nothing.
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_FALSE(control("List1")->isHidden());
    EXPECT_TRUE(control("Pic_Fatt")->isHidden());

    // No file selected: the page takes its place all the same and says
    // "NON TROVO IL FILE"; Escape must work after that message too.
    click("Cmd_Importa_3");
    EXPECT_EQ(answers.texts(), QStringList{QStringLiteral("NON TROVO IL FILE")});
    auto* const page = find<QScrollArea>("Pic_Fatt");
    EXPECT_TRUE(control("List1")->isHidden());
    EXPECT_FALSE(page->isHidden());
    EXPECT_EQ(page->pos(), control("List1")->pos());
    EXPECT_TRUE(waitFor([this] { return window->isMaximized(); }, 2000));
    EXPECT_EQ(page->palette().color(QPalette::Base), QColor(Qt::white));

    // Escape in a box of the strip closes the page too.
    scheda(0)->setFocus();
    QTest::keyClick(scheda(0), Qt::Key_Escape);
    EXPECT_TRUE(page->isHidden());
    EXPECT_FALSE(control("List1")->isHidden());

    // And on the page itself.
    click("Cmd_Importa_3");
    ASSERT_FALSE(page->isHidden());
    QTest::keyClick(page, Qt::Key_Escape);
    EXPECT_TRUE(page->isHidden());
    EXPECT_FALSE(control("List1")->isHidden());
}

TEST_F(Layout, ListingFollowsTheEndUntilScrolledUp)
{
    ASSERT_TRUE(start());
    auto* const list = find<window::ListingView>("List1");
    const auto batch = [](int from, int count) {
        window::ListingChunk chunk;
        for (int i = from; i < from + count; ++i) chunk.append("riga " + std::to_string(i));
        return chunk;
    };
    list->append(batch(0, 500));
    list->append(batch(500, 3));
    list->append(window::ListingChunk());
    list->append(batch(503, 500));
    ASSERT_EQ(list->lineCount(), 1003);
    EXPECT_EQ(list->line(0), QStringLiteral("riga 0"));
    EXPECT_EQ(list->line(499), QStringLiteral("riga 499"));
    EXPECT_EQ(list->line(500), QStringLiteral("riga 500"));
    EXPECT_EQ(list->line(503), QStringLiteral("riga 503"));
    EXPECT_EQ(list->line(1002), QStringLiteral("riga 1002"));
    EXPECT_TRUE(list->line(1003).isEmpty());
    EXPECT_GT(list->firstVisibleRow(), 900) << "the view follows the end";

    QTest::keyClick(list, Qt::Key_Home);
    list->append(batch(1003, 100));
    EXPECT_EQ(list->firstVisibleRow(), 0) << "scrolled up, the view stays";
    EXPECT_EQ(list->currentRow(), 0);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->currentRow(), 1);
    list->clear();
    EXPECT_EQ(list->lineCount(), 0);
}

// A delivery of a million cases: the view keeps the newest batches up to its
// limit, says how many lines went, and what the operator reads stays put.
TEST_F(Layout, AListingOverItsLimitKeepsTheNewestLinesAndSaysSo)
{
    ASSERT_TRUE(start());
    auto* const list = find<window::ListingView>("List1");
    const auto batch = [](int from) {
        window::ListingChunk chunk;
        for (int i = from; i < from + 100; ++i) chunk.append("riga " + std::to_string(1000 + i));
        return chunk;
    };
    // A batch weighs 100 lines of 9 bytes and their ends: three fit.
    list->setLimit(3 * 1300 + 1);
    const struct {
        int batches;           // appended so far
        std::int64_t dropped;  // lines no longer kept
        const char* first;     // the first line kept
    } steps[] = {{3, 0, "riga 1000"}, {4, 100, "riga 1100"}, {10, 700, "riga 1700"}};
    int added = 0;
    for (const auto& step : steps) {
        while (added < step.batches) list->append(batch(100 * added++));
        EXPECT_EQ(list->droppedLines(), step.dropped) << step.batches;
        const int notice = step.dropped > 0 ? 1 : 0;
        ASSERT_EQ(list->lineCount(), 300 + notice) << step.batches;
        EXPECT_EQ(list->line(notice), QString::fromUtf8(step.first)) << step.batches;
        EXPECT_EQ(list->line(list->lineCount() - 1), QStringLiteral("riga %1").arg(1000 + 100 * step.batches - 1));
        if (notice) {
            EXPECT_TRUE(list->line(0).startsWith(QStringLiteral("... %1 righe precedenti non sono più mostrate")
                                                     .arg(step.dropped)))
                << list->line(0).toStdString();
        }
    }
    EXPECT_GT(list->firstVisibleRow(), 250) << "the view follows the end";

    // Scrolled up to a line still kept, the line stays in view as older ones go.
    list->setCurrentRow(150);
    QTest::keyClick(list, Qt::Key_Up);
    const std::int64_t top = list->firstVisibleRow();
    const QString reading = list->line(top);
    list->append(batch(100 * added++));
    EXPECT_EQ(list->line(list->firstVisibleRow()), reading);
    EXPECT_EQ(list->line(list->currentRow()), QStringLiteral("riga 1848"));

    // A smaller limit drops at once; the newest batch always stays.
    list->setLimit(1);
    EXPECT_EQ(list->lineCount(), 101);
    EXPECT_EQ(list->line(1), QStringLiteral("riga 2000"));
    list->clear();
    EXPECT_EQ(list->droppedLines(), 0);
    EXPECT_EQ(list->lineCount(), 0);
}

}  // namespace
}  // namespace crv::test
