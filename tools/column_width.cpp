#include "tools/column_width.h"

#include <array>

#include <QChar>
#include <QString>

namespace crv::tools {

namespace {

// Advance widths in pixels of the printable ASCII characters (space to "~")
// in 11-point Calibri at 96 dpi, regular and bold, rounded to whole pixels.
constexpr std::array<unsigned char, 95> kRegular{
    3, 5, 6, 7, 7, 10, 10, 3, 4, 4, 7, 7, 4, 4, 4, 6, 7, 7, 7, 7, 7, 7, 7, 7,
    7, 7, 4, 4, 7, 7, 7, 7, 13, 8, 8, 8, 9, 7, 7, 9, 9, 4, 5, 8, 6, 13, 9, 10,
    8, 10, 8, 7, 7, 9, 8, 13, 8, 7, 7, 4, 6, 4, 7, 7, 4, 7, 8, 6, 8, 7, 4, 7,
    8, 3, 4, 7, 3, 12, 8, 8, 8, 8, 5, 6, 5, 8, 7, 10, 6, 7, 6, 5, 7, 5, 7};
constexpr std::array<unsigned char, 95> kBold{
    3, 5, 6, 7, 7, 11, 10, 3, 5, 5, 7, 7, 4, 4, 4, 6, 7, 7, 7, 7, 7, 7, 7, 7,
    7, 7, 4, 4, 7, 7, 7, 7, 13, 9, 8, 8, 9, 7, 7, 9, 9, 4, 5, 8, 6, 13, 10, 10,
    8, 10, 8, 7, 7, 10, 9, 13, 8, 8, 7, 5, 6, 5, 7, 7, 4, 7, 8, 6, 8, 7, 5, 7,
    8, 4, 4, 7, 4, 12, 8, 8, 8, 8, 5, 6, 5, 8, 7, 11, 7, 7, 6, 5, 7, 5, 7};

constexpr int kDefaultPixels = 8;  // a letter of average width
constexpr int kWidePixels = 15;    // East Asian ideographs and syllables
constexpr int kMaxDigitPixels = 7;
constexpr int kPaddingPixels = 5;  // Excel's fixed padding of every column
constexpr int kMarginPixels = 7;   // what AutoFit leaves around the widest text

int asciiPixels(char32_t c, bool bold)
{
    if (c < 0x20 || c > 0x7e) return 0;
    return (bold ? kBold : kRegular)[c - 0x20];
}

// Letters with accents (à, È, ñ...) take the width of their base letter.
int latinPixels(char32_t c, bool bold)
{
    static const auto table = [] {
        std::array<std::array<unsigned char, 0x180 - 0xa0>, 2> widths{};
        for (int b = 0; b < 2; ++b) {
            for (char32_t cp = 0xa0; cp < 0x180; ++cp) {
                const QString parts = QChar(static_cast<char16_t>(cp)).decomposition();
                int px = kDefaultPixels;
                if (cp == 0xa0) px = asciiPixels(' ', b == 1);
                else if (!parts.isEmpty() && parts.at(0).unicode() >= 0x20 && parts.at(0).unicode() <= 0x7e)
                    px = asciiPixels(parts.at(0).unicode(), b == 1);
                widths[static_cast<std::size_t>(b)][cp - 0xa0] = static_cast<unsigned char>(px);
            }
        }
        return widths;
    }();
    return table[bold ? 1 : 0][c - 0xa0];
}

int charPixels(char32_t c, bool bold)
{
    if (c < 0x80) return asciiPixels(c, bold);
    if (c < 0xa0) return 0;
    if (c < 0x180) return latinPixels(c, bold);
    if (c >= 0x300 && c < 0x370) return 0;  // combining accents
    if (c == 0x20ac) return kMaxDigitPixels;  // the euro sign, as wide as a digit
    if ((c >= 0x1100 && c < 0x1200) || (c >= 0x2e80 && c < 0xa4d0) || (c >= 0xac00 && c < 0xd7a4) ||
        (c >= 0xf900 && c < 0xfb00) || (c >= 0xff00 && c < 0xff61) || (c >= 0x20000 && c < 0x3fffe))
        return kWidePixels;
    return kDefaultPixels;
}

}  // namespace

int textPixels(std::string_view s, bool bold, int limit)
{
    int total = 0;
    std::size_t i = 0;
    while (i < s.size()) {
        const auto byte = static_cast<unsigned char>(s[i]);
        char32_t cp = byte;
        std::size_t length = 1;
        if (byte >= 0xf0) {
            length = 4;
            cp = byte & 0x07;
        } else if (byte >= 0xe0) {
            length = 3;
            cp = byte & 0x0f;
        } else if (byte >= 0xc0) {
            length = 2;
            cp = byte & 0x1f;
        }
        if (length > 1) {
            if (i + length > s.size()) break;
            for (std::size_t k = 1; k < length; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3f);
        }
        i += length;
        total += charPixels(cp, bold);
        if (total > limit) break;
    }
    return total;
}

int maxColumnPixels()
{
    return static_cast<int>(kMaxColumnWidth) * kMaxDigitPixels + kPaddingPixels - kMarginPixels;
}

double columnWidthForPixels(int pixels)
{
    const int column = pixels + kMarginPixels;
    double width = column <= kMaxDigitPixels + kPaddingPixels
                       ? static_cast<double>(column) / (kMaxDigitPixels + kPaddingPixels)
                       : static_cast<double>(column - kPaddingPixels) / kMaxDigitPixels;
    if (width > kMaxColumnWidth) width = kMaxColumnWidth;
    // Excel keeps widths in 256ths of a character.
    return static_cast<double>(static_cast<long>(width * 256.0 + 0.5)) / 256.0;
}

void ColumnFit::text(std::string_view utf8, bool bold)
{
    pixels(textPixels(utf8, bold, maxColumnPixels()));
}

}  // namespace crv::tools
