#include "app/settings.h"

#include "files/whole_file.h"
#include "text/encoding.h"
#include "text/input_items.h"

#include <charconv>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>

namespace crv {

namespace {

namespace fs = std::filesystem;

// A path as UTF-8 text, for messages.
std::string pathText(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// The check state a value stands for: a whole number, blanks around it
// allowed, that is a valid state (0 clear, 1 checked, 2 greyed).
std::optional<int> checkState(std::string_view value)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!value.empty() && blank(value.front())) value.remove_prefix(1);
    while (!value.empty() && blank(value.back())) value.remove_suffix(1);
    if (!value.empty() && value.front() == '+') value.remove_prefix(1);
    if (value.empty()) return std::nullopt;

    int number = 0;
    const char* const end = value.data() + value.size();
    const auto [stop, error] = std::from_chars(value.data(), end, number);
    if (error != std::errc() || stop != end) return std::nullopt;
    if (number < 0 || number > 2) return std::nullopt;
    return number;
}

// A check state as a number is printed to a text file: a blank in place of
// the sign when not negative, and a blank after it.
std::string checkLine(int state)
{
    return (state < 0 ? "" : " ") + std::to_string(state) + " ";
}

// ASCII and Latin-1 letters folded to lower case (windows-1252 bytes).
unsigned char foldCase(unsigned char c)
{
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
    return c;
}

bool startsWithIgnoringCase(std::string_view line, std::string_view prefix)
{
    if (line.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (foldCase(static_cast<unsigned char>(line[i])) !=
            foldCase(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

std::string_view trimSpaces(std::string_view text)
{
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

}  // namespace

void LeggiImpostazioni(const fs::path& file, WindowSettings& settings)
{
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) return;
    std::ifstream in(file, std::ios::binary);
    if (!in) return;

    // One buffer for all the values: when the file runs out, the value read
    // last stays in it and goes to the remaining controls as well.
    InputItemReader reader(in);
    std::string buffer;
    const auto read = [&] {
        if (auto item = reader.next()) buffer = std::move(*item);
    };
    // A box holds no more than its maximum: a garbled file (a quote never
    // closed runs to the end of the file) cannot put more into the fields
    // the boxes fill.
    const auto applyText = [&](std::string& text) {
        read();
        text = cp1252ToUtf8(buffer);
        text.resize(utf8Offset(text, kBoxMaxLength));
    };
    const auto applyCheck = [&](int& state) {
        read();
        if (const auto value = checkState(buffer)) state = *value;
    };

    applyText(settings.mandato);
    applyText(settings.intervento);
    applyText(settings.sitAffido);
    for (int& sezione : settings.sezioni) applyCheck(sezione);
    applyCheck(settings.dettagli);
    applyCheck(settings.soloTest);
    applyCheck(settings.spRec);
    applyCheck(settings.intDaFile);
    applyCheck(settings.usaAccess);
    // A switch the old window did not have: its value is never the one
    // carried over from an earlier line.
    if (auto item = reader.next()) {
        if (const auto value = checkState(*item)) settings.completa = *value;
    }
}

std::string valoreNonSalvabile(const WindowSettings& settings)
{
    const std::pair<const char*, const std::string*> texts[] = {
        {"Mandato", &settings.mandato}, {"Intervento", &settings.intervento}, {"Sit.Affido", &settings.sitAffido}};
    for (const auto& [box, text] : texts) {
        const char* what = nullptr;
        if (text->find(',') != std::string::npos)
            what = "una virgola";
        else if (text->find('"') != std::string::npos)
            what = "un doppio apice";
        else if (text->find_first_of("\r\n") != std::string::npos)
            what = "un a capo";
        if (what)
            return std::string(box) + " contiene " + what +
                   ", che il file delle impostazioni non può conservare: togliere il carattere. Nulla è stato salvato";
    }
    return {};
}

void SalvaImpostazioni(const fs::path& file, const WindowSettings& settings)
{
    if (const std::string problem = valoreNonSalvabile(settings); !problem.empty())
        throw SettingsError("Impossibile salvare le impostazioni nel file " + pathText(file) + ": " + problem);

    std::string content;
    const auto textLine = [&](const std::string& text) { content += text + "\r\n"; };
    const auto stateLine = [&](int state) { content += checkLine(state) + "\r\n"; };
    textLine(settings.mandato);
    textLine(settings.intervento);
    textLine(settings.sitAffido);
    for (const int sezione : settings.sezioni) stateLine(sezione);
    stateLine(settings.dettagli);
    stateLine(settings.soloTest);
    stateLine(settings.spRec);
    stateLine(settings.intDaFile);
    stateLine(settings.usaAccess);
    stateLine(settings.completa);
    const std::string bytes = utf8ToCp1252(content);

    const auto fail = [&](const std::string& reason) {
        throw SettingsError("Impossibile salvare le impostazioni nel file " + pathText(file) +
                            ": " + reason);
    };

    // A read-only settings file is not replaced, as opening it for writing
    // would not be allowed either.
    std::error_code ec;
    const fs::file_status status = fs::status(file, ec);
    if (fs::exists(status)) {
        if (fs::is_directory(status)) fail("il percorso indica una cartella");
        if ((status.permissions() & fs::perms::owner_write) == fs::perms::none)
            fail("il file è di sola lettura");
    }

    // The new content replaces the old file only once written whole, so a
    // failed save never leaves a half-written file.
    try {
        writeWholeFile(file, bytes);
    } catch (const FileError& e) {
        fail(e.motivo());
    }
}

std::string LeggiIni(const fs::path& vex32Ini, std::string_view key)
{
    std::error_code ec;
    if (!fs::is_regular_file(vex32Ini, ec)) return {};
    std::ifstream in(vex32Ini, std::ios::binary);
    if (!in) return {};

    const std::string wanted = utf8ToCp1252(key);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!startsWithIgnoringCase(line, wanted)) continue;
        // The value follows the first "=" (a line without one is taken whole).
        const std::size_t equals = line.find('=');
        const std::string_view value =
            equals == std::string::npos ? std::string_view(line)
                                        : std::string_view(line).substr(equals + 1);
        return cp1252ToUtf8(trimSpaces(value));
    }
    return {};
}

bool ScriviVex32Ini(const fs::path& vex32Ini, const std::string& connString)
{
    const std::string line = "connstring=" + connString + "\r\n";
    const std::string bytes = utf8ToCp1252(line);
    if (cp1252ToUtf8(bytes) != line)
        throw SettingsError("Impossibile scrivere " + pathText(vex32Ini) +
                            ": la stringa di connessione ha caratteri che il file (windows-1252) non può "
                            "contenere: " + connString);
    try {
        return writeNewFile(vex32Ini, bytes);
    } catch (const FileError& error) {
        throw SettingsError(error.what());
    }
}

}  // namespace crv
