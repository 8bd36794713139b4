#include "invoice/sheet_painter.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>

#include <map>
#include <tuple>
#include <unordered_map>
#include <memory>
#include <mutex>
#include <utility>

#include "invoice/page_painter.h"
#include "invoice/text_wrap.h"

namespace crv {
namespace {

// Texts are measured and drawn in a face twice as large as they are, in a
// space half as large: Qt makes a face of a whole number of pixels (6.5
// would be drawn at 7), and the sizes of the sheets are whole or half points.
constexpr float kMeasureScale = 2;

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

// One face at one size, measured: widths of whole texts are kept, as the
// layout and the painter ask for the same texts again and again.
struct SheetMetrics::Measures {
    QFont font;
    QFontMetricsF metrics;
    std::unordered_map<std::string, float> widths;
    explicit Measures(QFont f) : font(std::move(f)), metrics(font, &pointDevice()) {}
    float width(const std::string& text)
    {
        if (const auto it = widths.find(text); it != widths.end()) return it->second;
        if (widths.size() > 50000) widths.clear();  // a bound for a long session in the window
        const float w = static_cast<float>(metrics.horizontalAdvance(cleaned(text))) / kMeasureScale;
        widths.emplace(text, w);
        return w;
    }
};

namespace {

// The measures are shared by every layout and painting of the process.
std::mutex& measuresMutex()
{
    static std::mutex mutex;
    return mutex;
}

}  // namespace

SheetMetrics::SheetMetrics()
{
    pointDevice();
}

SheetMetrics::Measures& SheetMetrics::measures(float size, bool bold) const
{
    static std::map<std::pair<float, bool>, std::unique_ptr<Measures>> cache;
    auto& slot = cache[{size, bold}];
    if (!slot) slot = std::make_unique<Measures>(sheetFont(size * kMeasureScale, bold, pointDevice()));
    return *slot;
}

float SheetMetrics::width(std::string_view text, float size, bool bold) const
{
    const std::lock_guard lock(measuresMutex());
    return measures(size, bold).width(std::string(text));
}

float SheetMetrics::ascent(float size) const
{
    const std::lock_guard lock(measuresMutex());
    return static_cast<float>(measures(size, false).metrics.ascent()) / kMeasureScale;
}

float SheetMetrics::lineHeight(float size) const
{
    const std::lock_guard lock(measuresMutex());
    return static_cast<float>(measures(size, false).metrics.height()) / kMeasureScale;
}

std::vector<std::string> SheetMetrics::wrap(std::string_view text, float width, float size, bool bold) const
{
    const std::lock_guard lock(measuresMutex());
    Measures& m = measures(size, bold);
    const auto fits = [&](const QString& s) { return m.width(s.toStdString()) <= width; };
    std::vector<std::string> lines;
    // Most cells hold one line that fits: measured once, kept whole.
    if (text.find('\n') == std::string_view::npos && m.width(std::string(text)) <= width) {
        const QString one = cleaned(text).simplified();
        if (!one.isEmpty()) lines.push_back(one.toStdString());
        return lines;
    }
    for (const QString& line : wrapWords(cleaned(text), fits)) lines.push_back(line.toStdString());
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
    // Texts in the face they are measured in (see kMeasureScale).
    painter.scale(1.0 / kMeasureScale, 1.0 / kMeasureScale);
    painter.setPen(Qt::black);
    const SheetMetrics metrics;
    // The faces stay made for the next sheet and the next painting (Qt drops
    // a face nobody holds, and making it again costs more than the drawing).
    static std::mutex mutex;
    static std::map<std::tuple<float, bool, int>, QFont> faces;
    const std::lock_guard lock(mutex);
    for (const SheetOp& op : sheet.ops) {
        const auto* t = std::get_if<SheetText>(&op);
        if (t == nullptr) continue;
        auto [it, made] = faces.try_emplace({t->size, t->bold, device.logicalDpiY()});
        if (made) it->second = sheetFont(t->size * kMeasureScale, t->bold, device);
        painter.setFont(it->second);
        double x = t->x;
        if (t->allinea != Allinea::Sinistra) {
            const double free = t->width - metrics.width(t->text, t->size, t->bold);
            x += t->allinea == Allinea::Destra ? free : free / 2;
        }
        const double baseline = t->y + metrics.ascent(t->size);
        painter.drawText(QPointF(x * kMeasureScale, baseline * kMeasureScale), cleaned(t->text));
    }
    painter.restore();
}

}  // namespace crv
