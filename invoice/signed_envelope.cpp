#include "invoice/signed_envelope.h"

#include <QByteArray>

#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/err.h>
#include <openssl/objects.h>

#include <climits>
#include <memory>

namespace crv {
namespace {

constexpr int kMaxNesting = 4;  // envelopes inside envelopes, opened at most this deep

struct BioFree {
    void operator()(BIO* b) const { BIO_free(b); }
};
struct CmsFree {
    void operator()(CMS_ContentInfo* c) const { CMS_ContentInfo_free(c); }
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isBase64Char(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/' ||
           c == '=';
}

// A DER or BER envelope starts with a SEQUENCE tag.
bool looksLikeDer(std::string_view bytes)
{
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x30;
}

// The base64 text without line ends, blanks and "-----" armour lines;
// nothing when a character outside the alphabet shows up.
bool compactBase64(std::string_view text, std::string& out)
{
    out.clear();
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t end = text.find('\n', i);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(i, end - i);
        i = end + 1;
        if (line.starts_with("-----")) continue;  // "-----BEGIN PKCS7-----" and its end
        for (const char c : line) {
            if (isBlank(c)) continue;
            if (!isBase64Char(c)) return false;
            out += c;
        }
    }
    return !out.empty();
}

enum class Parsed { Content, NotCms, NoContent, OtherType };

// One level of envelope: the DER/BER bytes to the signed content.
Parsed parseCms(std::string_view der, std::string& content)
{
    ERR_clear_error();
    if (der.size() > static_cast<std::size_t>(INT_MAX)) return Parsed::NotCms;
    const std::unique_ptr<BIO, BioFree> bio(BIO_new_mem_buf(der.data(), static_cast<int>(der.size())));
    if (!bio) return Parsed::NotCms;
    const std::unique_ptr<CMS_ContentInfo, CmsFree> cms(d2i_CMS_bio(bio.get(), nullptr));
    ERR_clear_error();  // the reasons are OpenSSL's, in English: the caller words its own
    if (!cms) return Parsed::NotCms;
    const int type = OBJ_obj2nid(CMS_get0_type(cms.get()));
    if (type != NID_pkcs7_signed && type != NID_pkcs7_data) return Parsed::OtherType;
    ASN1_OCTET_STRING** const pos = CMS_get0_content(cms.get());
    if (pos == nullptr || *pos == nullptr) return Parsed::NoContent;
    const ASN1_OCTET_STRING* const octets = *pos;
    content.assign(reinterpret_cast<const char*>(ASN1_STRING_get0_data(octets)),
                   static_cast<std::size_t>(ASN1_STRING_length(octets)));
    return Parsed::Content;
}

EnvelopeContent failure(std::string problem)
{
    return EnvelopeContent{false, {}, std::move(problem)};
}

}  // namespace

bool looksLikeXml(std::string_view bytes)
{
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    else if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) return true;
    if (bytes.size() >= 2 && ((bytes[0] == '<' && bytes[1] == '\0') || (bytes[0] == '\0' && bytes[1] == '<')))
        return true;  // UTF-16 without byte order mark
    std::size_t i = 0;
    while (i < bytes.size() && isBlank(bytes[i])) ++i;
    return i < bytes.size() && bytes[i] == '<';
}

EnvelopeContent openEnvelope(std::string bytes)
{
    if (looksLikeXml(bytes)) return EnvelopeContent{true, std::move(bytes), {}};
    if (bytes.empty()) return failure("il file è vuoto");

    // Inside the first envelope, anything but XML or another envelope is
    // content of the wrong kind rather than a damaged envelope.
    constexpr const char* kNotXml = "il contenuto della busta firmata non è un documento XML";
    for (int level = 0; level < kMaxNesting; ++level) {
        const bool outer = level == 0;
        std::string decoded;
        if (!looksLikeDer(bytes)) {
            std::string compact;
            if (!compactBase64(bytes, compact))
                return failure(outer ? "il file non è una busta firmata (.p7m) né un file XML" : kNotXml);
            const QByteArray::FromBase64Result result = QByteArray::fromBase64Encoding(
                QByteArray::fromRawData(compact.data(), static_cast<qsizetype>(compact.size())),
                QByteArray::AbortOnBase64DecodingErrors);
            if (!result) return failure(outer ? "la busta firmata in base64 è danneggiata" : kNotXml);
            decoded.assign(result.decoded.constData(), static_cast<std::size_t>(result.decoded.size()));
            bytes = std::move(decoded);
        }
        std::string content;
        switch (parseCms(bytes, content)) {
        case Parsed::NotCms:
            return failure(outer ? "la busta firmata (.p7m) è danneggiata o incompleta" : kNotXml);
        case Parsed::OtherType:
            return failure("la busta non è una firma CMS/PKCS#7 con il documento (tipo non gestito)");
        case Parsed::NoContent:
            return failure("la busta firmata non contiene il documento (firma separata)");
        case Parsed::Content:
            break;
        }
        if (looksLikeXml(content)) return EnvelopeContent{true, std::move(content), {}};
        if (content.empty()) return failure(kNotXml);
        bytes = std::move(content);  // signed twice: open the inner envelope
    }
    return failure("la busta firmata contiene troppe buste una dentro l'altra");
}

}  // namespace crv
