#include "import/case_stream.h"

#include <algorithm>
#include <utility>

#include "import/text_repair.h"

namespace crv {
namespace {

const char* caseNameOf(bool modoDocumento)
{
    return modoDocumento ? "documento" : "PRATICA";
}

bool nameEndsInXml(const std::filesystem::path& path)
{
    std::string upper = path.string();
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return upper.ends_with(".XML");
}

// The bank format and the text mode read the suite's exports: a root is
// supplied where a case (of either format), text or nothing stands instead,
// its end where the file stops, and the export's characters are repaired.
XmlStreamOptions readingOf(const std::filesystem::path& delivery, CaseStreamOptions options)
{
    XmlStreamOptions out;
    out.stopRequested = std::move(options.stopRequested);
    out.onBytes = std::move(options.onBytes);
    out.readSize = options.readSize;
    if (!options.modoDocumento && !options.modoTesto) return out;
    out.rootMissing = [modo = options.modoDocumento](std::string_view name) {
        return name.empty() || name == caseNameOf(modo) || name == caseNameOf(!modo);
    };
    out.rootEndMayBeMissing = true;
    out.repair.apply = [](std::string& text, std::string_view piece) { Aggiusta(text, piece); };
    out.repair.before = primaDellaRiparazione;
    // A file whose name does not say XML is an export: repaired throughout.
    out.repairFromStart = !nameEndsInXml(delivery);
    return out;
}

}  // namespace

CaseStream::CaseStream(const std::filesystem::path& delivery, CaseStreamOptions options)
    : caseName_(caseNameOf(options.modoDocumento)),
      otherName_(caseNameOf(!options.modoDocumento)),
      stream_(delivery, readingOf(delivery, std::move(options)))
{
}

pugi::xml_node CaseStream::next()
{
    for (;;) {
        const pugi::xml_node element = stream_.nextChild();
        if (!element) {
            summary_.rootName = stream_.root().name;
            summary_.rootSupplied = stream_.root().supplied;
            return {};
        }
        if (element.name() == caseName_) {
            // Under a copy of the root, so that the case's ancestors are as in the file.
            stream_.hangUnderRoot(element);
            return element;
        }
        count(element);
    }
}

// What the "Nessuna pratica" message counts, in an element that is no case.
void CaseStream::count(pugi::xml_node top)
{
    const auto sameLetters = [this](std::string_view name) {
        return name != caseName_ && name.size() == caseName_.size() &&
               std::equal(name.begin(), name.end(), caseName_.begin(), [](char a, char b) {
                   const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
                   return lower(a) == lower(b);
               });
    };
    pugi::xml_node node = top;
    while (node) {
        if (node.type() == pugi::node_element) {
            const std::string_view name = node.name();
            if (name == otherName_) ++summary_.otherFormat;
            if (name == caseName_) ++summary_.deeper;
            if (summary_.sameLetters.empty() && sameLetters(name)) summary_.sameLetters = name;
        }
        if (const pugi::xml_node child = node.first_child()) {
            node = child;
            continue;
        }
        while (node != top && !node.next_sibling()) node = node.parent();
        if (node == top) break;
        node = node.next_sibling();
    }
}

}  // namespace crv
