#pragma once
// Reads an electronic invoice file (plain XML or a signed ".p7m") into plain
// values. Reading touches neither the database nor the screen: the caller
// shows the message of a file that cannot be read.
#include <filesystem>
#include <string>

#include "invoice/invoice_values.h"
#include "xml/xml_document.h"

namespace crv {

// The message of a file that is no invoice (no "FatturaElettronicaHeader").
inline constexpr const char* kNonTrovoHeader =
    "NON TROVO HEADER.\nIl file non è una fattura elettronica: manca FatturaElettronicaHeader";

// How a reading ended.
enum class InvoiceOutcome {
    Read,          // the values are in `fattura`
    NoFile,        // "NON TROVO IL FILE"
    NotXml,        // the four-line "Errore nel file " message of the loader
    NoHeader,      // "NON TROVO HEADER." and what it means: not an invoice
    BadEnvelope,   // a ".p7m" whose envelope cannot be opened
    BadValue,      // an amount beyond the currency range
};

// The outcome of one reading: the values, or the message for the operator.
struct InvoiceReading {
    InvoiceOutcome outcome = InvoiceOutcome::Read;
    std::string message;  // what the operator is told; empty when read
    FatturaLetta fattura;
    bool ok() const { return outcome == InvoiceOutcome::Read; }
};

// Whether a file name ends in ".p7m" (any letter case): a signed envelope.
bool hasP7mName(const std::string& name);

// Reads the file at path. A name ending in ".p7m" (any letter case) is opened
// as a signed envelope unless its bytes are plain XML.
InvoiceReading readInvoiceFile(const std::filesystem::path& path);

// The same from bytes already in memory; `name` stands for the file in
// messages and decides, by its ".p7m" ending, whether an envelope is opened.
InvoiceReading readInvoiceBytes(std::string bytes, const std::string& name);

// The values of a loaded document; `name` is the file named in messages.
InvoiceReading readInvoiceDocument(const XmlDocument& document, const std::string& name);

}  // namespace crv
