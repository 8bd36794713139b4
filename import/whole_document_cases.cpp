#include "import/whole_document_cases.h"

#include <algorithm>
#include <cctype>
#include <new>
#include <system_error>

namespace crv {

StreamParseError::StreamParseError(XmlParseError error)
    : std::runtime_error(error.reason), error_(std::move(error))
{
}

namespace {

// Counts, at any depth, the other format's case elements, the wanted ones
// that are not children of the root and a name like the wanted one but for
// the case of its letters.
StreamSummary summarize(pugi::xml_node root, bool modoDocumento)
{
    struct Counter : pugi::xml_tree_walker {
        std::string wanted, other;
        StreamSummary s;
        bool for_each(pugi::xml_node& node) override
        {
            if (node.type() != pugi::node_element) return true;
            const std::string name = node.name();
            if (name == other) ++s.otherFormat;
            if (name == wanted) ++s.deeper;  // the root's children were looked at already
            if (s.sameLetters.empty() && name != wanted && name.size() == wanted.size() &&
                std::equal(name.begin(), name.end(), wanted.begin(), [](char a, char b) {
                    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
                }))
                s.sameLetters = name;
            return true;
        }
    } counter;
    counter.wanted = modoDocumento ? "documento" : "PRATICA";
    counter.other = modoDocumento ? "PRATICA" : "documento";
    root.traverse(counter);
    counter.s.rootName = root.name();
    return counter.s;
}

}  // namespace

WholeDocumentCases::WholeDocumentCases(std::filesystem::path delivery, CaseStreamOptions options)
    : options_(std::move(options))
{
    std::error_code ec;
    size_ = std::filesystem::file_size(delivery, ec);
    if (ec) size_ = 0;
    if (options_.stopRequested && options_.stopRequested()) throw StreamStopped();
    if (!doc_.load(delivery)) {
        if (doc_.parseError().reason == kMemoriaInsufficiente) throw std::bad_alloc();
        throw StreamParseError(doc_.parseError());
    }
    next_ = doc_.documentElement().child(options_.modoDocumento ? "documento" : "PRATICA");
}

pugi::xml_node WholeDocumentCases::next()
{
    if (options_.stopRequested && options_.stopRequested()) throw StreamStopped();
    const pugi::xml_node out = next_;
    if (!out) {
        bytesRead_ = size_;
        // Only a file without cases needs to be told about.
        const pugi::xml_node root = doc_.documentElement();
        if (!summarized_ && given_ == 0) summary_ = summarize(root, options_.modoDocumento);
        if (!summarized_) summary_.rootName = root.name();
        summarized_ = true;
        return out;
    }
    ++given_;
    next_ = out.next_sibling(options_.modoDocumento ? "documento" : "PRATICA");
    const auto offset = out.offset_debug();
    if (offset > 0) bytesRead_ = std::min<std::uint64_t>(size_, static_cast<std::uint64_t>(offset));
    return out;
}

}  // namespace crv
