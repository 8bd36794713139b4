#pragma once
// Signed invoices (".xml.p7m"): a CMS / PKCS#7 signed-data envelope around the
// XML, in DER, in BER with indefinite lengths, or in base64 (one line, or
// wrapped lines with LF or CR LF, with or without "-----BEGIN" armour). The
// XML is taken out as it is; the signature is not checked.
#include <string>
#include <string_view>

namespace crv {

// The content of an envelope, or why there is none.
struct EnvelopeContent {
    bool ok = false;
    std::string content;  // the signed document's bytes when ok
    std::string problem;  // short Italian description when not ok
};

// True when the bytes start like an XML document (after a byte order mark
// and blanks, a "<"; or UTF-16 text), so that a ".p7m" holding plain XML is
// read as XML.
bool looksLikeXml(std::string_view bytes);

// Takes the signed content out of the envelope. Bytes that already look like
// XML come back unchanged; an envelope inside an envelope (signed twice) is
// opened down to the document.
EnvelopeContent openEnvelope(std::string bytes);

}  // namespace crv
