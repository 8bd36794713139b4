#pragma once
// Reads comma-separated items from a text stream the way the suite's old
// settings and text files are read: leading blanks are skipped, an item ends
// at a comma or at the end of the line, an item that starts with a double
// quote runs to the next double quote (dropped), and after a comma the next
// item comes from the rest of the same line.
#include <istream>
#include <optional>
#include <string>

namespace crv {

class InputItemReader {
public:
    explicit InputItemReader(std::istream& in) : in_(in) {}

    // The next item, or nothing at the end of the stream. Bytes are returned
    // as read (no code page conversion). Lines end at LF, CR LF or CR.
    std::optional<std::string> next();

private:
    std::istream& in_;
};

}  // namespace crv
