#pragma once
// Repair of case files before they are loaded as XML: the text export that
// has no root element, the XML file whose closing root tag is missing, and
// the file whose name does not end in ".xml".
//
// Files are windows-1252 text and are handled as bytes, never transcoded.
// Lines end at CR LF, LF or CR; every line written ends with CR LF. Files are
// streamed, so a file of any size is repaired without holding it in memory.
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace crv {

// Failure to read or write one of the files; what() is an Italian message
// naming the file.
class RepairError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// True when neither of the first two items of the file (comma-separated, as
// the old Input # statement reads them; a missing item counts as empty),
// trimmed and lower-cased, is "<root>".
bool MancaRoot(const std::filesystem::path& path);

// Reads lines up to the first one containing "</root" (any case); true when
// that line does not contain "</root>" or when no such line exists.
bool MancaFineRoot(const std::filesystem::path& path);

// Adds the line "</root>" at the end of the file, on a line of its own. The
// completed file is written whole beside it and takes its place in one
// rename: on failure the file is as it was.
void AccodaFineRoot(const std::filesystem::path& path);

// Writes path + ".xml": the line "<root>", every line of the input repaired
// by Aggiusta, the line "</root>". On return path is the new path; true when
// an earlier file of that name was replaced. The input is left unchanged; on
// failure no output file is left, an earlier one is intact and path is
// unchanged.
bool Converti2XML(std::filesystem::path& path);

// As Converti2XML, without the root lines.
bool Rinomina(std::filesystem::path& path);

// The character repair of one line (windows-1252 bytes in and out):
// "@", "Ý", "§" become "&#64;", "°" becomes "&#248;", "Ù" becomes "U'".
std::string Aggiusta(std::string_view line);

// The same repair of UTF-8 text, character by character, appended to `out`.
void aggiustaTesto(std::string& out, std::string_view text);
// Of the UTF-8 text `text` as it was before the repair, the bytes that lie
// before the point `repaired` bytes into its repaired form (a point inside
// a replacement is the character it replaced); `repaired` is reduced by the
// repaired length of those bytes.
std::size_t primaDellaRiparazione(std::string_view text, std::uint64_t& repaired);

}  // namespace crv
