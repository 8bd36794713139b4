#include "window/file_pattern.h"

#include <QList>
#include <QStringView>

namespace crv::window {

namespace {

bool sameLetter(QChar a, QChar b)
{
    return a == b || a.toCaseFolded() == b.toCaseFolded();
}

// Wildcard match with backtracking to the last "*" (linear for the usual patterns).
bool matchOne(QStringView name, QStringView pattern)
{
    qsizetype n = 0, p = 0, starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == QLatin1Char('*')) {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == QLatin1Char('?') || sameLetter(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == QLatin1Char('*')) ++p;
    return p == pattern.size();
}

}  // namespace

bool matchesPattern(const QString& name, const QString& patterns)
{
    for (const QStringView pattern : QStringView(patterns).split(QLatin1Char(';'))) {
        if (!pattern.isEmpty() && matchOne(name, pattern)) return true;
    }
    return false;
}

}  // namespace crv::window
