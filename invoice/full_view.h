#pragma once
// What the complete view shows of one file: every value, the verdict of the
// schema check and, for a signed file, the facts of its signatures. Reading
// touches neither the database nor the screen.
#include <filesystem>
#include <string>
#include <vector>

#include "invoice/full_invoice.h"
#include "invoice/invoice_reader.h"
#include "invoice/schema_check.h"
#include "invoice/signed_envelope.h"
#include "numbers/regional.h"

namespace crv {

// The document's bytes: the file itself, or the XML inside a signed envelope.
struct DocumentBytes {
    InvoiceOutcome outcome = InvoiceOutcome::Read;  // Read, NoFile or BadEnvelope
    std::string message;                            // for the operator when not read
    std::string xml;
    bool firmato = false;  // the file was a signed envelope
    std::vector<SignatureFacts> firme;
    bool ok() const { return outcome == InvoiceOutcome::Read; }
};

// Reads the file; a name ending in ".p7m" (any letter case) is opened as a
// signed envelope unless its bytes are plain XML.
DocumentBytes readDocumentBytes(const std::filesystem::path& path);

struct FullView {
    std::string nomeFile;  // the file's name, for the title and the foot of the sheets
    FatturaCompleta fattura;
    SchemaVerdict verifica;
    bool firmato = false;
    std::vector<SignatureFacts> firme;
};

// The outcome of reading one file for the complete view: the view, or the
// message for the operator (the page's: "NON TROVO IL FILE", "Errore nel
// file "..., kNonTrovoHeader).
struct FullViewReading {
    InvoiceOutcome outcome = InvoiceOutcome::Read;
    std::string message;
    FullView view;
    bool ok() const { return outcome == InvoiceOutcome::Read; }
};

FullViewReading readFullView(const std::filesystem::path& path);

}  // namespace crv
