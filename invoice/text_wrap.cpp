#include "invoice/text_wrap.h"

#include <QStringList>

#include <algorithm>

namespace crv {

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

}  // namespace crv
