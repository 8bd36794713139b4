// libFuzzer entry point for signed envelopes and the invoice readers: any
// bytes are opened as a ".p7m" (an envelope, or XML as it stands) and read as
// an invoice, then laid out as a page; the complete view's reader, the
// signature facts and the schema check take them too. Messages are expected; crashes, hangs
// and broken promises (checked below) are not.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

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
    require(r.fattura.dati.ContaRighe == static_cast<long long>(r.fattura.righe.size()));
    const crv::InvoicePage page = crv::layoutInvoice(r.fattura, crv::Regional::italian());
    // Cleared, seven texts a line, 45 steps around them.
    require(page.ops.size() == 1 + 7 * r.fattura.righe.size() + 45);
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
