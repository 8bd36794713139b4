#include "invoice/invoice_reader.h"

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include "invoice/signed_envelope.h"
#include "invoice/xml_walk.h"
#include "text/encoding.h"
#include "xml/parse_error_message.h"

namespace crv {
namespace {

using invoice_xml::Elements;
using invoice_xml::firstElement;
using invoice_xml::secondElement;
using invoice_xml::selectChildren;
using invoice_xml::textOf;
using invoice_xml::UpperName;

constexpr const char* kNoFile = "NON TROVO IL FILE";
// The old message first, as operators know it, then what it means.
constexpr const char* kNoHeader = kNonTrovoHeader;

// An element whose value the invoice cannot hold.
class BadElement : public std::runtime_error {
public:
    BadElement(std::string element, std::string text, const std::string& why)
        : std::runtime_error(why), element_(std::move(element)), text_(std::move(text))
    {
    }
    const std::string& element() const { return element_; }
    const std::string& text() const { return text_; }

private:
    std::string element_;
    std::string text_;
};

// The amount of an element: its leading number read with "." and rounded
// half to even to 4 decimals; 0 when there is none.
Amount amountOf(pugi::xml_node element)
{
    // A simple element's text is read where it lies, without a copy.
    const auto value = element.first_child().type() == pugi::node_null ? Amount::parseLeadingNumber(element.value())
                                                                       : Amount::parseLeadingNumber(textOf(element));
    if (!value) throw BadElement(element.name(), textOf(element), "importo fuori dall'intervallo ammesso");
    return *value;
}

// The company name, or "Nome Cognome" for a person; otherwise the text of
// the first child, whatever it is.
std::string denominazione(pugi::xml_node anagrafica)
{
    pugi::xml_node nome;
    pugi::xml_node cognome;
    for (const pugi::xml_node e : Elements(anagrafica)) {
        const UpperName eName(e);
        if (eName == "DENOMINAZIONE") return textOf(firstElement(anagrafica));
        if (eName == "NOME") nome = e;
        else if (eName == "COGNOME") cognome = e;
    }
    if (!nome && !cognome) return textOf(firstElement(anagrafica));
    std::string name = textOf(nome);
    const std::string surname = textOf(cognome);
    if (!name.empty() && !surname.empty()) name += ' ';
    return name + surname;
}

void readParty(pugi::xml_node party, Parte& out)
{
    for (const pugi::xml_node d : Elements(party)) {
        const UpperName dName(d);
        if (dName == "DATIANAGRAFICI") {
            for (const pugi::xml_node e : Elements(d)) {
                const UpperName eName(e);
                if (eName == "ANAGRAFICA")
                    out.Denominazione = denominazione(e);
                else if (eName == "IDFISCALEIVA")
                    out.PartitaIva = textOf(firstElement(e)) + textOf(secondElement(e));
            }
        } else if (dName == "SEDE") {
            for (const pugi::xml_node e : Elements(d)) {
                const UpperName eName(e);
                if (eName == "INDIRIZZO") out.SedeIndirizzo = textOf(e);
                else if (eName == "CAP") out.SedeCap = textOf(e);
                else if (eName == "COMUNE") out.SedeComune = textOf(e);
            }
        }
    }
}

void readHeader(pugi::xml_node header, FatturaLetta& out)
{
    for (const pugi::xml_node p : Elements(header)) {
        const UpperName pName(p);
        if (pName == "CEDENTEPRESTATORE") readParty(p, out.Cedente);
        else if (pName == "CESSIONARIOCOMMITTENTE") readParty(p, out.Cliente);
    }
}

void readDocumentData(pugi::xml_node datiGenerali, DocumentoFattura& dati)
{
    for (const pugi::xml_node g : Elements(datiGenerali)) {
        const UpperName gName(g);
        if (gName != "DATIGENERALIDOCUMENTO") continue;
        for (const pugi::xml_node e : Elements(g)) {
            const UpperName eName(e);
            if (eName == "TIPODOCUMENTO") dati.TipoDocumento = textOf(e);
            else if (eName == "DATA") dati.DataDocumento = textOf(e);
            else if (eName == "NUMERO") dati.NumeroDocumento = textOf(e);
            else if (eName == "IMPORTOTOTALEDOCUMENTO") dati.TotaleDocumento = amountOf(e);
        }
    }
}

RigaFattura readLine(pugi::xml_node linea)
{
    RigaFattura riga;  // afresh: a value the element lacks shows empty
    for (const pugi::xml_node e : Elements(linea)) {
        const UpperName eName(e);
        if (eName == "NUMEROLINEA") riga.NumeroLinea = textOf(e);
        else if (eName == "DESCRIZIONE") riga.Descrizione = textOf(e);
        else if (eName == "QUANTITA") riga.Quantita = textOf(e);
        else if (eName == "PREZZOUNITARIO") riga.PrezzoUnitario = amountOf(e);
        else if (eName == "PREZZOTOTALE") riga.PrezzoTotale = amountOf(e);
        else if (eName == "ALIQUOTAIVA") riga.AliquotaIva = textOf(e);
    }
    return riga;
}

// The totals of one body: its summary blocks (one per VAT rate) added up.
struct BodyTotals {
    bool any = false;
    Amount imponibile;
    Amount imposta;
};

void readGoodsAndServices(pugi::xml_node datiBeniServizi, DocumentoFattura& out, BodyTotals& totals)
{
    for (const pugi::xml_node l : Elements(datiBeniServizi)) {
        const UpperName lName(l);
        if (lName == "DETTAGLIOLINEE") {
            out.righe.push_back(readLine(l));
        } else if (lName == "DATIRIEPILOGO") {
            Amount imponibile;
            Amount imposta;
            for (const pugi::xml_node e : Elements(l)) {
                const UpperName eName(e);
                if (eName == "IMPONIBILEIMPORTO") imponibile = amountOf(e);
                else if (eName == "IMPOSTA") imposta = amountOf(e);
            }
            try {
                totals.imponibile += imponibile;
                totals.imposta += imposta;
            } catch (const AmountOverflow& e) {
                throw BadElement(l.name(), {}, "la somma dei riepiloghi è fuori dall'intervallo ammesso");
            }
            totals.any = true;
        }
    }
}

void readPayment(pugi::xml_node datiPagamento, DocumentoFattura& dati)
{
    for (const pugi::xml_node d : Elements(datiPagamento)) {
        const UpperName dName(d);
        if (dName != "DETTAGLIOPAGAMENTO") continue;  // "CondizioniPagamento" is not kept
        for (const pugi::xml_node e : Elements(d)) {
            const UpperName eName(e);
            if (eName == "MODALITAPAGAMENTO") dati.ModalitaPagamento = textOf(e);
            else if (eName == "IMPORTOPAGAMENTO") dati.ImportoPagamento = amountOf(e);
        }
    }
}

void readAttachment(pugi::xml_node allegati, std::vector<Allegato>& out)
{
    Allegato a;
    for (const pugi::xml_node e : Elements(allegati)) {
        const UpperName eName(e);
        if (eName == "NOMEATTACHMENT") a.NomeAttachment = textOf(e);
        else if (eName == "FORMATOATTACHMENT") a.FormatoAttachment = textOf(e);
        else if (eName == "DESCRIZIONEATTACHMENT") a.DescrizioneAttachment = textOf(e);
        else if (eName == "ATTACHMENT") a.Attachment = textOf(e);
    }
    out.push_back(std::move(a));
}

// One body is one document: its values never mix with another body's.
void readBody(pugi::xml_node body, FatturaLetta& out)
{
    DocumentoFattura& documento = out.documenti.emplace_back();
    BodyTotals totals;
    for (const pugi::xml_node s : Elements(body)) {
        const UpperName sName(s);
        if (sName == "DATIGENERALI") readDocumentData(s, documento);
        else if (sName == "DATIBENISERVIZI") readGoodsAndServices(s, documento, totals);
        else if (sName == "DATIPAGAMENTO") readPayment(s, documento);
        else if (sName == "ALLEGATI") readAttachment(s, out.allegati);
        // Other children (vehicles, ...) feed nothing on the page.
    }
    if (totals.any) {
        documento.TotaleImponibile = totals.imponibile;
        documento.TotaleImposta = totals.imposta;
    }
}

InvoiceReading failed(InvoiceOutcome outcome, std::string message)
{
    InvoiceReading r;
    r.outcome = outcome;
    r.message = std::move(message);
    return r;
}

// A value shown in a message, cut when it is long (a huge text node).
std::string shortValue(const std::string& text)
{
    constexpr std::size_t kMax = 60;
    if (utf8Length(text) <= kMax) return text;
    return text.substr(0, utf8Offset(text, kMax)) + "...";
}

}  // namespace

bool hasP7mName(const std::string& name)
{
    if (name.size() < 4) return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return tail == ".p7m";
}

InvoiceReading readInvoiceDocument(const XmlDocument& document, const std::string& name)
{
    const pugi::xml_node root = document.documentElement();
    const std::vector<pugi::xml_node> headers = selectChildren(root, "FatturaElettronicaHeader");
    if (headers.empty()) return failed(InvoiceOutcome::NoHeader, kNoHeader);

    InvoiceReading reading;
    FatturaLetta& out = reading.fattura;
    try {
        for (const pugi::xml_node header : headers) readHeader(header, out);
        for (const pugi::xml_node body : selectChildren(root, "FatturaElettronicaBody")) readBody(body, out);
    } catch (const BadElement& e) {
        std::string message = "Errore nel file " + name + "\nElemento " + e.element();
        if (!e.text().empty()) message += " = \"" + shortValue(e.text()) + "\"";
        return failed(InvoiceOutcome::BadValue, message + ": " + e.what());
    }
    return reading;
}

InvoiceReading readInvoiceBytes(std::string bytes, const std::string& name)
{
    if (hasP7mName(name)) {
        EnvelopeContent envelope = openEnvelope(std::move(bytes));
        if (!envelope.ok) return failed(InvoiceOutcome::BadEnvelope, "Errore nel file " + name + "\n" + envelope.problem);
        bytes = std::move(envelope.content);
    }
    XmlDocument document;
    if (!document.loadBytes(std::move(bytes), name))
        return failed(InvoiceOutcome::NotXml, parseErrorMessage(document.parseError()));
    return readInvoiceDocument(document, name);
}

InvoiceReading readInvoiceFile(const std::filesystem::path& path)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return failed(InvoiceOutcome::NoFile, kNoFile);
    const std::string name = path.string();
    if (hasP7mName(name)) {
        std::ifstream in(path, std::ios::binary);
        std::string bytes;
        if (in) bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof())
            return failed(InvoiceOutcome::NotXml, "Errore nel file " + name + "\nimpossibile leggere il file");
        return readInvoiceBytes(std::move(bytes), name);
    }
    XmlDocument document;
    if (!document.load(path)) return failed(InvoiceOutcome::NotXml, parseErrorMessage(document.parseError()));
    return readInvoiceDocument(document, name);
}

}  // namespace crv
