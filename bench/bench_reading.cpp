// crvxml-bench-lettura: the ways a delivery can be read one case at a time,
// timed against pugixml's load of the whole document. Each way reads every
// case element of a generated delivery and walks it (every element, every
// attribute value, every text), in a process of its own so that its peak
// memory is its own.
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <expat.h>
#include <libxml/xmlreader.h>
#include <pugixml.hpp>

#include "import/case_stream.h"
#include "text/encoding.h"
#include "xml/xml_document.h"

namespace crv::bench {
namespace {

const char* const kUsage =
    "Uso: crvxml-bench-lettura [--banca] [--ripeti R] FILE\n"
    "\n"
    "Legge FILE (scritto da crvxml-gen-corvestra o crvxml-gen-bank) in ciascuno dei modi\n"
    "e ne visita ogni pratica; per ogni modo: secondi, secondi di CPU, picco di memoria.\n"
    "  intero      XmlDocument::load del file intero, poi la visita\n"
    "  flusso      CaseStream, la lettura a pratiche dell'importazione\n"
    "  blocchi     lettura a blocchi, pugixml su tutte le pratiche complete del blocco\n"
    "  libxml2     xmlTextReader, xmlTextReaderExpand su ogni pratica, xmlTextReaderNext\n"
    "  expat       eventi di expat, senza albero\n"
    "  expat-pugi  eventi di expat che costruiscono l'albero pugixml di ogni pratica\n"
    "--modo NOME (ripetibile) sceglie i modi; --nello-stesso-processo li esegue senza\n"
    "processo figlio (per callgrind).\n";

constexpr std::size_t kChunk = std::size_t{1} << 20;

// What a walk of the cases saw: the same for every way of reading.
struct Tally {
    std::uint64_t cases = 0;
    std::uint64_t elements = 0;
    std::uint64_t attributeBytes = 0;
    std::uint64_t textBytes = 0;  // not compared: whitespace is kept by some readers
};

void walkPugi(pugi::xml_node top, Tally& t)
{
    ++t.cases;
    pugi::xml_node node = top;
    for (;;) {
        if (node.type() == pugi::node_element) {
            ++t.elements;
            for (const pugi::xml_attribute a : node.attributes()) t.attributeBytes += std::strlen(a.value());
        }
        t.textBytes += std::strlen(node.value());
        if (const pugi::xml_node child = node.first_child()) {
            node = child;
            continue;
        }
        while (node != top && !node.next_sibling()) node = node.parent();
        if (node == top) return;
        node = node.next_sibling();
    }
}

// ------------------------------------------------------------------ whole document

Tally readWhole(const char* path, const char* caseName)
{
    XmlDocument doc;
    if (!doc.load(path)) throw std::runtime_error(doc.parseError().reason);
    Tally t;
    for (const pugi::xml_node c : doc.documentElement().children(caseName)) walkPugi(c, t);
    return t;
}

// ------------------------------------------------------------------ the import's stream

Tally readStream(const char* path, const char* caseName)
{
    CaseStreamOptions options;
    options.modoDocumento = std::strcmp(caseName, "documento") == 0;
    CaseStream stream(path, options);
    Tally t;
    while (const pugi::xml_node c = stream.next()) walkPugi(c, t);
    return t;
}

// ------------------------------------------------------------------ chunked UTF-8 source

// The file read in chunks and turned from ISO-8859-1 into UTF-8, as the
// generated files are written; the consumed front is dropped as it goes.
class Source {
public:
    explicit Source(const char* path) : fd_(::open(path, O_RDONLY)), raw_(kChunk)
    {
        if (fd_ < 0) throw std::runtime_error("open");
    }
    ~Source() { ::close(fd_); }
    std::string& text() { return text_; }
    // Appends one more chunk; false at the end of the file.
    bool more()
    {
        const ssize_t n = ::read(fd_, raw_.data(), raw_.size());
        if (n < 0) throw std::runtime_error("read");
        if (n == 0) return false;
        text_ += cp1252ToUtf8(std::string_view(raw_.data(), static_cast<std::size_t>(n)));
        return true;
    }
    void drop(std::size_t n) { text_.erase(0, n); }

private:
    int fd_;
    std::vector<char> raw_;
    std::string text_;
};

// Past the XML declaration and the root's start tag.
std::size_t skipToRootContent(Source& src)
{
    for (;;) {
        std::string& s = src.text();
        std::size_t p = 0;
        while ((p = s.find('<', p)) != std::string::npos && p + 1 < s.size() && (s[p + 1] == '?' || s[p + 1] == '!'))
            ++p;
        if (p != std::string::npos && p + 1 < s.size()) {
            const std::size_t close = s.find('>', p);
            if (close != std::string::npos) return close + 1;
        }
        if (!src.more()) throw std::runtime_error("radice mancante");
    }
}

constexpr unsigned kOptions = pugi::parse_default | pugi::parse_embed_pcdata | pugi::parse_fragment;

// ------------------------------------------------------------------ pugixml on every complete case of a chunk

Tally readBlocks(const char* path, const char* caseName)
{
    Source src(path);
    std::size_t pos = skipToRootContent(src);
    const std::string closing = std::string("</") + caseName + ">";
    pugi::xml_document doc;
    Tally t;
    for (;;) {
        std::string& s = src.text();
        const std::size_t last = s.rfind(closing);
        if (last == std::string::npos || last < pos) {
            if (!src.more()) break;
            continue;
        }
        const std::size_t end = last + closing.size();
        const char saved = s[end];
        s[end] = '\0';
        const pugi::xml_parse_result r = doc.load_buffer_inplace(s.data() + pos, end - pos + 1, kOptions,
                                                                 pugi::encoding_utf8);
        if (!r) throw std::runtime_error(r.description());
        for (const pugi::xml_node c : doc.children(caseName)) walkPugi(c, t);
        s[end] = saved;
        src.drop(end);
        pos = 0;
        if (!src.more()) break;
    }
    return t;
}

// ------------------------------------------------------------------ libxml2's reader

void walkLibxml(xmlNodePtr top, Tally& t)
{
    ++t.cases;
    xmlNodePtr node = top;
    for (;;) {
        if (node->type == XML_ELEMENT_NODE) {
            ++t.elements;
            for (xmlAttrPtr a = node->properties; a; a = a->next)
                if (a->children && a->children->content)
                    t.attributeBytes += std::strlen(reinterpret_cast<const char*>(a->children->content));
        } else if (node->type == XML_TEXT_NODE && node->content) {
            t.textBytes += std::strlen(reinterpret_cast<const char*>(node->content));
        }
        if (node->children && node->type == XML_ELEMENT_NODE) {
            node = node->children;
            continue;
        }
        while (node != top && !node->next) node = node->parent;
        if (node == top) return;
        node = node->next;
    }
}

Tally readLibxml(const char* path, const char* caseName)
{
    xmlTextReaderPtr reader = xmlReaderForFile(path, nullptr, XML_PARSE_NONET | XML_PARSE_COMPACT);
    if (!reader) throw std::runtime_error("xmlReaderForFile");
    Tally t;
    int ret = xmlTextReaderRead(reader);
    while (ret == 1) {
        if (xmlTextReaderNodeType(reader) == XML_READER_TYPE_ELEMENT && xmlTextReaderDepth(reader) == 1 &&
            std::strcmp(reinterpret_cast<const char*>(xmlTextReaderConstName(reader)), caseName) == 0) {
            xmlNodePtr node = xmlTextReaderExpand(reader);
            if (!node) throw std::runtime_error("xmlTextReaderExpand");
            walkLibxml(node, t);
            ret = xmlTextReaderNext(reader);
        } else {
            ret = xmlTextReaderRead(reader);
        }
    }
    xmlFreeTextReader(reader);
    if (ret < 0) throw std::runtime_error("libxml2");
    return t;
}

// ------------------------------------------------------------------ expat

struct ExpatState {
    const char* caseName;
    int depth = 0;
    bool inCase = false;
    Tally t;
    // expat-pugi: the tree of the case being read.
    bool build = false;
    pugi::xml_document doc;
    pugi::xml_node current;
    std::string pending;
};

void flushText(ExpatState& st)
{
    if (st.pending.empty()) return;
    if (st.pending.find_first_not_of(" \t\r\n") != std::string::npos) {
        if (!st.current.first_child() && st.current.value()[0] == '\0')
            st.current.set_value(st.pending.c_str());
        else
            st.current.append_child(pugi::node_pcdata).set_value(st.pending.c_str());
    }
    st.pending.clear();
}

void XMLCALL expatStart(void* data, const XML_Char* name, const XML_Char** attributes)
{
    auto& st = *static_cast<ExpatState*>(data);
    ++st.depth;
    if (st.depth == 2 && std::strcmp(name, st.caseName) == 0) {
        st.inCase = true;
        ++st.t.cases;
        if (st.build) {
            st.doc.reset();
            st.current = st.doc.append_child(name);
        }
    } else if (st.inCase && st.build) {
        flushText(st);
        st.current = st.current.append_child(name);
    }
    if (!st.inCase) return;
    ++st.t.elements;
    for (const XML_Char** a = attributes; *a; a += 2) {
        st.t.attributeBytes += std::strlen(a[1]);
        if (st.build) st.current.append_attribute(a[0]).set_value(a[1]);
    }
}

void XMLCALL expatEnd(void* data, const XML_Char*)
{
    auto& st = *static_cast<ExpatState*>(data);
    if (st.inCase && st.build) {
        flushText(st);
        if (st.depth == 2) {
            Tally unused;
            walkPugi(st.doc.first_child(), unused);
            st.t.textBytes += unused.textBytes;
        }
        st.current = st.current.parent();
    }
    if (st.depth == 2) st.inCase = false;
    --st.depth;
}

void XMLCALL expatText(void* data, const XML_Char* s, int len)
{
    auto& st = *static_cast<ExpatState*>(data);
    if (!st.inCase) return;
    if (st.build)
        st.pending.append(s, static_cast<std::size_t>(len));
    else
        st.t.textBytes += static_cast<std::uint64_t>(len);
}

Tally readExpat(const char* path, const char* caseName, bool build)
{
    const int fd = ::open(path, O_RDONLY);
    if (fd < 0) throw std::runtime_error("open");
    XML_Parser parser = XML_ParserCreate(nullptr);
    ExpatState st;
    st.caseName = caseName;
    st.build = build;
    XML_SetUserData(parser, &st);
    XML_SetElementHandler(parser, expatStart, expatEnd);
    XML_SetCharacterDataHandler(parser, expatText);
    for (;;) {
        void* buffer = XML_GetBuffer(parser, static_cast<int>(kChunk));
        const ssize_t n = ::read(fd, buffer, kChunk);
        if (n < 0) throw std::runtime_error("read");
        if (XML_ParseBuffer(parser, static_cast<int>(n), n == 0) != XML_STATUS_OK)
            throw std::runtime_error(XML_ErrorString(XML_GetErrorCode(parser)));
        if (n == 0) break;
    }
    XML_ParserFree(parser);
    ::close(fd);
    return st.t;
}

// ------------------------------------------------------------------ the measurements

struct Way {
    const char* name;
    std::function<Tally(const char*, const char*)> read;
};

struct Measured {
    double seconds = 0;
    double cpu = 0;
    long peakKb = 0;
    Tally tally;
    bool ok = false;
};

// Runs the way in a child process: wall time here, CPU and peak from the child's usage.
Measured measure(const Way& way, const char* path, const char* caseName)
{
    int fds[2];
    if (::pipe(fds) != 0) throw std::runtime_error("pipe");
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        int status = 0;
        try {
            const Tally t = way.read(path, caseName);
            if (::write(fds[1], &t, sizeof t) != static_cast<ssize_t>(sizeof t)) status = 2;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: %s\n", way.name, e.what());
            status = 1;
        }
        ::_exit(status);
    }
    ::close(fds[1]);
    Measured m;
    const ssize_t got = ::read(fds[0], &m.tally, sizeof m.tally);
    ::close(fds[0]);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    m.peakKb = usage.ru_maxrss;
    m.ok = got == static_cast<ssize_t>(sizeof m.tally) && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return m;
}

int run(int argc, char** argv)
{
    bool bank = false;
    int repeat = 1;
    bool inProcess = false;
    const char* file = nullptr;
    std::vector<std::string> only;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--banca") {
            bank = true;
        } else if (a == "--ripeti" && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--nello-stesso-processo") {
            inProcess = true;
        } else if (a == "--modo" && i + 1 < argc) {
            only.emplace_back(argv[++i]);
        } else if (!a.starts_with("--") && !file) {
            file = argv[i];
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if (!file) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const char* caseName = bank ? "documento" : "PRATICA";
    const std::vector<Way> ways = {
        {"intero", readWhole},
        {"flusso", readStream},
        {"blocchi", readBlocks},
        {"libxml2", readLibxml},
        {"expat", [](const char* p, const char* c) { return readExpat(p, c, false); }},
        {"expat-pugi", [](const char* p, const char* c) { return readExpat(p, c, true); }},
    };
    if (inProcess) {
        // One way, in this process: for callgrind, which counts the instructions.
        for (const Way& way : ways) {
            if (only.empty() || std::find(only.begin(), only.end(), way.name) == only.end()) continue;
            const Tally t = way.read(file, caseName);
            std::printf("%s: %llu pratiche, %llu elementi\n", way.name, static_cast<unsigned long long>(t.cases),
                        static_cast<unsigned long long>(t.elements));
        }
        return 0;
    }
    std::printf("%-11s %9s %9s %9s %9s %10s\n", "modo", "s", "CPU s", "picco MB", "pratiche", "elementi");
    Tally reference;
    bool first = true;
    int status = 0;
    for (const Way& way : ways) {
        if (!only.empty() && std::find(only.begin(), only.end(), way.name) == only.end()) continue;
        Measured best;
        for (int k = 0; k < repeat; ++k) {
            const Measured m = measure(way, file, caseName);
            if (!m.ok) {
                best = m;
                break;
            }
            if (k == 0 || m.cpu < best.cpu) best = m;
        }
        if (!best.ok) {
            std::printf("%-11s fallito\n", way.name);
            status = 1;
            continue;
        }
        if (first) {
            reference = best.tally;
            first = false;
        }
        const bool same = best.tally.cases == reference.cases && best.tally.elements == reference.elements &&
                          best.tally.attributeBytes == reference.attributeBytes;
        std::printf("%-11s %9.2f %9.2f %9.1f %9llu %10llu%s\n", way.name, best.seconds, best.cpu,
                    static_cast<double>(best.peakKb) / 1024.0, static_cast<unsigned long long>(best.tally.cases),
                    static_cast<unsigned long long>(best.tally.elements), same ? "" : "  (diverso!)");
        if (!same) status = 1;
    }
    return status;
}

}  // namespace
}  // namespace crv::bench

int main(int argc, char** argv)
{
    try {
        return crv::bench::run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
