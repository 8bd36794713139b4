#include "invoice/attachments.h"

#include <QByteArray>
#include <QFile>

#include <optional>
#include <system_error>

namespace crv {
namespace {

// At most this many names are tried beside a taken one.
constexpr int kMaxAlternatives = 1000;

// The longest name written, in bytes: file systems take 255, and a taken
// name gets " (N)" beside it.
constexpr std::size_t kMaxNameBytes = 200;

QString qPath(const std::filesystem::path& path)
{
    return QString::fromStdString(path.string());
}

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
    QByteArray::FromBase64Result decoded =
        QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) return std::nullopt;
    return std::move(decoded.decoded);
}

// A name longer than kMaxNameBytes cut to it, a short extension kept, never
// inside a UTF-8 character.
std::string shortened(const std::string& name)
{
    if (name.size() <= kMaxNameBytes) return name;
    const std::size_t dot = name.rfind('.');
    const bool shortExtension = dot != std::string::npos && dot > 0 && name.size() - dot <= 16;
    const std::string extension = shortExtension ? name.substr(dot) : "";
    std::size_t keep = kMaxNameBytes - extension.size();
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
    return name.substr(0, keep) + extension;
}

}  // namespace

std::string safeAttachmentName(const std::string& nomeAttachment, int n)
{
    std::string name = nomeAttachment;
    const std::size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name = name.substr(slash + 1);
    const std::size_t colon = name.find_last_of(':');  // "C:nome", a drive without a folder
    if (colon != std::string::npos) name = name.substr(colon + 1);
    for (char& c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
    }
    while (!name.empty() && (name.back() == ' ' || name.back() == '.')) name.pop_back();
    while (!name.empty() && name.front() == ' ') name.erase(name.begin());
    if (name.empty() || name.find_first_not_of('.') == std::string::npos) return "allegato-" + std::to_string(n);
    return shortened(name);
}

std::vector<SavedAttachment> saveAttachments(const std::vector<Allegato>& allegati,
                                             const std::filesystem::path& folder)
{
    std::vector<SavedAttachment> results;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const bool folderReady = std::filesystem::is_directory(folder, ec);
    int n = 0;
    for (const Allegato& a : allegati) {
        SavedAttachment result;
        result.nomeAttachment = a.NomeAttachment;
        ++n;
        if (!folderReady) {
            result.problem = "impossibile creare la cartella " + folder.string();
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
        // NewOnly creates the file or fails when it exists: never an overwrite,
        // even when another program writes the same name meanwhile.
        for (int k = 1; k <= kMaxAlternatives && result.savedAs.empty(); ++k) {
            const std::filesystem::path target = folder / (k == 1 ? name : alternative(name, k));
            QFile file(qPath(target));
            if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
                // Taken, also by a link that leads nowhere (which NewOnly never writes through).
                std::error_code linkEc;
                if (std::filesystem::exists(std::filesystem::symlink_status(target, linkEc))) continue;
                result.problem = "impossibile scrivere " + target.string() + ": " + file.errorString().toStdString();
                break;
            }
            if (file.write(*bytes) != bytes->size() || !file.flush()) {
                result.problem = "impossibile scrivere " + target.string() + ": " + file.errorString().toStdString();
                file.close();
                file.remove();  // no half-written attachment
                break;
            }
            file.close();
            result.savedAs = target;
        }
        if (result.savedAs.empty() && result.problem.empty())
            result.problem = "troppi file con il nome " + name + " nella cartella";
        results.push_back(std::move(result));
    }
    return results;
}

}  // namespace crv
