#pragma once
// Texts of a delivery file shown to the operator: control characters (a
// terminal's escape sequences, BEL, C1 controls, DEL, a stray carriage
// return) would act on the terminal or garble a message box, so each shows
// as a blank. The stored data keeps them.
#include <cstdio>
#include <string>
#include <string_view>

namespace crv {

// The UTF-8 text with every control character but those in `keep` (tab,
// line feed) as a blank.
std::string blankControls(std::string_view text, std::string_view keep = {});

// The same written to a stream as it goes, without a copy of the text (a
// listing line may hold a whole memo).
void writeBlankingControls(std::FILE* out, std::string_view text, std::string_view keep);

}  // namespace crv
