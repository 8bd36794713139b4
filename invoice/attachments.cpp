#include "invoice/attachments.h"

#include <QByteArray>

#include <optional>
#include <system_error>

#include "files/system_reason.h"
#include "files/whole_file.h"

namespace crv {
namespace {

// At most this many names are tried beside a taken one.
constexpr int kMaxAlternatives = 1000;

// The longest name written, in bytes: file systems take 255, and a taken
// name gets " (N)" beside it.
constexpr std::size_t kMaxNameBytes = 200;

// "nome.ext" -> "nome (2).ext"
std::string alternative(const std::string& name, int n)
{
    const std::size_t dot = name.rfind('.');
    const std::string suffix = " (" + std::to_string(n) + ")";
    if (dot == std::string::npos || dot == 0) return name + suffix;
    return name.substr(0, dot) + suffix + name.substr(dot);
}

// Base64 as the invoice holds it: line ends and blanks between the groups.
std::optional<QByteArray> decodeBase64(const std::string& text)
{
    QByteArray compact;
    compact.reserve(static_cast<qsizetype>(text.size()));
    for (const char c : text) {
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') compact += c;
    }
    // Four characters make three bytes, two or three the last one or two: a
    // single character left over holds no byte at all, however it is padded.
    const qsizetype digits = compact.size() - compact.count('=');
    if (digits % 4 == 1) return std::nullopt;
    QByteArray::FromBase64Result decoded =
        QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) return std::nullopt;
    return std::move(decoded.decoded);
}

// The longest extension kept when a name is cut, its dot included.
constexpr std::size_t kMaxExtensionBytes = 16;

// Whether the character at `i` is no part of a file name on some system,
// with its length in bytes: controls, the characters Windows refuses, and
// the bidirectional controls that show a name other than it is
// ("fattura\u202Efdp.exe" reads as "fatturaexe.pdf").
bool unsafeAt(std::string_view name, std::size_t i, std::size_t& length)
{
    length = 1;
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(name[i + k]); };
    const unsigned char c = byte(0);
    if (c < 0x20 || c == 0x7F) return true;
    if (std::string_view("<>:\"|?*").find(static_cast<char>(c)) != std::string_view::npos) return true;
    const std::size_t left = name.size() - i;
    if (left >= 2 && ((c == 0xC2 && byte(1) <= 0x9F) || (c == 0xD8 && byte(1) == 0x9C))) {
        length = 2;  // C1 controls, U+061C
        return true;
    }
    if (left >= 3 && c == 0xE2) {
        const unsigned char b1 = byte(1), b2 = byte(2);
        // U+200E, U+200F, U+202A to U+202E, U+2066 to U+2069.
        if ((b1 == 0x80 && (b2 == 0x8E || b2 == 0x8F || (b2 >= 0xAA && b2 <= 0xAE))) ||
            (b1 == 0x81 && b2 >= 0xA6 && b2 <= 0xA9)) {
            length = 3;
            return true;
        }
    }
    return false;
}

// Windows drops the blanks and dots at the end of a name.
void trimEnd(std::string& name)
{
    while (!name.empty() && (name.back() == ' ' || name.back() == '.')) name.pop_back();
}

// Devices Windows opens instead of a file of that name, whatever follows
// its first dot ("AUX.pdf" is the device AUX).
bool deviceName(std::string_view name)
{
    std::string base(name.substr(0, name.find('.')));
    trimEnd(base);
    for (char& c : base)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" || base == "CONOUT$")
        return true;
    const std::string_view stem = std::string_view(base).substr(0, 3);
    if (stem != "COM" && stem != "LPT") return false;
    const std::string_view digit = std::string_view(base).substr(3);
    // 1 to 9, and the superscripts ¹ ² ³ that Windows takes as digits there.
    return (digit.size() == 1 && digit[0] >= '1' && digit[0] <= '9') || digit == "\xC2\xB9" ||
           digit == "\xC2\xB2" || digit == "\xC2\xB3";
}

// A name longer than kMaxNameBytes cut to it, a short extension kept, never
// inside a UTF-8 character; an extension too long to keep goes with the cut.
std::string shortened(const std::string& name)
{
    if (name.size() <= kMaxNameBytes) return name;
    const std::size_t dot = name.rfind('.');
    const bool shortExtension = dot != std::string::npos && dot > 0 && name.size() - dot <= kMaxExtensionBytes;
    const std::string extension = shortExtension ? name.substr(dot) : "";
    std::size_t keep = kMaxNameBytes - extension.size();
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
    std::string stem = name.substr(0, keep);
    // The cut may leave a blank or a dot at the end, which Windows drops.
    trimEnd(stem);
    return stem + extension;
}

}  // namespace

std::string safeAttachmentName(const std::string& nomeAttachment, int n)
{
    std::string name = nomeAttachment;
    const std::size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name = name.substr(slash + 1);
    const std::size_t colon = name.find_last_of(':');  // "C:nome", a drive without a folder
    if (colon != std::string::npos) name = name.substr(colon + 1);
    std::string plain;
    plain.reserve(name.size());
    for (std::size_t i = 0, length = 1; i < name.size(); i += length) {
        if (unsafeAt(name, i, length))
            plain += '_';
        else
            plain.append(name, i, length);
    }
    name = std::move(plain);
    trimEnd(name);
    while (!name.empty() && name.front() == ' ') name.erase(name.begin());
    if (name.empty() || name.find_first_not_of('.') == std::string::npos) return "allegato-" + std::to_string(n);
    name = shortened(name);
    if (deviceName(name)) name.insert(name.begin(), '_');
    return name;
}

std::vector<SavedAttachment> saveAttachments(const std::vector<Allegato>& allegati,
                                             const std::filesystem::path& folder)
{
    std::vector<SavedAttachment> results;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    std::string folderProblem;
    if (ec || !std::filesystem::is_directory(folder, ec))
        folderProblem = "impossibile creare la cartella " + folder.string() +
                        (ec ? ": " + motivoDiSistema(ec) : ": esiste un file con quel nome");
    int n = 0;
    for (const Allegato& a : allegati) {
        SavedAttachment result;
        result.nomeAttachment = a.NomeAttachment;
        ++n;
        if (!folderProblem.empty()) {
            result.problem = folderProblem;
            results.push_back(std::move(result));
            continue;
        }
        const std::optional<QByteArray> bytes = decodeBase64(a.Attachment);
        if (!bytes) {
            result.problem = "il contenuto dell'allegato non è base64 valido";
            results.push_back(std::move(result));
            continue;
        }
        const std::string name = safeAttachmentName(a.NomeAttachment, n);
        // Each name is created new or passed over when taken (by a file, a
        // folder or a link, never followed): nothing is ever overwritten,
        // even when another program writes the same name meanwhile.
        const std::string_view content(bytes->constData(), static_cast<std::size_t>(bytes->size()));
        for (int k = 1; k <= kMaxAlternatives && result.savedAs.empty(); ++k) {
            const std::filesystem::path target = folder / (k == 1 ? name : alternative(name, k));
            try {
                if (writeNewFile(target, content)) result.savedAs = target;
            } catch (const FileError& e) {
                result.problem = "impossibile scrivere il file " + target.string() + ": " + e.motivo();
                break;
            }
        }
        if (result.savedAs.empty() && result.problem.empty())
            result.problem = "troppi file con il nome " + name + " nella cartella";
        results.push_back(std::move(result));
    }
    return results;
}

}  // namespace crv
