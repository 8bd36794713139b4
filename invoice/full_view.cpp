#include "invoice/full_view.h"

#include <fstream>
#include <iterator>
#include <system_error>

#include "invoice/full_invoice_reader.h"
#include "xml/parse_error_message.h"

namespace crv {

DocumentBytes readDocumentBytes(const std::filesystem::path& path)
{
    DocumentBytes out;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        out.outcome = InvoiceOutcome::NoFile;
        out.message = "NON TROVO IL FILE";
        return out;
    }
    const std::string name = path.string();
    std::ifstream in(path, std::ios::binary);
    if (in) out.xml.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        out.outcome = InvoiceOutcome::NotXml;
        out.message = "Errore nel file " + name + "\nimpossibile leggere il file";
        return out;
    }
    if (hasP7mName(name) && !looksLikeXml(out.xml)) {
        EnvelopeContent envelope = openEnvelope(std::move(out.xml), out.firme);
        out.xml.clear();
        if (!envelope.ok) {
            out.outcome = InvoiceOutcome::BadEnvelope;
            out.message = "Errore nel file " + name + "\n" + envelope.problem;
            return out;
        }
        out.xml = std::move(envelope.content);
        out.firmato = true;
    }
    return out;
}

FullViewReading readFullView(const std::filesystem::path& path)
{
    FullViewReading r;
    DocumentBytes bytes = readDocumentBytes(path);
    if (!bytes.ok()) {
        r.outcome = bytes.outcome;
        r.message = std::move(bytes.message);
        return r;
    }
    XmlDocument document;
    if (!document.loadBytes(bytes.xml, path.string())) {
        r.outcome = InvoiceOutcome::NotXml;
        r.message = parseErrorMessage(document.parseError());
        return r;
    }
    if (!readFullInvoice(document, r.view.fattura)) {
        r.outcome = InvoiceOutcome::NoHeader;
        r.message = kNonTrovoHeader;
        return r;
    }
    r.view.nomeFile = path.filename().string();
    r.view.verifica = checkSchema(bytes.xml);
    r.view.firmato = bytes.firmato;
    r.view.firme = std::move(bytes.firme);
    return r;
}

}  // namespace crv
