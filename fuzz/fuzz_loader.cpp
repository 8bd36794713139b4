// Fuzzes the XML loader: encoding detection, parsing, error placing and the
// node reads the import uses. Aborts when a result breaks its contract.
#include "text/encoding.h"
#include "xml/xml_document.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void require(bool condition)
{
    if (!condition) std::abort();
}

void checkError(const crv::XmlParseError& err)
{
    require(err.line >= 1 && err.linepos >= 1);
    require(!err.reason.empty());
    require(crv::isValidUtf8(err.srcText));
    require(err.srcText.find_first_of(std::string("\r\n\0", 3)) == std::string::npos);
}

// Calls the node reads on every node; the costly ones only on the elements
// of the first levels, as the readers do.
class Reader : public pugi::xml_tree_walker {
public:
    bool for_each(pugi::xml_node& node) override
    {
        const std::string name = crv::nodeName(node);
        if (node.type() == pugi::node_element) {
            require(!name.empty());
            if (depth() < 3) {
                const std::string markup = crv::nodeMarkup(node);
                require(markup.size() >= name.size() + 3);
                const bool children = crv::hasChildNodes(node);
                require(children || crv::nodeText(node).empty());
            }
        }
        return true;
    }
};

// The markup of the root must load again, and from then on read back the same.
void checkMarkupReloads(pugi::xml_node root)
{
    crv::XmlDocument first;
    require(first.loadBytes(crv::nodeMarkup(root), "markup"));
    const std::string markup = crv::nodeMarkup(first.documentElement());
    crv::XmlDocument second;
    require(second.loadBytes(markup, "markup"));
    require(crv::nodeMarkup(second.documentElement()) == markup);
    require(crv::nodeText(second.documentElement()) == crv::nodeText(first.documentElement()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    crv::XmlDocument doc;
    if (!doc.loadBytes(std::string(reinterpret_cast<const char*>(data), size), "fuzz")) {
        checkError(doc.parseError());
        require(!doc.documentElement());
        return 0;
    }
    const pugi::xml_node root = doc.documentElement();
    require(static_cast<bool>(root));
    Reader reader;
    pugi::xml_node top = doc.document();
    top.traverse(reader);
    checkMarkupReloads(root);
    return 0;
}
