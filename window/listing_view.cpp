#include "window/listing_view.h"

#include <algorithm>

#include <QFontDatabase>
#include <QLocale>
#include <QSignalBlocker>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

namespace crv::window {

namespace {

constexpr int kMargin = 2;  // pixels left of the text
constexpr int kTabColumns = 8;

// The memo lines hold tabs; in the fixed-pitch listing they move to the next
// column that is a multiple of eight, as in a text editor.
QString expandTabs(const QString& line)
{
    if (!line.contains(QLatin1Char('\t'))) return line;
    QString out;
    out.reserve(line.size() + 4 * kTabColumns);
    for (const QChar c : line) {
        if (c == QLatin1Char('\t'))
            out.append(QString(kTabColumns - out.size() % kTabColumns, QLatin1Char(' ')));
        else
            out.append(c);
    }
    return out;
}

}  // namespace

ListingView::ListingView(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    // Only a move of the bar itself (the operator's, or the view's own to
    // the end) says whether to follow: a longer range leaves the value alone.
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this](int value) { following_ = value >= verticalScrollBar()->maximum(); });
}

void ListingView::clear()
{
    chunks_.clear();
    firstRow_.clear();
    total_ = 0;
    dropped_ = 0;
    droppedNotice_.clear();
    bytes_ = 0;
    count_ = 0;
    widest_ = 0;
    current_ = -1;
    following_ = true;
    updateScrollBars();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
}

namespace {
std::size_t weight(const ListingChunk& chunk)
{
    return chunk.text.size() + chunk.ends.size() * sizeof(chunk.ends.front());
}
}  // namespace

void ListingView::append(ListingChunk&& chunk)
{
    if (chunk.empty()) return;
    firstRow_.push_back(total_);
    total_ += static_cast<std::int64_t>(chunk.lineCount());
    bytes_ += weight(chunk);
    widest_ = std::max(widest_, chunk.widest);
    chunks_.push_back(std::move(chunk));
    count_ = total_ - dropped_ + (dropped_ > 0 ? 1 : 0);
    if (bytes_ > limit_) dropOldest();
    updateScrollBars();
    viewport()->update();
}

void ListingView::setLimit(std::size_t bytes)
{
    limit_ = bytes;
    if (bytes_ > limit_) {
        dropOldest();
        updateScrollBars();
        viewport()->update();
    }
}

// The oldest batches go, the newest always stays; what the operator looks
// at, when he has scrolled up, stays in view as long as it is kept.
void ListingView::dropOldest()
{
    const std::int64_t before = count_;
    while (bytes_ > limit_ && chunks_.size() > 1) {
        bytes_ -= weight(chunks_.front());
        dropped_ += static_cast<std::int64_t>(chunks_.front().lineCount());
        chunks_.pop_front();
        firstRow_.pop_front();
    }
    if (dropped_ == 0) return;
    count_ = total_ - dropped_ + 1;
    droppedNotice_ = "... " + QLocale(QLocale::Italian).toString(static_cast<qlonglong>(dropped_)).toStdString() +
                     (dropped_ == 1 ? " riga precedente non è più mostrata" : " righe precedenti non sono più mostrate") +
                     " (la finestra tiene le ultime; il listato completo con crvxml import)";
    const std::int64_t gone = before - count_;
    if (current_ >= 0) current_ = current_ - gone >= 1 ? current_ - gone : -1;
    if (!following_) {
        QScrollBar* const bar = verticalScrollBar();
        const QSignalBlocker quiet(bar);
        bar->setValue(static_cast<int>(std::max<std::int64_t>(0, bar->value() - gone)));
    }
}

void ListingView::addLine(const QString& line)
{
    ListingChunk chunk;
    chunk.append(line.toStdString());
    append(std::move(chunk));
}

std::string_view ListingView::rawLine(std::int64_t row) const
{
    if (row < 0 || row >= count_) return {};
    if (dropped_ > 0) {
        if (row == 0) return droppedNotice_;
        row += dropped_ - 1;  // counted from the last clear()
    }
    const auto it = std::upper_bound(firstRow_.begin(), firstRow_.end(), row);
    const std::size_t chunk = static_cast<std::size_t>(it - firstRow_.begin()) - 1;
    return chunks_[chunk].line(static_cast<std::size_t>(row - firstRow_[chunk]));
}

QString ListingView::line(std::int64_t row) const
{
    const std::string_view text = rawLine(row);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::int64_t ListingView::firstVisibleRow() const
{
    return verticalScrollBar()->value();
}

void ListingView::setCurrentRow(std::int64_t row)
{
    if (count_ == 0) return;
    current_ = std::clamp<std::int64_t>(row, 0, count_ - 1);
    QScrollBar* const bar = verticalScrollBar();
    const int rows = visibleRows();
    if (current_ < bar->value())
        bar->setValue(static_cast<int>(current_));
    else if (current_ >= bar->value() + rows)
        bar->setValue(static_cast<int>(current_ - rows + 1));
    viewport()->update();
}

int ListingView::lineHeight() const
{
    return std::max(1, fontMetrics().height());
}

int ListingView::visibleRows() const
{
    return std::max(1, viewport()->height() / lineHeight());
}

void ListingView::updateScrollBars()
{
    const int rows = visibleRows();
    QScrollBar* const v = verticalScrollBar();
    v->setRange(0, static_cast<int>(std::max<std::int64_t>(0, count_ - rows)));
    v->setPageStep(rows);
    v->setSingleStep(1);
    if (following_) v->setValue(v->maximum());
    QScrollBar* const h = horizontalScrollBar();
    const int textWidth = static_cast<int>(widest_) * fontMetrics().horizontalAdvance(QLatin1Char('M')) + 2 * kMargin;
    h->setRange(0, std::max(0, textWidth - viewport()->width()));
    h->setPageStep(viewport()->width());
    h->setSingleStep(fontMetrics().horizontalAdvance(QLatin1Char('M')));
}

void ListingView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    painter.setFont(font());
    const int height = lineHeight();
    const int ascent = fontMetrics().ascent();
    const int x = kMargin - horizontalScrollBar()->value();
    const std::int64_t first = firstVisibleRow();
    const int rows = viewport()->height() / height + 1;
    const QPalette& pal = palette();
    // Only the columns in view are drawn: a bank case's memo is one line of
    // thousands of characters. The face is fixed-pitch, so a column is a
    // fixed number of pixels.
    const int column = std::max(1, fontMetrics().horizontalAdvance(QLatin1Char('M')));
    const int firstColumn = horizontalScrollBar()->value() / column;
    const int columns = viewport()->width() / column + 2;
    const int textX = x + firstColumn * column;
    for (int i = 0; i < rows && first + i < count_; ++i) {
        const std::int64_t row = first + i;
        const int y = i * height;
        if (row == current_) {
            painter.fillRect(QRect(0, y, viewport()->width(), height), pal.brush(QPalette::Highlight));
            painter.setPen(pal.color(QPalette::HighlightedText));
        } else {
            painter.setPen(pal.color(QPalette::Text));
        }
        painter.drawText(textX, y + ascent, expandTabs(line(row)).mid(firstColumn, columns));
    }
}

void ListingView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void ListingView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        const std::int64_t row = firstVisibleRow() + static_cast<int>(event->position().y()) / lineHeight();
        if (row < count_) setCurrentRow(row);
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void ListingView::keyPressEvent(QKeyEvent* event)
{
    const std::int64_t rows = visibleRows();
    const std::int64_t from = current_ < 0 ? firstVisibleRow() : current_;
    switch (event->key()) {
    case Qt::Key_Up: setCurrentRow(from - 1); break;
    case Qt::Key_Down: setCurrentRow(current_ < 0 ? from : from + 1); break;
    case Qt::Key_PageUp: setCurrentRow(from - rows); break;
    case Qt::Key_PageDown: setCurrentRow(from + rows); break;
    case Qt::Key_Home: setCurrentRow(0); break;
    case Qt::Key_End: setCurrentRow(count_ - 1); break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
    }
    event->accept();
}

void ListingView::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        updateScrollBars();
        viewport()->update();
    }
}

}  // namespace crv::window
