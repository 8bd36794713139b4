#include "import/text_repair.h"

#include <cstring>

#include <unistd.h>

#include "files/system_reason.h"
#include "files/whole_file.h"
#include "text/input_items.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <system_error>
#include <vector>

namespace crv {

namespace fs = std::filesystem;

namespace {

// Size of the read buffer and of the write batches.
constexpr std::size_t kChunkSize = std::size_t{1} << 16;

constexpr std::string_view kLineEnd = "\r\n";

std::string fileName(const fs::path& path)
{
    return path.string();
}

[[noreturn]] void failOpen(const fs::path& path)
{
    throw RepairError("Impossibile aprire il file " + fileName(path));
}

[[noreturn]] void failRead(const fs::path& path)
{
    throw RepairError("Errore nella lettura del file " + fileName(path));
}

void toLowerAscii(std::string& text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
}

std::string trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return std::string(text);
}

// Appends the line with the character repair applied.
void repairInto(std::string& out, std::string_view line)
{
    // One pass gives the same result as the five replacements done one
    // after the other: no replacement text holds a character that a
    // later replacement would change.
    for (const char c : line) {
        switch (static_cast<unsigned char>(c)) {
        case 0x40:  // @
        case 0xDD:  // Ý
        case 0xA7:  // §
            out.append("&#64;");
            break;
        case 0xB0:  // °
            out.append("&#248;");
            break;
        case 0xD9:  // Ù
            out.append("U'");
            break;
        default:
            out.push_back(c);
        }
    }
}

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

// Reads a byte stream in chunks and reports its lines piece by piece, so a
// line of any length is handled without being held whole: onBytes(view) gets
// the bytes of the current line as they come, onLineEnd() is called at each
// line end (CR LF, LF or CR) and after a last line that has none; when it
// returns false the scan stops there.
template <typename OnBytes, typename OnLineEnd>
void scanLines(std::istream& in, const fs::path& path, OnBytes&& onBytes, OnLineEnd&& onLineEnd)
{
    std::vector<char> buffer(kChunkSize);
    bool lineOpen = false;  // bytes were read since the last line end
    bool afterCr = false;   // the last line end was a CR: an LF right after belongs to it
    while (in.good()) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const char* pos = buffer.data();
        const char* const end = pos + in.gcount();
        while (pos != end) {
            if (afterCr) {
                afterCr = false;
                if (*pos == '\n') {
                    ++pos;
                    continue;
                }
            }
            const char* const stop = std::find_if(pos, end, isLineEnd);
            if (stop != pos) {
                onBytes(std::string_view(pos, static_cast<std::size_t>(stop - pos)));
                lineOpen = true;
            }
            if (stop == end) break;
            lineOpen = false;
            afterCr = *stop == '\r';
            pos = stop + 1;
            if (!onLineEnd()) return;
        }
    }
    if (in.bad()) failRead(path);
    if (lineOpen) onLineEnd();
}

// Collects output in batches of about kChunkSize bytes.
class BatchWriter {
public:
    explicit BatchWriter(WholeFile& out) : out_(out) { pending_.reserve(kChunkSize * 2); }

    void append(std::string_view bytes)
    {
        pending_.append(bytes);
        flushIfFull();
    }

    void appendRepaired(std::string_view bytes)
    {
        repairInto(pending_, bytes);
        flushIfFull();
    }

    void flush()
    {
        out_.write(pending_);
        pending_.clear();
    }

private:
    void flushIfFull()
    {
        if (pending_.size() >= kChunkSize) flush();
    }

    WholeFile& out_;
    std::string pending_;
};

// Writes through a new file beside the target that takes its place whole;
// the target's own errors become RepairError naming it.
template <typename Write>
bool writeWhole(const fs::path& target, Write&& write)
{
    try {
        WholeFile out(target);
        write(out);
        return out.commit();
    } catch (const FileError& e) {
        throw RepairError(e.what());
    }
}

// Copies path to path + ".xml" through Aggiusta, wrapped in a root element
// when asked; true when an earlier file of that name was replaced.
bool writeRepairedCopy(fs::path& path, bool wrapInRoot)
{
    fs::path target = path;
    target += ".xml";

    std::ifstream in(path, std::ios::binary);
    if (!in) failOpen(path);

    const bool replaced = writeWhole(target, [&](WholeFile& out) {
        BatchWriter writer(out);
        if (wrapInRoot) {
            writer.append("<root>");
            writer.append(kLineEnd);
        }
        scanLines(
            in, path, [&](std::string_view bytes) { writer.appendRepaired(bytes); },
            [&] {
                writer.append(kLineEnd);
                return true;
            });
        if (wrapInRoot) {
            writer.append("</root>");
            writer.append(kLineEnd);
        }
        writer.flush();
    });
    path = std::move(target);
    return replaced;
}

// The replacement of the UTF-8 character that begins at text[i], or empty
// when the character stays; `length` gets the character's length.
std::string_view replacementAt(std::string_view text, std::size_t i, std::size_t& length)
{
    length = 1;
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '@') return "&#64;";
    if ((c != 0xC2 && c != 0xC3) || i + 1 >= text.size()) return {};
    length = 2;
    switch ((c << 8) | static_cast<unsigned char>(text[i + 1])) {
    case 0xC39D:  // Ý
    case 0xC2A7:  // §
        return "&#64;";
    case 0xC2B0:  // °
        return "&#248;";
    case 0xC399:  // Ù
        return "U'";
    default:
        length = 1;
        return {};
    }
}

// Offset of the next byte from `from` on that may begin a replaced character.
std::size_t nextCandidate(std::string_view text, std::size_t from)
{
    for (std::size_t i = from; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '@' || c == 0xC2 || c == 0xC3) return i;
    }
    return text.size();
}

}  // namespace

void aggiustaTesto(std::string& out, std::string_view text)
{
    std::size_t plain = 0;
    for (std::size_t i = nextCandidate(text, 0); i < text.size(); i = nextCandidate(text, i)) {
        std::size_t length = 1;
        const std::string_view replacement = replacementAt(text, i, length);
        if (replacement.empty()) {
            i += length;
            continue;
        }
        out.append(text.substr(plain, i - plain));
        out.append(replacement);
        i += length;
        plain = i;
    }
    out.append(text.substr(plain));
}

std::size_t primaDellaRiparazione(std::string_view text, std::uint64_t& repaired)
{
    std::size_t i = 0;
    while (i < text.size() && repaired > 0) {
        const std::size_t candidate = nextCandidate(text, i);
        // Plain bytes keep their length.
        const std::size_t plain = static_cast<std::size_t>(std::min<std::uint64_t>(candidate - i, repaired));
        i += plain;
        repaired -= plain;
        if (i < candidate || i >= text.size() || repaired == 0) break;
        std::size_t length = 1;
        const std::string_view replacement = replacementAt(text, i, length);
        const std::size_t size = replacement.empty() ? length : replacement.size();
        if (size > repaired) break;
        i += length;
        repaired -= size;
    }
    return i;
}

std::string Aggiusta(std::string_view line)
{
    std::string repaired;
    repaired.reserve(line.size());
    repairInto(repaired, line);
    return repaired;
}

bool MancaRoot(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) failOpen(path);

    InputItemReader items(in);
    std::string first = trimmed(items.next().value_or(std::string()));
    std::string second = trimmed(items.next().value_or(std::string()));
    if (in.bad()) failRead(path);

    toLowerAscii(first);
    toLowerAscii(second);
    return first != "<root>" && second != "<root>";
}

bool MancaFineRoot(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) failOpen(path);

    // Matches "</root>" byte by byte, without regard to case. The pattern
    // holds "<" only at its start, so after a mismatch the match restarts at
    // 1 on a "<" and at 0 otherwise.
    constexpr std::string_view closing = "</root>";
    std::size_t matched = 0;
    bool lineHasOpening = false;  // the line holds "</root"
    bool lineHasClosing = false;  // the line holds "</root>"
    bool missing = true;

    scanLines(
        in, path,
        [&](std::string_view bytes) {
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                if (matched == 0) {
                    // Outside a match only a "<" can start one: jump to it.
                    const void* lt = std::memchr(bytes.data() + i, '<', bytes.size() - i);
                    if (!lt) break;
                    i = static_cast<std::size_t>(static_cast<const char*>(lt) - bytes.data());
                }
                const char byte = bytes[i];
                const char c = (byte >= 'A' && byte <= 'Z') ? static_cast<char>(byte - 'A' + 'a')
                                                            : byte;
                if (c == closing[matched]) {
                    ++matched;
                } else {
                    matched = (c == '<') ? 1 : 0;
                }
                if (matched == closing.size() - 1) lineHasOpening = true;
                if (matched == closing.size()) {
                    lineHasClosing = true;
                    matched = 0;
                }
            }
        },
        [&] {
            // The first line that starts a closing root tag ends the search;
            // a tag written as "</root >" is not a complete one.
            if (lineHasOpening) {
                missing = !lineHasClosing;
                return false;
            }
            matched = 0;
            return true;
        });
    return missing;
}

void AccodaFineRoot(const fs::path& path)
{
    // The delivery itself is never opened for writing: its completed copy is
    // written whole beside it and takes its place in one rename, so a full
    // disk or a stop leaves it as it came. A link is followed to the file it
    // names, which gets the tag as an append would have given it.
    std::error_code ec;
    const fs::path file = fs::is_symlink(path, ec) ? fs::canonical(path, ec) : path;
    if (ec || !fs::is_regular_file(file, ec)) failOpen(path);
    // A delivery the user may not write stays as it is, as an append to it
    // would have been refused.
    if (::access(file.c_str(), W_OK) != 0)
        throw RepairError("Impossibile aggiungere </root> alla fine del file " + fileName(path) + ": " +
                          motivoDiSistema(errno) + ". Il file è rimasto com'era");

    std::ifstream in(file, std::ios::binary);
    if (!in) failOpen(path);
    std::vector<char> buffer(kChunkSize);
    try {
        WholeFile out(file);
        out.keepPermissionsOf(file);
        // A file whose last line has no line end gets one first, so that the
        // tag stands on a line of its own.
        char last = '\n';
        while (in) {
            in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            const auto n = static_cast<std::size_t>(in.gcount());
            if (n == 0) break;
            out.write(std::string_view(buffer.data(), n));
            last = buffer[n - 1];
        }
        if (in.bad()) failRead(path);
        if (last != '\n' && last != '\r') out.write(kLineEnd);
        out.write("</root>");
        out.write(kLineEnd);
        out.commit();
    } catch (const FileError& e) {
        throw RepairError("Impossibile aggiungere </root> alla fine del file " + fileName(path) + ": " + e.motivo() +
                          ". Il file è rimasto com'era");
    }
}

bool Converti2XML(fs::path& path)
{
    return writeRepairedCopy(path, true);
}

bool Rinomina(fs::path& path)
{
    return writeRepairedCopy(path, false);
}

}  // namespace crv
