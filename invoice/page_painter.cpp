#include "invoice/page_painter.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPaintDevice>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

#include "invoice/text_wrap.h"

namespace crv {
namespace {

// The reference resolution of the page: a point is 96/72 pixels, as on the
// operators' screens the page was laid out for.
constexpr double kPageDpi = 96.0;

// A text longer than this cannot show on the page anyway; drawing a huge one
// whole would only keep the painter busy.
constexpr qsizetype kMaxDrawnChars = 400;

// No text of a valid invoice is longer than 1,000 characters; one of a
// broken file beyond this many goes on over the rows up to here and ends
// with "…" (--testo gives it whole), so that the page stays a page.
constexpr qsizetype kMaxWrappedChars = 10000;

// A number too wide for its column is drawn smaller by these steps, down to
// the smallest size that still reads.
constexpr double kShrinkStep = 0.5;
constexpr double kSmallestPoints = 6;

// The family of the page's face, loaded from its own files once, so that
// the page looks the same on every machine whatever fontconfig prefers.
const QString& pageFamily()
{
    static const QString family = [] {
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
            throw std::logic_error("the invoice page needs a QGuiApplication for its fonts");
        const char* const files[] = {
            "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
            "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
        };
        QString found;
        for (const char* file : files) {
            const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(file));
            if (id >= 0 && found.isEmpty()) found = QFontDatabase::applicationFontFamilies(id).value(0);
        }
        // Without the files (another system), fontconfig's DejaVu Sans or its nearest sans-serif.
        return found.isEmpty() ? QStringLiteral("DejaVu Sans") : found;
    }();
    return family;
}

// Control characters (line ends inside a description) as blanks.
void blankControls(QString& s)
{
    for (QChar& c : s) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) c = QLatin1Char(' ');
    }
}

// What the painter draws of a text: control characters as blanks, and at
// most kMaxDrawnChars characters, the end of a right-aligned text being the
// part that shows.
QString drawnText(const std::string& text, bool alignRight)
{
    QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    if (s.size() > kMaxDrawnChars) s = alignRight ? s.right(kMaxDrawnChars) : s.left(kMaxDrawnChars);
    blankControls(s);
    return s;
}

double lowestRow(const DrawOp& op)
{
    struct {
        double operator()(const ClearOp&) const { return 0; }
        double operator()(const TextOp& t) const { return t.y + 1.0; }
        double operator()(const LineOp& l) const { return std::max(l.y1, l.y2); }
        double operator()(const BoxOp& b) const { return std::max(b.y1, b.y2); }
    } visitor;
    return std::visit(visitor, op);
}

class Painter {
public:
    Painter(QPainter& p, double interlinea, double fromRow, double toRow, double height)
        : p_(p), interlinea_(interlinea), fromRow_(fromRow), toRow_(toRow), height_(height)
    {
        const double top = fromRow * interlinea;
        const double bottom = std::isinf(toRow) ? height : toRow * interlinea + 1;
        band_ = QRectF(-1, top, kPageWidthPixels + 2, std::max(0.0, bottom - top));
    }

    void operator()(const ClearOp&) const
    {
        p_.fillRect(band_.intersected(QRectF(0, 0, kPageWidthPixels, height_)), Qt::white);
    }

    void operator()(const TextOp& t)
    {
        if (t.y < fromRow_ || t.y >= toRow_) return;
        const QFont& own = fontFor(t.size, t.bold);
        const FittedText fitted = fitText(t, own, *p_.device());
        if (fitted.shown.isEmpty()) return;
        const QFont smaller = fitted.points == t.size ? QFont() : pageFont(fitted.points, t.bold, *p_.device());
        const QFont& font = fitted.points == t.size ? own : smaller;
        p_.setFont(font);
        const QFontMetricsF metrics(font, p_.device());
        double x = t.x * kColumnPixels;
        if (t.alignRight) x -= metrics.horizontalAdvance(fitted.shown);
        // Qt places the baseline at the point; the page places the top. A
        // text drawn smaller keeps the baseline of its row's own size.
        const double ascent = &font == &own ? metrics.ascent() : QFontMetricsF(own, p_.device()).ascent();
        p_.drawText(QPointF(x, t.y * interlinea_ + ascent), fitted.shown);
    }

    void operator()(const LineOp& l) const
    {
        const QPointF a(l.x1 * kColumnPixels, l.y1 * interlinea_);
        const QPointF b(l.x2 * kColumnPixels, l.y2 * interlinea_);
        if (!reachesBand(a.y(), b.y())) return;
        p_.save();
        p_.setClipRect(band_, Qt::IntersectClip);
        p_.setPen(QPen(Qt::black, 1));
        p_.drawLine(a, b);
        p_.restore();
    }

    void operator()(const BoxOp& b) const
    {
        const QRectF box = QRectF(QPointF(b.x1 * kColumnPixels, b.y1 * interlinea_),
                                  QPointF(b.x2 * kColumnPixels, b.y2 * interlinea_))
                               .normalized();
        if (!reachesBand(box.top(), box.bottom())) return;
        const QColor colour(static_cast<int>(b.colore & 0xFF), static_cast<int>((b.colore >> 8) & 0xFF),
                            static_cast<int>((b.colore >> 16) & 0xFF));
        p_.fillRect(box.intersected(band_), colour);
    }

private:
    bool reachesBand(double y1, double y2) const
    {
        return std::max(y1, y2) >= band_.top() && std::min(y1, y2) <= band_.bottom();
    }

    // Fonts made once per size and weight for this painting.
    const QFont& fontFor(int size, bool bold)
    {
        for (const auto& [key, font] : fonts_) {
            if (key.first == size && key.second == bold) return font;
        }
        fonts_.emplace_back(std::pair(size, bold), pageFont(size, bold, *p_.device()));
        return fonts_.back().second;
    }

    QPainter& p_;
    double interlinea_;
    double fromRow_;
    double toRow_;
    double height_;
    QRectF band_;
    std::vector<std::pair<std::pair<int, bool>, QFont>> fonts_;
};

}  // namespace

double pageRows(const InvoicePage& page)
{
    double rows = 0;
    for (const DrawOp& op : page.ops) rows = std::max(rows, lowestRow(op));
    return rows;
}

int pageHeightPixels(const InvoicePage& page, double interlinea)
{
    // One row of white below the frame, as the picture leaves below it.
    return static_cast<int>(std::ceil((pageRows(page) + 1) * interlinea));
}

QFont pageFont(double points, bool bold, const QPaintDevice& device)
{
    QFont font(pageFamily());
    const int dpi = device.logicalDpiY() > 0 ? device.logicalDpiY() : static_cast<int>(kPageDpi);
    font.setPointSizeF(points * kPageDpi / dpi);
    font.setBold(bold);
    // Outlines as drawn, not snapped to the device's pixels: the same widths
    // on the screen, in an image and in a PDF.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

FittedText fitText(const TextOp& t, const QFont& font, const QPaintDevice& device)
{
    // A text kept within a limit shows its beginning, whichever its alignment.
    FittedText fitted{drawnText(t.text, t.alignRight && t.limit == 0), static_cast<double>(t.size), true};
    // A wrapped line was measured to fit when the page was laid out.
    if (t.limit == 0 || t.fit == Fit::Wrap || fitted.shown.isEmpty()) return fitted;
    const double room = std::abs(t.limit - t.x) * kColumnPixels;
    const QFontMetricsF metrics(font, &device);
    if (metrics.horizontalAdvance(fitted.shown) <= room) return fitted;
    fitted.whole = false;
    if (t.fit == Fit::Cut) {
        // Cut after the last character that leaves room for the "…"; the
        // beginning of a right-aligned text is what shows, as for a left one.
        fitted.shown = metrics.elidedText(fitted.shown, Qt::ElideRight, room);
        return fitted;
    }
    for (double points = t.size - kShrinkStep; points >= kSmallestPoints; points -= kShrinkStep) {
        const QFontMetricsF smaller(pageFont(points, t.bold, device), &device);
        if (smaller.horizontalAdvance(fitted.shown) <= room) {
            fitted.points = points;
            return fitted;
        }
    }
    fitted.shown.clear();
    return fitted;
}

namespace {

// The page's face at one size and weight, measured on an image of the page
// (its own resolution, as the PNG and the window draw it). Kept per thread:
// a page measures every text it lays out, thousands for a long invoice.
struct PageMeasure {
    QFont font;
    QFontMetricsF metrics;
    QHash<QString, qreal> widths;  // of whole texts: amounts, rates and codes come again and again
    PageMeasure(int size, bool bold, const QImage& device)
        : font(pageFont(size, bold, device)), metrics(font, &device)
    {
    }
    qreal width(const QString& text)
    {
        if (const auto it = widths.constFind(text); it != widths.constEnd()) return *it;
        if (widths.size() > 50000) widths.clear();  // a bound for a long session in the window
        return *widths.insert(text, metrics.horizontalAdvance(text));
    }
};

const QImage& pageDevice()
{
    static const QImage device(1, 1, QImage::Format_RGB32);
    return device;
}

PageMeasure& pageMeasure(int size, bool bold)
{
    thread_local std::vector<std::pair<std::pair<int, bool>, std::unique_ptr<PageMeasure>>> made;
    for (const auto& [key, measure] : made) {
        if (key.first == size && key.second == bold) return *measure;
    }
    made.emplace_back(std::pair(size, bold), std::make_unique<PageMeasure>(size, bold, pageDevice()));
    return *made.back().second;
}

}  // namespace

std::vector<std::string> pageLines(const TextOp& t)
{
    if (t.limit == 0 || t.fit == Fit::Wrap || t.text.empty()) return {};
    PageMeasure& measure = pageMeasure(t.size, t.bold);
    const double room = std::abs(t.limit - t.x) * kColumnPixels;
    QString text = QString::fromUtf8(t.text.data(), static_cast<qsizetype>(t.text.size()));
    blankControls(text);
    // Most texts fit as they are: one measure, as fitText takes it.
    if (text.size() <= kMaxDrawnChars && measure.width(text) <= room) return {};
    if (t.fit == Fit::Shrink && !fitText(t, measure.font, pageDevice()).shown.isEmpty()) return {};
    if (text.size() > kMaxWrappedChars) text = text.left(kMaxWrappedChars) + QChar(0x2026);
    std::vector<std::string> lines;
    for (const QString& line :
         wrapWords(text, [&](const QString& s) { return measure.metrics.horizontalAdvance(s) <= room; }))
        lines.push_back(line.toStdString());
    return lines;
}

QString textsNotShownWhole(const InvoicePage& page, double row, const QPaintDevice& device)
{
    QStringList whole;
    for (const DrawOp& op : page.ops) {
        const auto* t = std::get_if<TextOp>(&op);
        if (t == nullptr || t->limit == 0 || row < t->y || row >= t->y + 1.0) continue;
        if (fitText(*t, pageFont(t->size, t->bold, device), device).whole) continue;
        QString text = QString::fromUtf8(t->text.data(), static_cast<qsizetype>(t->text.size()));
        blankControls(text);
        whole.push_back(text);
    }
    return whole.join(QLatin1Char('\n'));
}

void paintPage(QPainter& painter, const InvoicePage& page, double interlinea, double fromRow, double toRow)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);  // lines and boxes on whole pixels
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    Painter visitor(painter, interlinea, fromRow, toRow, pageHeightPixels(page, interlinea));
    for (const DrawOp& op : page.ops) std::visit(visitor, op);
    painter.restore();
}

}  // namespace crv
