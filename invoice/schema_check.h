#pragma once
// Checks an invoice against the official FatturaPA schema (built into the
// program, with the XML-signature schema it imports: nothing is read from
// the network or from files beside the program), with libxml2 as
// `xmllint --nonet --schema` does, so that both give the same verdict.
#include <string>
#include <string_view>
#include <vector>

namespace crv {

// The schema's version, as the verdict names it.
inline constexpr const char* kSchemaVersion = "1.2.2";

// One place where the file breaks the schema.
struct SchemaViolation {
    int line = 0;           // line of the file, from 1; 0 when unknown
    std::string element;    // the element's name without namespace
    std::string attribute;  // the attribute's name, when the fault is in one
    std::string problem;    // what is wrong and what the schema expects, in Italian
    bool operator==(const SchemaViolation&) const = default;
};

struct SchemaVerdict {
    bool wellFormed = true;  // false: the XML itself cannot be read
    std::vector<SchemaViolation> violations;
    bool valid() const { return wellFormed && violations.empty(); }
};

// The verdict on the document's bytes (the XML inside a signed file).
SchemaVerdict checkSchema(std::string_view xml);

// "Conforme allo schema FatturaPA 1.2.2", or "Non conforme allo schema
// FatturaPA 1.2.2: N violazioni" ("XML non leggibile" when not well formed).
std::string verdictTitle(const SchemaVerdict& verdict);

// One violation as a line: "riga 53, elemento Pippo: non previsto qui; atteso: Data".
std::string violationText(const SchemaViolation& violation);

// The schema's files as built into the program, by name
// ("Schema_del_file_xml_FatturaPA_v1.2.2.xsd", "xmldsig-core-schema.xsd");
// empty when unknown.
std::string schemaFile(std::string_view name);

}  // namespace crv
