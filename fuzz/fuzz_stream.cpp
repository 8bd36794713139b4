// libFuzzer entry point for the delivery read one case at a time: any bytes
// are written to a file and read with CaseStream, with reads of every size,
// and held against the whole document read at once: the same cases under the
// same root, or the same first fault at the same place for the same reason,
// always one of the rules' own. Aborts on any difference, on a crash or a
// hang.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "import/case_stream.h"
#include "text/encoding.h"
#include "xml/xml_document.h"

namespace {

namespace fs = std::filesystem;

void require(bool condition)
{
    if (!condition) std::abort();
}

std::string describe(pugi::xml_node element)
{
    std::string out = element.name();
    for (const pugi::xml_attribute a : element.attributes()) out += std::string(" ") + a.name() + "=" + a.value();
    return out;
}

struct Reading {
    std::vector<std::string> cases;
    std::string root;
    std::optional<crv::XmlParseError> error;
    crv::StreamSummary summary;
};

Reading streamed(const fs::path& file, const crv::CaseStreamOptions& options)
{
    Reading r;
    try {
        crv::CaseStream stream(file, options);
        while (const pugi::xml_node c = stream.next()) {
            r.cases.push_back(crv::nodeMarkup(c));
            require(c.parent().parent().type() == pugi::node_document);
            if (r.root.empty()) r.root = describe(c.parent());
        }
        r.summary = stream.summary();
        require(stream.bytesRead() == stream.size());
    } catch (const crv::CaseStreamError& e) {
        r.error = e.error();
        require(r.error->line >= 1 && r.error->linepos >= 1);
        require(!r.error->reason.empty());
        require(crv::isValidUtf8(r.error->srcText));
        require(r.error->srcText.find_first_of(std::string("\r\n\0", 3)) == std::string::npos);
    }
    return r;
}

void show(const char* who, const std::optional<crv::XmlParseError>& e)
{
    if (!e) {
        std::fprintf(stderr, "%s: nessun errore\n", who);
        return;
    }
    std::fprintf(stderr, "%s: linea %lld pos %lld [%s] %s\n", who, static_cast<long long>(e->line),
                 static_cast<long long>(e->linepos), e->srcText.c_str(), e->reason.c_str());
}

// Aborts after showing both readings' faults.
[[noreturn]] void differ(const Reading& s, const std::optional<crv::XmlParseError>& whole)
{
    show("flusso", s.error);
    show("intero", whole);
    std::abort();
}

void compare(const Reading& s, const std::string& bytes, const std::string& url, bool bank)
{
    crv::XmlDocument doc;
    if (!doc.loadBytes(bytes, url)) {
        const crv::XmlParseError& w = doc.parseError();
        if (!s.error) differ(s, w);
        const crv::XmlParseError& e = *s.error;
        if (e.line != w.line || e.linepos != w.linepos || e.srcText != w.srcText || e.reason != w.reason ||
            e.srcFrom != w.srcFrom || e.srcContinues != w.srcContinues)
            differ(s, w);
        // The parser that builds the tree never refuses what the rules passed.
        require(e.reason != crv::kErroreDiSintassi);
        return;
    }
    if (s.error) differ(s, std::nullopt);
    const pugi::xml_node root = doc.documentElement();
    std::vector<std::string> cases;
    for (const pugi::xml_node c : root.children(bank ? "documento" : "PRATICA")) cases.push_back(crv::nodeMarkup(c));
    require(s.cases == cases);
    if (!cases.empty()) require(s.root == describe(root));
    require(s.summary.rootName == root.name());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    // The last byte chooses how to read: reads of 1 to 64 bytes or of a
    // megabyte, the bank format, the text mode and the file's name.
    const unsigned choice = size > 0 ? data[size - 1] : 0;
    static const fs::path folder = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    const fs::path file = folder / ("crvxml-fuzz-" + std::to_string(::getpid()) + ((choice & 0x40) ? ".TXT" : ".xml"));
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    crv::CaseStreamOptions options;
    options.readSize = (choice & 0x80) ? 0 : 1 + (choice & 0x3F);
    for (const bool bank : {false, true}) {
        options.modoDocumento = bank;
        options.modoTesto = bank && (choice & 0x20);
        const Reading s = streamed(file, options);
        // The bank format repairs and reads exports: held against the whole
        // document only where it has nothing to repair.
        if (!bank) {
            compare(s, bytes, file.string(), false);
        } else if (!(choice & 0x40) && !s.summary.rootSupplied) {
            crv::XmlDocument doc;
            if (doc.loadBytes(bytes, file.string())) compare(s, bytes, file.string(), true);
        }
    }
    fs::remove(file);
    return 0;
}
