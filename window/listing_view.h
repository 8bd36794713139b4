#pragma once
// The listing of an import run (List1): a read-only list of text lines in a
// fixed-pitch font. It paints only the lines in view, so it stays quick with
// millions of lines arriving while the run goes on, and keeps the newest
// lines up to a limit, so its memory stays bounded for a delivery of a
// million cases: the first line then says how many earlier lines went (the
// command line prints every one).
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include <QAbstractScrollArea>
#include <QString>

#include "window/listing_chunk.h"

namespace crv::window {

class ListingView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit ListingView(QWidget* parent = nullptr);

    // Removes every line.
    void clear();
    // Adds the batch's lines at the end. While the view shows the last line
    // it keeps following the end; once the operator scrolls up it stays where
    // he left it, and follows again when he comes back to the end.
    void append(ListingChunk&& chunk);
    // Adds one line.
    void addLine(const QString& line);

    // How much of the listing's text (line ends counted) the view keeps at
    // most; the oldest batches go first. The default suits any delivery.
    void setLimit(std::size_t bytes);
    static constexpr std::size_t kDefaultLimit = std::size_t{64} << 20;
    // Lines no longer kept since the last clear().
    std::int64_t droppedLines() const { return dropped_; }

    // Number of lines shown (the line about the dropped ones included).
    std::int64_t lineCount() const { return count_; }
    // Line `row` (0-based); empty when out of range.
    QString line(std::int64_t row) const;
    // The selected line, or -1.
    std::int64_t currentRow() const { return current_; }
    // Selects a line and scrolls it into view.
    void setCurrentRow(std::int64_t row);
    // The first line in view.
    std::int64_t firstVisibleRow() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void updateScrollBars();
    void dropOldest();
    int lineHeight() const;
    int visibleRows() const;
    std::string_view rawLine(std::int64_t row) const;

    std::deque<ListingChunk> chunks_;
    std::deque<std::int64_t> firstRow_;   // first line of each chunk, counted from the last clear()
    std::int64_t total_ = 0;              // lines added since the last clear()
    std::int64_t dropped_ = 0;            // of which no longer kept
    std::string droppedNotice_;           // row 0 when some were dropped
    std::size_t bytes_ = 0;               // text and line ends kept
    std::size_t limit_ = kDefaultLimit;
    std::int64_t count_ = 0;
    std::size_t widest_ = 0;              // longest line, in columns at most
    std::int64_t current_ = -1;
    // Whether the view keeps the last line in sight. Kept apart from the scroll
    // bar's position: the bar's range grows with the lines and shrinks when a
    // horizontal bar appears, and either leaves an old end behind.
    bool following_ = true;
};

}  // namespace crv::window
