// Signed invoices: every form of the envelope gives the same document, and a
// damaged or wrong envelope a clear message naming the file.
#include <gtest/gtest.h>

#include "invoice/invoice_reader.h"
#include "invoice/signed_envelope.h"
#include "support/test_support.h"

namespace crv {
namespace {

using test::dataFile;
using test::readFile;

std::string sample(const std::string& name)
{
    return readFile(dataFile("fatturapa/" + name));
}

std::string contentOf(const std::string& name)
{
    const EnvelopeContent e = openEnvelope(sample(name));
    EXPECT_TRUE(e.ok) << name << ": " << e.problem;
    return e.content;
}

TEST(SignedEnvelope, EveryFormGivesTheSameDocument)
{
    const std::string der = contentOf("oca_FPR03_signed_cades_der.xml.p7m");
    ASSERT_TRUE(der.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<p:FatturaElettronica"));
    ASSERT_TRUE(der.ends_with("</p:FatturaElettronica>\n") || der.ends_with("</p:FatturaElettronica>"));
    for (const char* name : {"FPR03_firmata_ber.xml.p7m", "FPR03_firmata_base64_una_riga.xml.p7m",
                             "FPR03_firmata_base64_64_lf.xml.p7m", "FPR03_firmata_base64_76_crlf.xml.p7m",
                             "FPR03_firmata_ber_base64_64_crlf.xml.p7m", "FPR03_firmata_pem.xml.p7m",
                             "FPR03_firmata_due_volte.xml.p7m.p7m"}) {
        EXPECT_EQ(contentOf(name), der) << name;
    }
    // A .p7m that is plain XML is read as XML, unchanged.
    EXPECT_EQ(contentOf("FPR02_xml_in_chiaro.xml.p7m"), sample("FPR02_xml_in_chiaro.xml.p7m"));
}

TEST(SignedEnvelope, SignatureFactsSayWhoSignedAndWhetherTheContentMatches)
{
    const auto factsOf = [](const std::string& bytes) {
        std::vector<SignatureFacts> firme;
        const EnvelopeContent e = openEnvelope(bytes, firme);
        EXPECT_TRUE(e.ok) << e.problem;
        return firme;
    };
    const std::string der = sample("oca_FPR03_signed_cades_der.xml.p7m");
    // The qualified signature of the sample, in every form of its envelope.
    for (const char* name : {"oca_FPR03_signed_cades_der.xml.p7m", "FPR03_firmata_base64_76_crlf.xml.p7m",
                             "FPR03_firmata_pem.xml.p7m"}) {
        SCOPED_TRACE(name);
        const std::vector<SignatureFacts> firme = factsOf(sample(name));
        ASSERT_EQ(firme.size(), 1u);
        const SignatureFacts& f = firme[0];
        EXPECT_EQ(f.firmatario, "CORATO SERGIO");
        EXPECT_EQ(f.codiceFiscale, "CRTSRG74M18A459G");
        EXPECT_EQ(f.identificativo, "");
        EXPECT_EQ(f.dataFirma, "21/12/2018 15:58:13 UTC");
        EXPECT_EQ(f.emittente, "InfoCert Firma Qualificata 2, INFOCERT SPA");
        EXPECT_EQ(f.validoDal, "25/10/2018");
        EXPECT_EQ(f.validoAl, "25/10/2021");
        EXPECT_TRUE(f.integra);
        EXPECT_EQ(f.esito, "firma integra, certificato non verificato");
    }
    // Signed again over the signed file: both signatures, the outer first.
    const std::vector<SignatureFacts> twice = factsOf(sample("FPR03_firmata_due_volte.xml.p7m.p7m"));
    ASSERT_EQ(twice.size(), 2u);
    EXPECT_EQ(twice[0].firmatario, "crvxml prova firma");
    EXPECT_EQ(twice[0].codiceFiscale, "");
    EXPECT_TRUE(twice[0].integra);
    EXPECT_EQ(twice[1].firmatario, "CORATO SERGIO");
    // One letter of the invoice changed after signing: the content no longer matches.
    std::string altered = der;
    const auto at = altered.find("SASSARI");
    ASSERT_NE(at, std::string::npos);
    altered[at] = 'T';
    const std::vector<SignatureFacts> broken = factsOf(altered);
    ASSERT_EQ(broken.size(), 1u);
    EXPECT_FALSE(broken[0].integra);
    EXPECT_EQ(broken[0].esito, "firma NON integra: il documento non corrisponde alla firma");
    EXPECT_EQ(broken[0].firmatario, "CORATO SERGIO");  // who claims to have signed is still told
    // A plain XML file has no signature to tell of.
    EXPECT_TRUE(factsOf(sample("FPR02_xml_in_chiaro.xml.p7m")).empty());
}

TEST(SignedEnvelope, SignedFilesReadLikeTheirDocument)
{
    for (const char* name : {"oca_FPR03_signed_cades_der.xml.p7m", "FPR03_firmata_ber.xml.p7m",
                             "FPR03_firmata_base64_76_crlf.xml.p7m", "FPR03_firmata_due_volte.xml.p7m.p7m"}) {
        const InvoiceReading r = readInvoiceFile(dataFile(std::string("fatturapa/") + name));
        ASSERT_TRUE(r.ok()) << name << ": " << r.message;
        ASSERT_EQ(r.fattura.documenti.size(), 2u) << name;
        EXPECT_EQ(r.fattura.documenti[1].NumeroDocumento, "456") << name;
        EXPECT_EQ(r.fattura.documenti[0].righe.size() + r.fattura.documenti[1].righe.size(), 3u) << name;
    }
}

TEST(SignedEnvelope, BadEnvelopesNameTheFile)
{
    const struct {
        const char* name;
        const char* problem;
    } cases[] = {
        {"FPR03_firmata_troncata.xml.p7m", "la busta firmata (.p7m) è danneggiata o incompleta"},
        {"FPR03_firmata_danneggiata.xml.p7m", "la busta firmata (.p7m) è danneggiata o incompleta"},
        {"contenuto_non_xml.xml.p7m", "il contenuto della busta firmata non è un documento XML"},
        {"firma_separata.xml.p7m", "la busta firmata non contiene il documento (firma separata)"},
    };
    for (const auto& c : cases) {
        const std::filesystem::path path = dataFile(std::string("fatturapa/") + c.name);
        const InvoiceReading r = readInvoiceFile(path);
        EXPECT_EQ(r.outcome, InvoiceOutcome::BadEnvelope) << c.name;
        EXPECT_EQ(r.message, "Errore nel file " + path.string() + "\n" + c.problem);
    }
    EXPECT_EQ(readInvoiceBytes("", "vuota.xml.p7m").message, "Errore nel file vuota.xml.p7m\nil file è vuoto");
    EXPECT_EQ(readInvoiceBytes("ZZZZ", "b.p7m").message,
              "Errore nel file b.p7m\nla busta firmata (.p7m) è danneggiata o incompleta");
    EXPECT_EQ(readInvoiceBytes("MII%", "c.XML.P7M").message,
              "Errore nel file c.XML.P7M\nil file non è una busta firmata (.p7m) né un file XML");
    // Not named .p7m: an envelope is not opened, the loader says the file is no XML.
    EXPECT_EQ(readInvoiceBytes(sample("oca_FPR03_signed_cades_der.xml.p7m"), "d.xml").outcome,
              InvoiceOutcome::NotXml);
}

TEST(SignedEnvelope, EveryCutOfAnEnvelopeFailsCleanly)
{
    // A delivery broken off anywhere, in DER, BER and base64: a message, never a crash.
    for (const char* name : {"oca_FPR03_signed_cades_der.xml.p7m", "FPR03_firmata_ber.xml.p7m",
                             "FPR03_firmata_base64_64_lf.xml.p7m"}) {
        const std::string whole = sample(name);
        for (std::size_t size = 0; size < whole.size(); size += 97) {
            const EnvelopeContent e = openEnvelope(whole.substr(0, size));
            EXPECT_FALSE(e.ok) << name << " cut at " << size;
            EXPECT_FALSE(e.problem.empty());
        }
    }
}

TEST(SignedEnvelope, WhatLooksLikeXml)
{
    EXPECT_TRUE(looksLikeXml("<a/>"));
    EXPECT_TRUE(looksLikeXml("\xEF\xBB\xBF  \r\n<a/>"));
    EXPECT_TRUE(looksLikeXml(std::string("\xFF\xFE<\0", 4)));
    EXPECT_TRUE(looksLikeXml(std::string("<\0a\0", 4)));
    EXPECT_FALSE(looksLikeXml("MIIkBgYJ"));
    EXPECT_FALSE(looksLikeXml("\x30\x80"));
    EXPECT_FALSE(looksLikeXml("   "));
}

}  // namespace
}  // namespace crv
