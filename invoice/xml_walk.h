#pragma once
// The walk over an invoice's XML that both readers share: element names
// compared in upper case (the whole name, so a prefixed name is another
// name), child elements in document order, the text of an element, and the
// header and body elements selected by their exact name.
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "xml/xml_document.h"

namespace crv::invoice_xml {

// An element's name compared with an upper-case name letter by letter in
// upper case, stopping at the first difference (most names differ in their
// first letters). "p:CedentePrestatore" is not "CEDENTEPRESTATORE".
class UpperName {
public:
    explicit UpperName(pugi::xml_node node) : name_(node.name()) {}
    bool operator==(std::string_view upper) const
    {
        for (std::size_t i = 0; i < upper.size(); ++i) {
            const char c = name_[i];  // the terminator differs from every letter
            if ((c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c) != upper[i]) return false;
        }
        return name_[upper.size()] == '\0';
    }

private:
    const char* name_;
};

// The child elements of a node in document order (text, comments and
// processing instructions are passed over).
class Elements {
public:
    explicit Elements(pugi::xml_node parent) : parent_(parent) {}
    class iterator {
    public:
        explicit iterator(pugi::xml_node n) { settle(n); }
        pugi::xml_node operator*() const { return node_; }
        iterator& operator++()
        {
            settle(node_.next_sibling());
            return *this;
        }
        bool operator!=(const iterator& other) const { return atEnd_ != other.atEnd_ || node_ != other.node_; }

    private:
        // The first element from n on; one look at each node's type (the
        // library's calls are not inlined, and invoices have many nodes).
        void settle(pugi::xml_node n)
        {
            for (;; n = n.next_sibling()) {
                const pugi::xml_node_type type = n.type();
                if (type == pugi::node_element || type == pugi::node_null) {
                    node_ = n;
                    atEnd_ = type == pugi::node_null;
                    return;
                }
            }
        }
        pugi::xml_node node_;
        bool atEnd_ = true;
    };
    iterator begin() const { return iterator(parent_.first_child()); }
    iterator end() const { return iterator(pugi::xml_node()); }

private:
    pugi::xml_node parent_;
};

// The text of an element and its descendants ("" for a null node). A simple
// element holds its text itself, without the walk.
inline std::string textOf(pugi::xml_node element)
{
    if (element.first_child().type() == pugi::node_null) return element.value();
    return nodeText(element);
}

// The first and second child elements (null nodes when missing).
pugi::xml_node firstElement(pugi::xml_node parent);
pugi::xml_node secondElement(pugi::xml_node parent);

// The root's children with exactly this name and no namespace, as an XPath
// selection of the plain name finds them: "FatturaElettronicaHeader" in
// another letter case, with a prefix or in a default namespace is not one.
std::vector<pugi::xml_node> selectChildren(pugi::xml_node root, const char* name);

}  // namespace crv::invoice_xml
