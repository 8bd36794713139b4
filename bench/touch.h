#pragma once
// The least any reader of a case file has to do: load it with the project's
// XmlDocument and read the text of every element and every attribute of
// every case element. The baselines of crvxml-bench are built on it.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include <pugixml.hpp>

#include "xml/xml_document.h"

namespace crv::bench {

// Loads the file; throws std::runtime_error with the parser's place on failure.
void loadOrThrow(XmlDocument& doc, const std::filesystem::path& file);

// Called for each element with its whole text (nodeText; `attribute` is
// null) and for each of its attributes with the attribute's value.
using TextVisitor =
    std::function<void(pugi::xml_node element, pugi::xml_attribute attribute, const std::string& text)>;

// Walks every element of the case element (the case element included), in
// document order, computing nodeText of each and reading every attribute.
// Returns the number of characters read, so the work cannot be skipped.
std::uint64_t touchCase(pugi::xml_node caseElement, const TextVisitor* visitor = nullptr);

// The case elements of the document: PRATICA, or documento in the bank format.
inline const char* caseElementName(bool bank)
{
    return bank ? "documento" : "PRATICA";
}

}  // namespace crv::bench
