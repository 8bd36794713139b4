#include "invoice/xml_walk.h"

#include <cstring>

namespace crv::invoice_xml {
namespace {

// The namespace an unprefixed element is in: the nearest default namespace
// declared on it or above it ("" when none, or reset with xmlns="").
std::string_view defaultNamespaceOf(pugi::xml_node element)
{
    for (pugi::xml_node n = element; n && n.type() == pugi::node_element; n = n.parent()) {
        if (const pugi::xml_attribute a = n.attribute("xmlns")) return a.value();
    }
    return {};
}

}  // namespace

pugi::xml_node firstElement(pugi::xml_node parent)
{
    return *Elements(parent).begin();
}

pugi::xml_node secondElement(pugi::xml_node parent)
{
    auto it = Elements(parent).begin();
    if (!*it) return {};
    return *++it;
}

std::vector<pugi::xml_node> selectChildren(pugi::xml_node root, const char* name)
{
    std::vector<pugi::xml_node> found;
    for (const pugi::xml_node child : Elements(root)) {
        if (std::strcmp(child.name(), name) == 0 && defaultNamespaceOf(child).empty()) found.push_back(child);
    }
    return found;
}

}  // namespace crv::invoice_xml
