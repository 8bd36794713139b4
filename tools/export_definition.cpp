#include "tools/export_definition.h"

#include <fstream>
#include <sstream>
#include <system_error>

#include "files/whole_file.h"
#include "text/encoding.h"
#include "text/input_items.h"

namespace crv::tools {

namespace {

const std::vector<std::string>& defaultCampi()
{
    static const std::vector<std::string> names{"posizione", "ragione sociale", "memo",
                                                std::string(kNoteComuni)};
    return names;
}

// The suite's text files are windows-1252; a file saved with names the code
// page cannot hold is UTF-8 (see SalvaDefinizione), recognised as such.
std::string decode(const std::string& bytes)
{
    return isValidUtf8(bytes) ? bytes : cp1252ToUtf8(bytes);
}

std::string encode(const std::string& utf8)
{
    const std::string cp1252 = utf8ToCp1252(utf8);
    return cp1252ToUtf8(cp1252) == utf8 ? cp1252 : utf8;
}

// The box's text with every line end (LF, CR LF, CR) as CR LF.
std::string withCrLf(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += "\r\n";
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::string Definizione::testo(std::string_view lineEnd) const
{
    std::string text;
    for (const std::string& name : campi) {
        text += name;
        text += lineEnd;
    }
    return text;
}

std::filesystem::path fileDefinizione(const SuitePaths& paths)
{
    return paths.dataDir() / "exp-excel.ini";
}

Definizione leggiVoci(std::string_view utf8Text)
{
    Definizione def;
    std::istringstream in{std::string(utf8Text)};
    InputItemReader reader(in);
    std::size_t leftOut = 0;
    while (const auto item = reader.next()) {
        if (item->empty()) continue;
        if (def.campi.size() < kMaxCampi)
            def.campi.push_back(*item);
        else
            ++leftOut;
    }
    if (leftOut > 0)
        def.avvisi.push_back("La definizione ha " + std::to_string(kMaxCampi + leftOut) +
                             " campi: sono usati i primi " + std::to_string(kMaxCampi) +
                             (leftOut == 1 ? ", l'ultimo è ignorato"
                                           : ", gli altri " + std::to_string(leftOut) + " sono ignorati"));
    return def;
}

Definizione LeggeDefinizione(const SuitePaths& paths)
{
    const auto file = fileDefinizione(paths);
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) {
        Definizione def;
        def.campi = defaultCampi();
        return def;
    }
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    if (in) bytes << in.rdbuf();
    if (!in.is_open() || in.bad()) {
        Definizione def;
        def.campi = defaultCampi();
        def.avvisi.push_back("Impossibile leggere la definizione " + file.string() +
                             ": sono usati i campi predefiniti");
        return def;
    }
    Definizione def = leggiVoci(decode(bytes.str()));
    def.daFile = true;
    for (std::string& avviso : def.avvisi) avviso = file.string() + ": " + avviso;
    return def;
}

Definizione SalvaDefinizione(const SuitePaths& paths, std::string_view testo)
{
    const auto file = fileDefinizione(paths);
    const std::string bytes = encode(withCrLf(testo) + "\r\n");
    try {
        writeWholeFile(file, bytes);
    } catch (const FileError& e) {
        throw DefinizioneError("Impossibile salvare la definizione " + file.string() + ": " + e.motivo());
    }
    return LeggeDefinizione(paths);
}

}  // namespace crv::tools
