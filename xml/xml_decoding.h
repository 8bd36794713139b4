#pragma once
// How the bytes of an XML file are to be read, told by its first bytes.
//
// The encoding comes from the byte order mark, from the byte pattern of an
// unmarked UTF-16 file, or from the encoding named in the XML declaration.
// An 8-bit file that names no encoding and is not valid UTF-8 is read as
// windows-1252, the code page of the suite's text exports.
#include <cstddef>
#include <string>
#include <string_view>

namespace crv {

// The reasons a decoding fails, as the operator reads them.
inline constexpr const char* kCarattereNonValido = "carattere non valido per la codifica";
inline constexpr const char* kCodificaNonSupportata = "codifica non supportata";
inline constexpr const char* kCarattereNullo = "carattere nullo non consentito";

// How the bytes of a file are to be read, decided from its first bytes.
struct EncodingChoice {
    enum class Kind {
        Utf8,               // byte order mark or declared: anything else is an error
        Utf8OrWindows1252,  // named nowhere: UTF-8 when the whole file is, else windows-1252
        Windows1252,        // windows-1252, or Latin-1 read as it
        Utf16LE,
        Utf16BE,
        Named,              // another encoding the declaration names (`name`)
    };
    Kind kind = Kind::Utf8OrWindows1252;
    std::size_t skip = 0;         // bytes of a byte order mark before the text
    std::string name;             // Named: as declared, lower case
    std::size_t nameOffset = 0;   // Named: where the name stands in the declaration
};

// The choice for a file that begins with `head` (at least its XML
// declaration, when it has one).
EncodingChoice chooseEncoding(std::string_view head);

// What an encoding named in a declaration says of the file's bytes.
enum class EncodingWidth { Utf8, Wide, EightBit };
EncodingWidth widthOf(std::string_view declaredName);

}  // namespace crv
