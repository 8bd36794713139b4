#include "invoice/signed_envelope.h"

#include <QByteArray>

#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/x509.h>

#include <climits>
#include <ctime>
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

std::string twoDigits(int n)
{
    return std::string(1, static_cast<char>('0' + n / 10 % 10)) + static_cast<char>('0' + n % 10);
}

// "25/10/2018", with " 10:00:49 UTC" when the time is asked for; empty
// when the time cannot be read.
std::string timeText(const ASN1_TIME* t, bool withTime)
{
    std::tm tm{};
    if (t == nullptr || ASN1_TIME_to_tm(t, &tm) != 1) return {};
    std::string out = twoDigits(tm.tm_mday) + "/" + twoDigits(tm.tm_mon + 1) + "/" + std::to_string(tm.tm_year + 1900);
    if (withTime)
        out += " " + twoDigits(tm.tm_hour) + ":" + twoDigits(tm.tm_min) + ":" + twoDigits(tm.tm_sec) + " UTC";
    return out;
}

// The first value of a name's attribute, as UTF-8; empty when the name has none.
std::string nameEntry(const X509_NAME* name, int nid)
{
    const int at = X509_NAME_get_index_by_NID(name, nid, -1);
    if (at < 0) return {};
    const ASN1_STRING* value = X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, at));
    unsigned char* utf8 = nullptr;
    const int length = ASN1_STRING_to_UTF8(&utf8, value);
    if (length < 0) return {};
    std::string out(reinterpret_cast<const char*>(utf8), static_cast<std::size_t>(length));
    OPENSSL_free(utf8);
    return out;
}

void describeCertificate(X509* cert, SignatureFacts& f)
{
    const X509_NAME* subject = X509_get_subject_name(cert);
    f.firmatario = nameEntry(subject, NID_commonName);
    if (f.firmatario.empty()) {
        f.firmatario = nameEntry(subject, NID_givenName);
        const std::string surname = nameEntry(subject, NID_surname);
        if (!f.firmatario.empty() && !surname.empty()) f.firmatario += ' ';
        f.firmatario += surname;
    }
    f.organizzazione = nameEntry(subject, NID_organizationName);
    // Qualified certificates put the holder's tax code in the serial number
    // as "TINIT-<code>" (older ones "IT:<code>").
    const std::string serial = nameEntry(subject, NID_serialNumber);
    for (const std::string_view prefix : {"TINIT-", "IT:"}) {
        if (std::string_view(serial).starts_with(prefix)) f.codiceFiscale = serial.substr(prefix.size());
    }
    if (f.codiceFiscale.empty()) f.identificativo = serial;
    const X509_NAME* issuer = X509_get_issuer_name(cert);
    f.emittente = nameEntry(issuer, NID_commonName);
    const std::string issuerOrg = nameEntry(issuer, NID_organizationName);
    if (!issuerOrg.empty() && issuerOrg != f.emittente) f.emittente += (f.emittente.empty() ? "" : ", ") + issuerOrg;
    f.validoDal = timeText(X509_get0_notBefore(cert), false);
    f.validoAl = timeText(X509_get0_notAfter(cert), false);
}

std::string signingTime(CMS_SignerInfo* si)
{
    const int at = CMS_signed_get_attr_by_NID(si, NID_pkcs9_signingTime, -1);
    if (at < 0) return {};
    const ASN1_TYPE* value = X509_ATTRIBUTE_get0_type(CMS_signed_get_attr(si, at), 0);
    if (value == nullptr || (value->type != V_ASN1_UTCTIME && value->type != V_ASN1_GENERALIZEDTIME)) return {};
    return timeText(value->value.utctime, true);
}

// Who signed and whether each signature matches the content: the digest of
// the content against the signed attributes, and the signature over them
// with the certificate's key. The certificate is taken as it comes.
void collectFacts(CMS_ContentInfo* cms, std::vector<SignatureFacts>& firme)
{
    STACK_OF(CMS_SignerInfo)* signers = CMS_get0_SignerInfos(cms);
    if (signers == nullptr) return;
    CMS_set1_signers_certs(cms, nullptr, 0);
    // The content read once through the digests the signers use.
    BIO* chain = CMS_dataInit(cms, nullptr);
    if (chain != nullptr) {
        char buffer[4096];
        while (BIO_read(chain, buffer, sizeof buffer) > 0) {
        }
    }
    for (int i = 0; i < sk_CMS_SignerInfo_num(signers); ++i) {
        CMS_SignerInfo* si = sk_CMS_SignerInfo_value(signers, i);
        SignatureFacts f;
        X509* cert = nullptr;
        CMS_SignerInfo_get0_algs(si, nullptr, &cert, nullptr, nullptr);
        f.dataFirma = signingTime(si);
        if (cert == nullptr) {
            f.esito = "certificato del firmatario assente: firma non verificabile";
        } else {
            describeCertificate(cert, f);
            const bool attributes = CMS_signed_get_attr_count(si) > 0;
            const bool content = chain != nullptr && CMS_SignerInfo_verify_content(si, chain) == 1;
            f.integra = content && (!attributes || CMS_SignerInfo_verify(si) == 1);
            f.esito = f.integra ? "firma integra, certificato non verificato"
                                : "firma NON integra: il documento non corrisponde alla firma";
        }
        firme.push_back(std::move(f));
    }
    if (chain != nullptr) BIO_free_all(chain);
    ERR_clear_error();
}

enum class Parsed { Content, NotCms, NoContent, OtherType };

// One level of envelope: the DER/BER bytes to the signed content, and the
// facts of its signatures when asked for.
Parsed parseCms(std::string_view der, std::string& content, std::vector<SignatureFacts>* firme)
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
    if (firme != nullptr && type == NID_pkcs7_signed) collectFacts(cms.get(), *firme);
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

namespace {

// Opens envelopes down to the document; the facts of their signatures go
// to firme when given.
EnvelopeContent openLevels(std::string bytes, std::vector<SignatureFacts>* firme)
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
        switch (parseCms(bytes, content, firme)) {
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

}  // namespace

EnvelopeContent openEnvelope(std::string bytes)
{
    return openLevels(std::move(bytes), nullptr);
}

EnvelopeContent openEnvelope(std::string bytes, std::vector<SignatureFacts>& firme)
{
    return openLevels(std::move(bytes), &firme);
}

}  // namespace crv
