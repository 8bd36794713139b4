#include "import/text_repair.h"

#include <cstring>

#include "text/input_items.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>
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

[[noreturn]] void failWrite(const fs::path& path)
{
    throw RepairError("Impossibile scrivere il file " + fileName(path));
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
    BatchWriter(std::ostream& out, fs::path reportedPath)
        : out_(out), reportedPath_(std::move(reportedPath))
    {
        pending_.reserve(kChunkSize * 2);
    }

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
        out_.write(pending_.data(), static_cast<std::streamsize>(pending_.size()));
        pending_.clear();
        if (!out_) failWrite(reportedPath_);
    }

private:
    void flushIfFull()
    {
        if (pending_.size() >= kChunkSize) flush();
    }

    std::ostream& out_;
    fs::path reportedPath_;
    std::string pending_;
};

// Removes a scratch file when it goes out of scope, unless released.
class ScratchFile {
public:
    explicit ScratchFile(fs::path path) : path_(std::move(path)) {}
    ~ScratchFile()
    {
        if (path_.empty()) return;
        std::error_code ignored;
        fs::remove(path_, ignored);
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const fs::path& path() const { return path_; }
    void release() { path_.clear(); }

private:
    fs::path path_;
};

// A name for the scratch copy beside the target, one that does not exist yet.
// It does not end in ".xml", so a file list filtered on that pattern never
// shows it.
fs::path scratchNameFor(const fs::path& target)
{
    std::mt19937_64 generator{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[17];
        std::snprintf(suffix, sizeof suffix, "%016llx",
                      static_cast<unsigned long long>(generator()));
        fs::path candidate = target;
        candidate += ".";
        candidate += suffix;
        candidate += ".tmp";
        std::error_code ec;
        if (!fs::exists(candidate, ec) && !ec) return candidate;
    }
    failWrite(target);
}

// Copies path to path + ".xml" through Aggiusta, wrapped in a root element
// when asked. The copy is written beside the target and renamed into place
// only when complete.
void writeRepairedCopy(fs::path& path, bool wrapInRoot)
{
    fs::path target = path;
    target += ".xml";

    std::ifstream in(path, std::ios::binary);
    if (!in) failOpen(path);

    // Declared before the stream, so the stream is closed before the file
    // is removed.
    ScratchFile scratch(scratchNameFor(target));
    {
        std::ofstream out(scratch.path(), std::ios::binary | std::ios::trunc);
        if (!out) failWrite(target);

        BatchWriter writer(out, target);
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

        out.close();
        if (out.fail()) failWrite(target);
    }

    std::error_code ec;
    fs::rename(scratch.path(), target, ec);
    if (ec) failWrite(target);
    scratch.release();
    path = std::move(target);
}

}  // namespace

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
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (ec) failOpen(path);

    // A file whose last line has no line end gets one first, so that the tag
    // stands on a line of its own.
    bool needsLineEnd = false;
    if (size > 0) {
        std::ifstream in(path, std::ios::binary);
        if (!in) failOpen(path);
        char last = 0;
        if (!in.seekg(-1, std::ios::end) || !in.get(last)) failRead(path);
        needsLineEnd = last != '\n' && last != '\r';
    }

    std::ofstream out(path, std::ios::binary | std::ios::app);
    if (!out) failWrite(path);
    if (needsLineEnd) out << kLineEnd;
    out << "</root>" << kLineEnd;
    out.close();
    if (out.fail()) failWrite(path);
}

void Converti2XML(fs::path& path)
{
    writeRepairedCopy(path, true);
}

void Rinomina(fs::path& path)
{
    writeRepairedCopy(path, false);
}

}  // namespace crv
