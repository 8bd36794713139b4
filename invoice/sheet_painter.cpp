#include "invoice/sheet_painter.h"

#include <QPainter>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

namespace crv {
namespace {

const QColor kBackground(0x9A, 0xA0, 0xA6);

// Far below any sheet: the band of a painting that goes to the end.
constexpr double kNoEnd = 1e12;

double lowestRow(const DrawOp& op)
{
    struct {
        double operator()(const ClearOp&) const { return 0; }
        double operator()(const TextOp& t) const { return t.y + 1.0; }
        double operator()(const LineOp& l) const { return std::max(l.y1, l.y2); }
        double operator()(const BoxOp& b) const { return b.y + b.height; }
        double operator()(const AnchorOp& a) const { return a.y + a.height; }
    } visitor;
    return std::visit(visitor, op);
}

// The height of a sheet in dots.
double heightOf(const Sheet& sheet, const Style& style)
{
    return style.height > 0 ? style.height : (sheetRows(sheet) + 1) * style.unitY;
}

class Painter {
public:
    Painter(QPainter& p, const Sheet& sheet, const Style& style, double fromRow, double toRow)
        : p_(p), s_(style), fromRow_(fromRow), toRow_(toRow)
    {
        const double top = fromRow * style.unitY;
        const double bottom = std::isinf(toRow) ? kNoEnd : toRow * style.unitY + 1;
        band_ = QRectF(-1, top, style.width + 2, std::max(0.0, bottom - top));
        area_ = QRectF(0, 0, style.width, std::ceil(heightOf(sheet, style)));
    }

    void operator()(const ClearOp&)
    {
        leaveGlyphSpace();
        p_.fillRect(band_.intersected(area_), Qt::white);
    }

    void operator()(const TextOp& t)
    {
        if (t.y < fromRow_ || t.y >= toRow_) return;
        const Face& face = *s_.face;
        const FittedText fitted = fitText(t, face, s_.unitX);
        if (fitted.shown.isEmpty()) return;
        const double g = face.glyphScale();
        if (g != 1) enterGlyphSpace();
        else if (p_.pen().color() != Qt::black) p_.setPen(Qt::black);
        p_.setFont(font(fitted.points, t.bold));
        double x = t.x * s_.unitX;
        if (t.allinea != Allinea::Sinistra) {
            // A text laid out to fit its column is drawn whole: its width is
            // the one the layout measured.
            const float width = t.width != 0 && t.fit == Fit::Wrap
                                    ? face.width(t.text, t.size, t.bold)
                                    : static_cast<float>(face.advance(fitted.shown, fitted.points, t.bold));
            // In floats, as the layouts measure: a double would move a text
            // by a fraction of a dot from where its column was measured.
            const float free = static_cast<float>(t.width * s_.unitX) - width;
            x += t.allinea == Allinea::Destra ? free : free / 2;
        }
        // Qt places the baseline at the point, a sheet places the top. A text
        // drawn smaller keeps the baseline of its own size.
        const double baseline = t.y * s_.unitY + face.ascent(t.size);
        p_.drawText(QPointF(x * g, baseline * g), fitted.shown);
    }

    void operator()(const LineOp& l)
    {
        leaveGlyphSpace();
        const QPointF a(l.x1 * s_.unitX, l.y1 * s_.unitY);
        const QPointF b(l.x2 * s_.unitX, l.y2 * s_.unitY);
        if (!reachesBand(a.y(), b.y())) return;
        // A page printed on several sheets of paper is cut between rows.
        const bool cut = std::isfinite(toRow_);
        if (cut) {
            p_.save();
            p_.setClipRect(band_, Qt::IntersectClip);
        }
        p_.setPen(QPen(QColor(l.grey, l.grey, l.grey), l.thickness));
        p_.drawLine(a, b);
        if (cut) p_.restore();
    }

    void operator()(const BoxOp& b)
    {
        leaveGlyphSpace();
        QRectF box = QRectF(b.x * s_.unitX, b.y * s_.unitY, b.width * s_.unitX, b.height * s_.unitY).normalized();
        if (!reachesBand(box.top(), box.bottom())) return;
        if (!band_.contains(box)) box = box.intersected(band_);
        p_.fillRect(box, QColor(static_cast<int>((b.rgb >> 16) & 0xFF), static_cast<int>((b.rgb >> 8) & 0xFF),
                                static_cast<int>(b.rgb & 0xFF)));
    }

    void operator()(const AnchorOp&) {}

    // Back in dots.
    void leaveGlyphSpace()
    {
        if (!glyphSpace_) return;
        p_.restore();
        glyphSpace_ = false;
    }

private:
    // Texts measured at a glyph scale are drawn in a space as many times
    // smaller, entered once for the texts that follow each other (a sheet
    // draws its texts after its lines and boxes).
    void enterGlyphSpace()
    {
        if (glyphSpace_) return;
        const double g = s_.face->glyphScale();
        p_.save();
        p_.scale(1.0 / g, 1.0 / g);
        p_.setPen(Qt::black);
        glyphSpace_ = true;
    }

    bool reachesBand(double y1, double y2) const
    {
        return std::max(y1, y2) >= band_.top() && std::min(y1, y2) <= band_.bottom();
    }

    // The fonts stay made for the next text and the next painting (Qt drops
    // a face nobody holds, and making it again costs more than the drawing).
    const QFont& font(double size, bool bold) const
    {
        thread_local std::map<std::tuple<const Face*, double, bool, int>, QFont> fonts;
        auto [it, made] = fonts.try_emplace({s_.face, size, bold, p_.device()->logicalDpiY()});
        if (made) it->second = s_.face->font(size, bold, *p_.device());
        return it->second;
    }

    QPainter& p_;
    const Style& s_;
    double fromRow_;
    double toRow_;
    QRectF band_;
    QRectF area_;  // the sheet's
    bool glyphSpace_ = false;
};

}  // namespace

Style pageStyle(double interlinea)
{
    return Style{&kPageFace, kColumnPixels, interlinea, kPageWidthPixels, 0, false, 300, 10};
}

double sheetRows(const Sheet& sheet)
{
    double rows = 0;
    for (const DrawOp& op : sheet.ops) rows = std::max(rows, lowestRow(op));
    return rows;
}

SheetStack stackOf(std::span<const Sheet> sheets, const Style& style, double scale)
{
    SheetStack stack{static_cast<int>(std::ceil(style.width * scale)), 0, sheets.size()};
    for (const Sheet& sheet : sheets)
        stack.sheet = std::max(stack.sheet, static_cast<int>(std::ceil(heightOf(sheet, style) * scale)));
    return stack;
}

void paintSheet(QPainter& painter, const Sheet& sheet, const Style& style, double fromRow, double toRow)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, style.smooth);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    Painter visitor(painter, sheet, style, fromRow, toRow);
    for (const DrawOp& op : sheet.ops) std::visit(visitor, op);
    visitor.leaveGlyphSpace();
    painter.restore();
}

void paintSheets(QPainter& painter, std::span<const Sheet> sheets, const Style& style, double scale,
                 const QRect& exposed)
{
    painter.fillRect(exposed, kBackground);
    const SheetStack stack = stackOf(sheets, style, scale);
    for (std::size_t k = 0; k < sheets.size(); ++k) {
        const QRectF place(0, stack.top(k), stack.width, stack.sheet);
        if (!place.intersects(exposed)) continue;
        // Of a sheet partly exposed, only the rows that reach into the part:
        // a page of thousands of lines scrolls as fast as a short one. A text
        // whose top lies above the part may hang down into it, by as much as
        // a text is tall: with a small spacing that is several rows.
        double fromRow = 0;
        double toRow = std::numeric_limits<double>::infinity();
        if (!QRectF(exposed).contains(place)) {
            float largest = 0;
            for (const DrawOp& op : sheets[k].ops) {
                if (const auto* t = std::get_if<TextOp>(&op)) largest = std::max(largest, t->size);
            }
            const double depth = largest > 0 ? style.face->lineHeight(largest) : 0;
            fromRow = std::max(0.0, ((exposed.top() - place.top()) / scale - depth) / style.unitY - 1);
            toRow = (exposed.bottom() + 1 - place.top()) / scale / style.unitY + 1;
        }
        painter.fillRect(place, Qt::white);
        painter.save();
        painter.translate(0, place.top());
        painter.scale(scale, scale);
        paintSheet(painter, sheets[k], style, fromRow, toRow);
        painter.restore();
    }
}

QString textsNotShownWhole(const Sheet& sheet, double row, const Style& style)
{
    QStringList whole;
    for (const DrawOp& op : sheet.ops) {
        const auto* t = std::get_if<TextOp>(&op);
        if (t == nullptr || t->width == 0 || row < t->y || row >= t->y + 1.0) continue;
        if (!fitText(*t, *style.face, style.unitX).whole) whole.push_back(cleaned(t->text));
    }
    return whole.join(QLatin1Char('\n'));
}

}  // namespace crv
