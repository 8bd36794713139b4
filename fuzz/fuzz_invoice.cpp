// libFuzzer entry point for signed envelopes and the invoice readers: any
// bytes are opened as a ".p7m" (an envelope, or XML as it stands) and read as
// an invoice, then laid out as a page; the complete view's reader, the
// signature facts and the schema check take them too. Messages are expected; crashes, hangs
// and broken promises (checked below) are not.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <variant>
#include <vector>

#include <QGuiApplication>

#include "invoice/full_invoice_reader.h"
#include "invoice/invoice_reader.h"
#include "invoice/schema_check.h"
#include "invoice/page_layout.h"
#include "invoice/signed_envelope.h"

namespace {

void require(bool condition)
{
    if (!condition) std::abort();
}

void readAndLayOut(const std::string& bytes, const std::string& name)
{
    const crv::InvoiceReading r = crv::readInvoiceBytes(bytes, name);
    if (!r.ok()) {
        require(!r.message.empty());
        return;
    }
    const std::vector<crv::Sheet> pages = crv::layoutInvoice(r.fattura, crv::Regional::italian());
    require(pages.size() == r.fattura.numeroDocumenti());
    for (std::size_t i = 0; i < pages.size(); ++i) {
        // Cleared, at least seven texts a line, 45 steps around them (46 with
        // "Documento i di n"); the frame closes below everything drawn.
        const std::size_t lines = r.fattura.documento(i).righe.size();
        require(pages[i].ops.size() >= 1 + 7 * lines + 45);
        const auto* const bottom = std::get_if<crv::LineOp>(&pages[i].ops.back());
        require(bottom != nullptr && bottom->x1 == 1 && bottom->x2 == 1);
        for (const crv::DrawOp& op : pages[i].ops) {
            if (const auto* t = std::get_if<crv::TextOp>(&op)) require(t->y < bottom->y2);
        }
    }
}

void readComplete(const std::string& bytes)
{
    std::vector<crv::SignatureFacts> firme;
    const crv::EnvelopeContent envelope = crv::openEnvelope(bytes, firme);
    if (!envelope.ok) return;
    for (const crv::SignatureFacts& f : firme) require(!f.esito.empty() && (f.integra == (f.esito.find("firma integra") == 0)));
    crv::XmlDocument document;
    if (document.loadBytes(envelope.content, "fuzz.xml")) {
        crv::FatturaCompleta fattura;
        crv::readFullInvoice(document, fattura);
    }
    const crv::SchemaVerdict verdict = crv::checkSchema(envelope.content);
    require(verdict.valid() == verdict.violations.empty());
}

}  // namespace

// The page measures its texts in its own face, which needs a Qt application.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const crv::EnvelopeContent envelope = crv::openEnvelope(bytes);
    require(envelope.ok == envelope.problem.empty());
    if (envelope.ok && crv::looksLikeXml(bytes)) require(envelope.content == bytes);
    readAndLayOut(bytes, "fuzz.xml.p7m");
    readAndLayOut(bytes, "fuzz.xml");
    readComplete(bytes);
    return 0;
}
