#pragma once
// A file that is not well-formed XML, or that could not be read: where the
// reading stopped and why, and the message an operator sees.
#include <cstdint>
#include <string>

namespace crv {

// The reason of a file that could not be read, before the system's own.
inline constexpr const char* kImpossibileLeggere = "impossibile leggere il file";
// The reason of a fault the rules of well-formed XML did not name.
inline constexpr const char* kErroreDiSintassi = "errore di sintassi XML";

struct XmlParseError {
    std::string url;           // the path as given to the reader
    std::int64_t line = 0;     // 1-based; 0 when the file could not be read
    std::int64_t linepos = 0;  // 1-based position in the line, counted in characters
    std::string srcText;       // text of the faulty line, UTF-8, without its line end
    std::string reason;        // short Italian description
    // A line too long to hold whole is kept around the fault: srcText then
    // begins at this position of the line, and srcContinues says that the
    // line goes on after it.
    std::int64_t srcFrom = 1;
    bool srcContinues = false;
};

// "Errore nel file " + path, then "Linea = ", "Pos = " and "Src = " lines:
// where the reader stopped and the text of that line (cut around the fault
// when the line is very long, as a file written on one line would be), and
// the reason in Italian on a line of its own.
std::string parseErrorMessage(const XmlParseError& error);

}  // namespace crv
