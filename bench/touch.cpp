#include "touch.h"

#include <stdexcept>

namespace crv::bench {

void loadOrThrow(XmlDocument& doc, const std::filesystem::path& file)
{
    if (doc.load(file)) return;
    const XmlParseError& e = doc.parseError();
    throw std::runtime_error("Errore nel file " + e.url + " linea " + std::to_string(e.line) + " pos " +
                             std::to_string(e.linepos) + ": " + e.reason);
}

std::uint64_t touchCase(pugi::xml_node caseElement, const TextVisitor* visitor)
{
    std::uint64_t characters = 0;
    // Iterative, in document order; the case element is the top.
    pugi::xml_node node = caseElement;
    while (node) {
        if (node.type() == pugi::node_element) {
            const std::string text = nodeText(node);
            characters += text.size();
            if (visitor) (*visitor)(node, pugi::xml_attribute(), text);
            for (const pugi::xml_attribute a : node.attributes()) {
                const std::string value = a.value();
                characters += value.size();
                if (visitor) (*visitor)(node, a, value);
            }
        }
        if (const pugi::xml_node child = node.first_child()) {
            node = child;
            continue;
        }
        while (node && node != caseElement && !node.next_sibling()) node = node.parent();
        if (!node || node == caseElement) break;
        node = node.next_sibling();
    }
    return characters;
}

}  // namespace crv::bench
