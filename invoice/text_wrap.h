#pragma once
// Breaking a text into lines no wider than a column, for the page and for
// the complete view's sheets alike: each measures in its own face.
#include <functional>
#include <vector>

#include <QString>

namespace crv {

// The text cut into lines that `fits` accepts: at blanks where it can,
// inside a word longer than a line otherwise (at least one character a
// line, never half of a character); a line end in the text starts a new
// line. Nothing is left out: the lines joined give the text back but for
// the blanks at the cuts. `text` holds no control characters but line ends.
std::vector<QString> wrapWords(const QString& text, const std::function<bool(const QString&)>& fits);

}  // namespace crv
