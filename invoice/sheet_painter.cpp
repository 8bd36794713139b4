#include "invoice/sheet_painter.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>

#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "invoice/page_painter.h"

namespace crv {
namespace {

// Texts are measured this many times larger than they are drawn, so that
// the whole-pixel steps of a small font do not creep into the widths.
constexpr float kMeasureScale = 64;

// A device of 72 dots per inch, on which a point is a pixel.
const QImage& pointDevice()
{
    static const QImage image = [] {
        QImage i(1, 1, QImage::Format_RGB32);
        i.setDotsPerMeterX(2835);  // 72.009 dpi, which Qt rounds to 72
        i.setDotsPerMeterY(2835);
        return i;
    }();
    return image;
}

QString cleaned(std::string_view text)
{
    QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    for (QChar& c : s) {
        if ((c.unicode() < 0x20 && c.unicode() != '\n') || c.unicode() == 0x7F) c = QLatin1Char(' ');
    }
    return s;
}

}  // namespace

QFont sheetFont(float size, bool bold, const QPaintDevice& device)
{
    QFont font = pageFont(12, bold, device);  // the page's face, weight and hinting
    const int dpi = device.logicalDpiY() > 0 ? device.logicalDpiY() : 72;
    font.setPointSizeF(static_cast<double>(size) * 72.0 / dpi);
    // Any letter spacing other than none makes Qt leave ligatures out; this
    // one changes no width.
    font.setLetterSpacing(QFont::PercentageSpacing, 100.0001);
    return font;
}

struct SheetMetrics::Measures {
    QFont font;
    QFontMetricsF metrics;
    float space;
    explicit Measures(QFont f) : font(std::move(f)), metrics(font, &pointDevice())
    {
        space = static_cast<float>(metrics.horizontalAdvance(QLatin1Char(' '))) / kMeasureScale;
    }
};

SheetMetrics::SheetMetrics()
{
    pointDevice();
}

const SheetMetrics::Measures& SheetMetrics::measures(float size, bool bold) const
{
    static std::mutex mutex;
    static std::map<std::pair<float, bool>, std::unique_ptr<Measures>> cache;
    const std::lock_guard lock(mutex);
    auto& slot = cache[{size, bold}];
    if (!slot) slot = std::make_unique<Measures>(sheetFont(size * kMeasureScale, bold, pointDevice()));
    return *slot;
}

float SheetMetrics::width(std::string_view text, float size, bool bold) const
{
    return static_cast<float>(measures(size, bold).metrics.horizontalAdvance(cleaned(text))) / kMeasureScale;
}

float SheetMetrics::ascent(float size) const
{
    return static_cast<float>(measures(size, false).metrics.ascent()) / kMeasureScale;
}

float SheetMetrics::lineHeight(float size) const
{
    return static_cast<float>(measures(size, false).metrics.height()) / kMeasureScale;
}

std::vector<std::string> SheetMetrics::wrap(std::string_view text, float width, float size, bool bold) const
{
    const Measures& m = measures(size, bold);
    const auto fits = [&](const QString& s) {
        return static_cast<float>(m.metrics.horizontalAdvance(s)) / kMeasureScale <= width;
    };
    std::vector<std::string> lines;
    const QString all = cleaned(text);
    for (const QString& paragraph : all.split(QLatin1Char('\n'))) {
        QString line;
        for (const QString& word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
            if (fits(candidate)) {
                line = candidate;
                continue;
            }
            if (!line.isEmpty()) lines.push_back(line.toStdString());
            line.clear();
            // A word wider than the line goes on in pieces: each the longest
            // start that fits (at least one character), never cutting a
            // character in two.
            qsizetype from = 0;
            while (from < word.size()) {
                const qsizetype rest = word.size() - from;
                qsizetype lo = 1;
                qsizetype hi = std::min<qsizetype>(rest, 512);
                if (fits(word.mid(from, hi))) lo = hi;
                while (lo < hi) {
                    const qsizetype mid = (lo + hi + 1) / 2;
                    if (fits(word.mid(from, mid))) lo = mid;
                    else hi = mid - 1;
                }
                if (from + lo < word.size() && word.at(from + lo).isLowSurrogate()) lo = lo > 1 ? lo - 1 : lo + 1;
                const QString piece = word.mid(from, lo);
                from += lo;
                if (from < word.size()) lines.push_back(piece.toStdString());
                else line = piece;
            }
        }
        if (!line.isEmpty()) lines.push_back(line.toStdString());
    }
    return lines;
}

void paintSheet(QPainter& painter, const Sheet& sheet)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    QPaintDevice& device = *painter.device();
    for (const SheetOp& op : sheet.ops) {
        if (const auto* l = std::get_if<SheetLine>(&op)) {
            painter.setPen(QPen(QColor(l->grey, l->grey, l->grey), l->thickness));
            painter.drawLine(QPointF(l->x1, l->y1), QPointF(l->x2, l->y2));
        } else if (const auto* b = std::get_if<SheetBox>(&op)) {
            painter.fillRect(QRectF(b->x, b->y, b->width, b->height),
                             QColor((b->rgb >> 16) & 0xFF, (b->rgb >> 8) & 0xFF, b->rgb & 0xFF));
        }
    }
    // Texts in a face as many times larger as they are measured, in a space
    // as many times smaller: a small face's glyph widths rounded to whole
    // pixels would make a line wider than its column.
    painter.scale(1.0 / kMeasureScale, 1.0 / kMeasureScale);
    painter.setPen(Qt::black);
    std::map<std::pair<float, bool>, std::pair<QFont, double>> fonts;  // with its ascent
    for (const SheetOp& op : sheet.ops) {
        const auto* t = std::get_if<SheetText>(&op);
        if (t == nullptr) continue;
        auto [it, made] = fonts.try_emplace({t->size, t->bold});
        if (made) {
            it->second.first = sheetFont(t->size * kMeasureScale, t->bold, device);
            it->second.second = QFontMetricsF(it->second.first, &device).ascent();
        }
        painter.setFont(it->second.first);
        const QString text = cleaned(t->text);
        double x = t->x * kMeasureScale;
        if (t->allinea != Allinea::Sinistra) {
            const double free = t->width * kMeasureScale - QFontMetricsF(it->second.first, &device).horizontalAdvance(text);
            x += t->allinea == Allinea::Destra ? free : free / 2;
        }
        painter.drawText(QPointF(x, t->y * kMeasureScale + it->second.second), text);
    }
    painter.restore();
}

}  // namespace crv
