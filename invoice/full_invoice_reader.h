#pragma once
// Reads every value of an electronic invoice for the complete view. Element
// names are matched as the page's reader matches them (any letter case, no
// prefix); the header and bodies are the root's children of those exact
// names, also when the file puts them in a default namespace (the schema
// check then says what is wrong). Elements the view has no place of its own
// for are kept as labelled values, so nothing the file says is lost.
#include "invoice/full_invoice.h"
#include "xml/xml_document.h"

namespace crv {

// The values of a loaded document; false when the root has no
// "FatturaElettronicaHeader" child (nothing is read then).
bool readFullInvoice(const XmlDocument& document, FatturaCompleta& out);

}  // namespace crv
