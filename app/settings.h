#pragma once
// The module's own settings file (Crv_XML.ini: the state of the main window's
// parameter boxes and switches, one value per line) and the key reader of the
// suite's settings file (vex32.ini). Both files are windows-1252 text with
// CR LF line ends; the program works in UTF-8.
#include <array>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace crv {

// Characters the parameter boxes Scheda(0), Scheda(3) and Scheda(4) hold.
inline constexpr std::size_t kBoxMaxLength = 3;

// Captions of the six section switches Chk_Sezioni_da_Importare(0..5), in index order.
inline constexpr std::array<const char*, 6> kSectionNames{
    "Dati Identificativi", "Cliente", "Dati Contratto", "Affidamenti", "Estratto Conto", "Scadenze"};

// The controls whose state Crv_XML.ini keeps, with the window's design values.
struct WindowSettings {
    std::string mandato = "CRV";     // Scheda(0)
    std::string intervento = "MO";   // Scheda(3)
    std::string sitAffido = "A";     // Scheda(4)
    std::array<int, 6> sezioni{1, 1, 1, 1, 1, 1};  // Chk_Sezioni_da_Importare(0..5): 0 clear, 1 checked, 2 greyed
    int dettagli = 1;     // chkDettagli
    int soloTest = 1;     // ChkSoloTest
    int spRec = 0;        // chkAgg(6)
    int intDaFile = 1;    // chkAgg(16)
    int usaAccess = 0;    // chkUsaAccess
    int completa = 0;     // chkCompleta: "Fatt.Elett" shows the complete invoice
    bool operator==(const WindowSettings&) const = default;
};

class SettingsError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Restores the settings from the file; a missing file leaves them as they are.
// The three texts are kept to kBoxMaxLength characters, as the boxes hold them.
// "Completa" (line 15, after the old window's 14) is restored only from a
// file that has the line: a file of the old window opens the page.
void LeggiImpostazioni(const std::filesystem::path& file, WindowSettings& settings);

// Why the settings cannot be saved as they are, in Italian, or "": the file
// has no quoting, so a text holding a comma, a double quote or a line break
// would not read back and would shift every later line.
std::string valoreNonSalvabile(const WindowSettings& settings);

// Writes the 15 lines (windows-1252, CR LF) to a new file renamed over the old one;
// throws SettingsError with an Italian message naming the file when it cannot
// (valoreNonSalvabile included), nothing written and the old file intact.
void SalvaImpostazioni(const std::filesystem::path& file, const WindowSettings& settings);

// Value of a key (with its "=") of the suite's settings file, or "" (UTF-8).
std::string LeggiIni(const std::filesystem::path& vex32Ini, std::string_view key);

// Creates the suite's settings file with the one line "connstring=" +
// connString (windows-1252, CR LF). An existing file is never changed: false
// then, and nothing written. Throws SettingsError naming the file when it
// cannot be written, or when the code page cannot hold the string (a path
// with characters outside it would not read back).
bool ScriviVex32Ini(const std::filesystem::path& vex32Ini, const std::string& connString);

}  // namespace crv
