#pragma once
// Signed invoices (".xml.p7m"): a CMS / PKCS#7 signed-data envelope around the
// XML, in DER, in BER with indefinite lengths, or in base64 (one line, or
// wrapped lines with LF or CR LF, with or without "-----BEGIN" armour). The
// XML is taken out as it is. On request the envelope also tells who signed
// and whether the signature matches the content; the signer's certificate is
// never checked against a list of trusted authorities.
#include <string>
#include <string_view>
#include <vector>

namespace crv {

// The content of an envelope, or why there is none.
struct EnvelopeContent {
    bool ok = false;
    std::string content;  // the signed document's bytes when ok
    std::string problem;  // short Italian description when not ok
};

// What one signature of an envelope says, as far as it was checked.
struct SignatureFacts {
    std::string firmatario;     // the certificate's common name, else given name and surname
    std::string codiceFiscale;  // from the certificate's serial number ("TINIT-..."), else empty
    std::string identificativo; // that serial number when it is not a tax code
    std::string organizzazione; // the signer's organisation, when the certificate names one
    std::string dataFirma;      // the signing time the signer declared, "21/12/2018 15:58:13 UTC"; empty when none
    std::string emittente;      // the certificate's issuer
    std::string validoDal;      // the certificate's validity, "25/10/2018"
    std::string validoAl;
    bool integra = false;       // the signature matches the signed content
    std::string esito;          // "firma integra, certificato non verificato", or why not
};

// True when the bytes start like an XML document (after a byte order mark
// and blanks, a "<"; or UTF-16 text), so that a ".p7m" holding plain XML is
// read as XML.
bool looksLikeXml(std::string_view bytes);

// Takes the signed content out of the envelope. Bytes that already look like
// XML come back unchanged; an envelope inside an envelope (signed twice) is
// opened down to the document.
EnvelopeContent openEnvelope(std::string bytes);

// The same, also telling the facts of every signature met, the outer
// envelope's first.
EnvelopeContent openEnvelope(std::string bytes, std::vector<SignatureFacts>& firme);

}  // namespace crv
