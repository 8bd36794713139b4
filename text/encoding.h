#pragma once
// Conversions between the 8-bit code page of the suite's files (windows-1252)
// and the UTF-8 text the program works with.
#include <string>
#include <string_view>

namespace crv {

// windows-1252 bytes to UTF-8. The five bytes that windows-1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the
// same value, as Windows itself does, so nothing is lost.
std::string cp1252ToUtf8(std::string_view bytes);
// The same appended to `out`, for text that comes in pieces.
void appendCp1252AsUtf8(std::string& out, std::string_view bytes);

// UTF-8 to windows-1252; a character the code page cannot hold becomes "?".
std::string utf8ToCp1252(std::string_view text);

// The bytes as well-formed UTF-8: each well-formed sequence kept, any other
// byte read as windows-1252 (a file name from an 8-bit system, "però" in
// Latin-1, reads as it was meant), so nothing is lost or turns into "?".
std::string utf8Valido(std::string_view bytes);

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates).
bool isValidUtf8(std::string_view bytes);

// Length of the sequence that the lead byte announces: 1 to 4, 0 when the
// byte cannot start one.
std::size_t utf8LeadLength(unsigned char lead);
// Offset of the first byte above ASCII from `from` on; text.size() when none.
std::size_t firstNonAscii(std::string_view text, std::size_t from = 0);
// Length of the longest start of `bytes` made of whole, well-formed UTF-8
// characters; `broken` tells whether what follows is malformed rather than a
// character the end of `bytes` cuts short.
std::size_t wholeUtf8Prefix(std::string_view bytes, bool& broken);

// The text with each NUL shown as U+FFFD: a NUL would cut a message short.
std::string withNulShown(std::string_view text);

// Number of characters (code points) of a UTF-8 text.
std::size_t utf8Length(std::string_view text);

// Byte offset of the character with the given index (or text.size()).
std::size_t utf8Offset(std::string_view text, std::size_t charIndex);

// Appends one code point as UTF-8.
void appendUtf8(std::string& out, char32_t cp);

}  // namespace crv
