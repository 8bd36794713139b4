#pragma once
// The message an operator sees when a file is not well-formed XML.
#include <string>

#include "xml/xml_document.h"

namespace crv {

// "Errore nel file " + path, then "Linea = ", "Pos = " and "Src = " lines:
// where the loader stopped and the text of that line (cut around the fault
// when the line is very long, as a file written on one line would be), and
// the parser's reason in Italian on a line of its own.
std::string parseErrorMessage(const XmlParseError& error);

}  // namespace crv
