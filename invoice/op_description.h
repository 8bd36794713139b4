#pragma once
// Pieces of the one-line descriptions of drawing operations (the page's and
// the complete view's), which tests compare and `--testo` prints.
#include <string>

namespace crv {

// The shortest text that reads back the same number ("36", "40.5", "0.2"),
// under any C locale.
std::string shortestNumber(float value);

// The text in double quotes, with `"` and `\` escaped by a backslash.
std::string quotedText(const std::string& text);

}  // namespace crv
