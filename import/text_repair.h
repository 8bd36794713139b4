#pragma once
// The character repair of the bank group's text exports (Aggiusta): their
// code page writes some characters where others were meant. It is applied
// to the text while it is read; the delivery itself is never changed.
//
//   "@", "Ý", "§"  become "&#64;"   (read back as "@")
//   "°"            becomes "&#248;" (read back as "ø")
//   "Ù"            becomes "U'"
#include <cstdint>
#include <string>
#include <string_view>

namespace crv {

// Appends `text` (UTF-8) to `out` with the repair applied, character by character.
void Aggiusta(std::string& out, std::string_view text);
std::string Aggiusta(std::string_view text);

// Of the UTF-8 text `text` as it was before the repair, the bytes that lie
// before the point `repaired` bytes into its repaired form (a point inside
// a replacement is the character it replaced); `repaired` is reduced by the
// repaired length of those bytes. A fault met in the repaired text is so
// placed in the delivery's own.
std::size_t primaDellaRiparazione(std::string_view text, std::uint64_t& repaired);

}  // namespace crv
