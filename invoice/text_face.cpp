#include "invoice/text_face.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPaintDevice>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <memory>
#include <stdexcept>
#include <tuple>
#include <unordered_map>

namespace crv {

const Face kPageFace(96, 1, true);
const Face kSheetFace(72, 2, false);

namespace {

// A number too wide for its column is drawn smaller by these steps, down to
// the smallest size that still reads.
constexpr double kShrinkStep = 0.5;
constexpr double kSmallestPoints = 6;

// The family of the face, loaded from its own files once.
const QString& family()
{
    static const QString name = [] {
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
            throw std::logic_error("the invoice's pictures need a QGuiApplication for their fonts");
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
    return name;
}

// Breaks a text into lines that `fits` accepts (see Face::lines).
std::vector<QString> wrapWords(const QString& text, const std::function<bool(const QString&)>& fits)
{
    std::vector<QString> lines;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QString line;
        for (const QString& word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
            if (fits(candidate)) {
                line = candidate;
                continue;
            }
            if (!line.isEmpty()) lines.push_back(line);
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
                if (from < word.size()) lines.push_back(piece);
                else line = piece;
            }
        }
        if (!line.isEmpty()) lines.push_back(line);
    }
    return lines;
}

// One face at one size and weight, measured on an image of the face's own
// resolution. Kept per thread: a layout measures every text it lays out,
// thousands for a long invoice.
struct Measures {
    QFont font;
    QFontMetricsF metrics;
    std::unordered_map<std::string, float> widths;  // of whole texts, in dots
    Measures(QFont f, const QPaintDevice& device) : font(std::move(f)), metrics(font, &device) {}
};

Measures& measures(const Face& face, double size, bool bold)
{
    using Key = std::tuple<const Face*, double, bool>;
    thread_local std::vector<std::pair<Key, std::unique_ptr<Measures>>> made;
    const Key key{&face, size, bold};
    for (const auto& [k, m] : made) {
        if (k == key) return *m;
    }
    QImage device(1, 1, QImage::Format_RGB32);
    const int dotsPerMeter = qRound(face.dpi() / 0.0254);
    device.setDotsPerMeterX(dotsPerMeter);
    device.setDotsPerMeterY(dotsPerMeter);
    made.emplace_back(key, std::make_unique<Measures>(face.font(size, bold, device), device));
    return *made.back().second;
}

}  // namespace

QString cleaned(std::string_view text)
{
    QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    for (QChar& c : s) {
        if ((c.unicode() < 0x20 && c.unicode() != '\n') || c.unicode() == 0x7F) c = QLatin1Char(' ');
    }
    return s;
}

QFont Face::font(double size, bool bold, const QPaintDevice& device) const
{
    QFont font(family());
    const int dpi = device.logicalDpiY() > 0 ? device.logicalDpiY() : dpi_;
    font.setPointSizeF(size * glyphScale_ * dpi_ / dpi);
    font.setBold(bold);
    // Outlines as drawn, not snapped to the device's pixels: the same widths
    // on the screen, in an image and in a PDF.
    font.setHintingPreference(QFont::PreferNoHinting);
    // Any letter spacing other than none makes Qt leave ligatures out; this
    // one changes no width.
    if (!ligatures_) font.setLetterSpacing(QFont::PercentageSpacing, 100.0001);
    return font;
}

float Face::width(std::string_view text, double size, bool bold) const
{
    Measures& m = measures(*this, size, bold);
    std::string key(text);
    if (const auto it = m.widths.find(key); it != m.widths.end()) return it->second;
    if (m.widths.size() > 50000) m.widths.clear();  // a bound for a long session in the window
    const float w = static_cast<float>(m.metrics.horizontalAdvance(cleaned(text))) / glyphScale_;
    m.widths.emplace(std::move(key), w);
    return w;
}

double Face::advance(const QString& text, double size, bool bold) const
{
    return measures(*this, size, bold).metrics.horizontalAdvance(text) / glyphScale_;
}

QString Face::elided(const QString& text, double size, bool bold, double room) const
{
    return measures(*this, size, bold).metrics.elidedText(text, Qt::ElideRight, room * glyphScale_);
}

float Face::ascent(double size) const
{
    return static_cast<float>(measures(*this, size, false).metrics.ascent()) / glyphScale_;
}

float Face::lineHeight(double size) const
{
    return static_cast<float>(measures(*this, size, false).metrics.height()) / glyphScale_;
}

std::vector<QString> Face::lines(const QString& text, double room, double size, bool bold) const
{
    return wrapWords(text, [&](const QString& s) { return width(s.toStdString(), size, bold) <= room; });
}

FittedText fitText(const TextOp& t, const Face& face, double unitX)
{
    FittedText fitted{cleaned(t.text), t.size, true};
    // A text laid out to fit its column is drawn whole.
    if (t.width != 0 && t.fit == Fit::Wrap) return fitted;
    // Of a very long text, the part that can show: the beginning, or the end
    // of a right-aligned text without a column.
    if (fitted.shown.size() > kMaxDrawnChars)
        fitted.shown = t.allinea == Allinea::Destra && t.width == 0 ? fitted.shown.right(kMaxDrawnChars)
                                                                    : fitted.shown.left(kMaxDrawnChars);
    if (t.width == 0 || fitted.shown.isEmpty()) return fitted;
    const double room = t.width * unitX;
    if (face.advance(fitted.shown, t.size, t.bold) <= room) return fitted;
    fitted.whole = false;
    if (t.fit == Fit::Cut) {
        // Cut after the last character that leaves room for the "…"; the
        // beginning of a right-aligned text is what shows, as for a left one.
        fitted.shown = face.elided(fitted.shown, t.size, t.bold, room);
        return fitted;
    }
    for (double points = t.size - kShrinkStep; points >= kSmallestPoints; points -= kShrinkStep) {
        if (face.advance(fitted.shown, points, t.bold) <= room) {
            fitted.points = points;
            return fitted;
        }
    }
    fitted.shown.clear();
    return fitted;
}

}  // namespace crv
