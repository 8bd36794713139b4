#pragma once
// The export definition: the column names of the spreadsheet export, kept in
// dati/exp-excel.ini under the suite root and edited in the box `TxtCampi`.
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/suite_root.h"

namespace crv::tools {

// The most columns a definition holds (`Campi(0)` to `Campi(99)`).
inline constexpr std::size_t kMaxCampi = 100;

// The special column taken from the case's common note.
inline constexpr std::string_view kNoteComuni = "note comuni";

// The definition as loaded: the names of `Campi` and what to tell the operator.
struct Definizione {
    std::vector<std::string> campi;     // column names, in order, none empty
    bool daFile = false;                // read from the file (false: the four default names)
    std::vector<std::string> avvisi;    // what the operator should be told (items left out, unreadable file)

    // The text of `TxtCampi`: each name followed by a line end.
    std::string testo(std::string_view lineEnd = "\r\n") const;
};

// The definition file could not be written.
class DefinizioneError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The file of the definition: dati/exp-excel.ini.
std::filesystem::path fileDefinizione(const SuitePaths& paths);

// The column names in a text, by the file's rules: items separated by line
// ends or commas, blanks before an item ignored, double quotes around it
// removed, empty items ignored; at most 100, with an avviso for the rest.
Definizione leggiVoci(std::string_view utf8Text);

// LeggeDefinizione: the definition file's names, or "posizione", "ragione
// sociale", "memo", "note comuni" when the file does not exist.
Definizione LeggeDefinizione(const SuitePaths& paths);

// "Salva Definizione": writes the box's text, followed by a line end, as the
// whole file (CR LF line ends, through a temporary file renamed into place),
// then reads it again. Throws DefinizioneError naming the file when it cannot
// write; the old file is then left as it was.
Definizione SalvaDefinizione(const SuitePaths& paths, std::string_view testo);

}  // namespace crv::tools
