#include "tools/xlsx_check.h"

#include <array>
#include <fstream>
#include <functional>
#include <set>
#include <string_view>
#include <vector>

#include <pugixml.hpp>
#include <zlib.h>

namespace crv::tools {
namespace {

constexpr std::string_view kSheet = "xl/worksheets/sheet1.xml";
constexpr std::array<std::string_view, 6> kNeeded{"[Content_Types].xml", "_rels/.rels", "xl/workbook.xml",
                                                  "xl/_rels/workbook.xml.rels", "xl/styles.xml", kSheet};
// A part held whole for the XML check; the sheet is followed as it streams.
constexpr std::uint32_t kMaxHeldPart = 16u << 20;
constexpr std::size_t kChunk = 1u << 16;

std::uint32_t le16(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0] | (p[1] << 8));
}

std::uint32_t le32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

struct Entry {
    std::string name;
    std::uint32_t method = 0, crc = 0, packed = 0, size = 0, offset = 0;
};

// Where the rows of the sheet begin and end, seen as it inflates: the rows
// begin after the first "<sheetData>", in the short head of the sheet, and
// end at the last "</sheetData>", in its short tail; nothing between is held.
class SheetRows {
public:
    void feed(std::string_view bytes)
    {
        if (start_ == 0 && head_.size() < kHead) {
            head_.append(bytes.substr(0, kHead - head_.size()));
            if (const std::size_t at = head_.find("<sheetData>"); at != std::string::npos) start_ = at + 11;
        }
        offset_ += bytes.size();
        // The tail holds the last bytes of the stream, contiguous.
        if (bytes.size() >= kTail) {
            tail_.assign(bytes.substr(bytes.size() - kTail));
        } else {
            tail_.append(bytes);
            if (tail_.size() > 2 * kTail) tail_.erase(0, tail_.size() - kTail);
        }
    }
    std::string problem(std::uint64_t expected) const
    {
        const std::size_t close = tail_.rfind("</sheetData>");
        if (!tail_.ends_with("</worksheet>") || close == std::string::npos) return "il foglio è tronco";
        const std::uint64_t end = offset_ - (tail_.size() - close);
        if (start_ == 0 || end < start_) return "il foglio non ha le righe";
        if (end - start_ != expected)
            return "le righe del foglio hanno " + std::to_string(end - start_) + " byte invece di " +
                   std::to_string(expected);
        return {};
    }

private:
    static constexpr std::size_t kHead = 1u << 20;  // headings, views and column widths
    static constexpr std::size_t kTail = 1u << 16;  // margins and the closing tags
    std::string head_, tail_;
    std::uint64_t offset_ = 0, start_ = 0;
};

// Inflates one entry, handing its bytes to `sink`; the problem or "".
std::string inflateEntry(std::ifstream& in, const Entry& e, const std::function<void(std::string_view)>& sink)
{
    unsigned char local[30];
    in.seekg(e.offset);
    if (!in.read(reinterpret_cast<char*>(local), sizeof local) || le32(local) != 0x04034b50)
        return "la parte " + e.name + " manca";
    in.seekg(static_cast<std::streamoff>(e.offset) + 30 + le16(local + 26) + le16(local + 28));

    std::vector<char> input(kChunk), output(kChunk);
    std::uint32_t left = e.packed;
    std::uint64_t produced = 0;
    uLong crc = crc32(0, nullptr, 0);
    const auto take = [&](const char* data, std::size_t n) {
        crc = crc32(crc, reinterpret_cast<const Bytef*>(data), static_cast<uInt>(n));
        produced += n;
        sink(std::string_view(data, n));
    };
    if (e.method == 0) {
        while (left > 0) {
            const std::size_t n = std::min<std::size_t>(left, input.size());
            if (!in.read(input.data(), static_cast<std::streamsize>(n))) return "la parte " + e.name + " è tronca";
            take(input.data(), n);
            left -= static_cast<std::uint32_t>(n);
        }
    } else if (e.method == 8) {
        z_stream z{};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return "memoria insufficiente";
        int status = Z_OK;
        while (status != Z_STREAM_END) {
            if (z.avail_in == 0) {
                if (left == 0) break;
                const std::size_t n = std::min<std::size_t>(left, input.size());
                if (!in.read(input.data(), static_cast<std::streamsize>(n))) break;
                left -= static_cast<std::uint32_t>(n);
                z.next_in = reinterpret_cast<Bytef*>(input.data());
                z.avail_in = static_cast<uInt>(n);
            }
            z.next_out = reinterpret_cast<Bytef*>(output.data());
            z.avail_out = static_cast<uInt>(output.size());
            status = inflate(&z, Z_NO_FLUSH);
            if (status != Z_OK && status != Z_STREAM_END) break;
            take(output.data(), output.size() - z.avail_out);
        }
        const bool whole = status == Z_STREAM_END && left == 0 && z.avail_in == 0;
        inflateEnd(&z);
        if (!whole) return "la parte " + e.name + " è danneggiata";
    } else {
        return "la parte " + e.name + " ha una compressione sconosciuta";
    }
    if (produced != e.size || crc != e.crc) return "la parte " + e.name + " è danneggiata";
    return {};
}

}  // namespace

std::string workbookIncompleto(const std::filesystem::path& file, std::uint64_t sheetDataBytes)
{
    std::ifstream in(file, std::ios::binary);
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    if (!in || ec || size < 22) return "il file è vuoto o illeggibile";

    // The end record: the last 22 bytes, the library writing no comment.
    unsigned char end[22];
    in.seekg(static_cast<std::streamoff>(size - sizeof end));
    if (!in.read(reinterpret_cast<char*>(end), sizeof end) || le32(end) != 0x06054b50)
        return "il file non termina come un archivio zip";
    const std::uint32_t count = le16(end + 10), directorySize = le32(end + 12), directoryAt = le32(end + 16);
    if (static_cast<std::uint64_t>(directoryAt) + directorySize > size - sizeof end) return "l'indice dell'archivio è fuori dal file";

    std::vector<unsigned char> directory(directorySize);
    in.seekg(directoryAt);
    if (!in.read(reinterpret_cast<char*>(directory.data()), directorySize)) return "l'indice dell'archivio è illeggibile";
    std::vector<Entry> entries;
    for (std::size_t at = 0; entries.size() < count;) {
        if (at + 46 > directory.size() || le32(&directory[at]) != 0x02014b50) return "l'indice dell'archivio è danneggiato";
        const unsigned char* p = &directory[at];
        Entry e;
        e.method = le16(p + 10);
        e.crc = le32(p + 16);
        e.packed = le32(p + 20);
        e.size = le32(p + 24);
        e.offset = le32(p + 42);
        const std::uint32_t nameLength = le16(p + 28);
        at += 46;
        if (at + nameLength > directory.size()) return "l'indice dell'archivio è danneggiato";
        e.name.assign(reinterpret_cast<const char*>(&directory[at]), nameLength);
        at += nameLength + le16(p + 30) + le16(p + 32);
        entries.push_back(std::move(e));
    }

    std::set<std::string_view> seen;
    for (const Entry& e : entries) {
        std::string problem;
        if (e.name == kSheet) {
            SheetRows rows;
            problem = inflateEntry(in, e, [&](std::string_view bytes) { rows.feed(bytes); });
            if (problem.empty()) problem = rows.problem(sheetDataBytes);
        } else {
            std::string whole;
            const bool xml = e.name.ends_with(".xml") || e.name.ends_with(".rels");
            if (xml && e.size > kMaxHeldPart) return "la parte " + e.name + " è troppo grande";
            problem = inflateEntry(in, e, [&](std::string_view bytes) {
                if (xml) whole.append(bytes);
            });
            pugi::xml_document doc;
            if (problem.empty() && xml && (whole.empty() || !doc.load_buffer(whole.data(), whole.size())))
                problem = "la parte " + e.name + " è tronca";
        }
        if (!problem.empty()) return problem;
        seen.insert(e.name);
    }
    for (const std::string_view name : kNeeded) {
        if (!seen.contains(name)) return "manca la parte " + std::string(name);
    }
    return {};
}

}  // namespace crv::tools
