// The invoice reader on the samples and on small invoices written for one
// rule each: letter case, header selection, amounts, bodies, the mended
// faults, the messages and inputs too big or too odd for the old viewer.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "invoice/invoice_reader.h"
#include "invoice/invoice_support.h"
#include "support/test_support.h"

namespace crv {
namespace {

using test::body;
using test::dataFile;
using test::invoiceXml;
using test::line;
using test::standardHeader;

InvoiceReading read(const std::string& xml)
{
    return readInvoiceBytes(xml, "prova.xml");
}

Amount amount(const char* text)
{
    return *Amount::parseLeadingNumber(text);
}

// One document of a sample; a null amount is one the file does not give.
struct DocumentValues {
    const char* tipo;
    const char* numero;
    const char* data;
    const char* totale;
    const char* imponibile;
    const char* imposta;
    const char* modalita;
    const char* importo;
    std::size_t righe;
};

struct SampleValues {
    const char* file;
    const char* cedente;
    const char* cliente;
    std::vector<DocumentValues> documenti;
};

// Values taken by hand from the sample files.
const SampleValues kSamples[] = {
    {"official_IT01234567890_FPA01_pa_single_line.xml", "ALPHA SRL", "AMMINISTRAZIONE BETA",
     {{"TD01", "123", "2017-01-18", nullptr, "5", "1.1", "MP01", "6.1", 1}}},
    {"official_IT01234567890_FPR02_b2b_two_lines.xml", "SOCIETA' ALPHA SRL", "BETA GAMMA",
     {{"TD01", "123", "2014-12-18", nullptr, "25", "5.5", "MP01", "30.5", 2}}},
    {"official_IT01234567890_FPR03_lotto_two_bodies.xml", "SOCIETA' ALPHA SRL", "BETA GAMMA",
     {{"TD01", "123", "2014-12-18", nullptr, "27", "5.95", "MP01", "32.95", 2},
      {"TD01", "456", "2014-12-20", nullptr, "2000", "440", "MP19", "2440", 1}}},
    {"oca_FPR03_signed_cades_der.xml.p7m", "SOCIETA' ALPHA SRL", "BETA GAMMA",
     {{"TD01", "123", "2014-12-18", nullptr, "25", "5.5", "MP01", "32.5", 2},
      {"TD01", "456", "2014-12-20", nullptr, "2000", "440", "MP19", "2440", 1}}},
    {"oca_FPR06_credit_note_TD04.xml", "SOCIETA' ALPHA SRL", "BETA GAMMA",
     {{"TD04", "123", "2020-01-09", nullptr, "15", "3.3", "", nullptr, 2}}},
    {"php_fattura_esempio_buyer_person_nome_cognome.xml", "mia azienda", "Pietro Lodi Rizzini",
     {{"TD01", "1", "2025-04-20", nullptr, "1.99", "0", "", nullptr, 1}}},
    {"oca_ripilogoiva_two_vat_rates_22_and_N1.xml", "SOCIETA' ALPHA SRL", "BETA GAMMA",
     {{"TD01", "GR20-900443E", "2020-10-06", "204.16", "167.98", "36.18", "MP05", "204.16", 7}}},
    {"simevo_FPR04_attachment_jpg.xml", "SOCIETA' ALPHA SRL", "DITTA BETA",
     {{"TD01", "123", "2014-12-18", nullptr, "5", "1.1", "MP01", "6.1", 1}}},
    {"oca_FPR16_default_namespace_negative_total.xml", "SOCIETA' ALPHA SRL", "BETA GAMMA",
     {{"TD01", "2023/131703/1", "2023-01-23", "-1.83", "-1.5", "-0.33", "MP19", "0", 1}}},
    {"lotto_due_documenti_testi_lunghi.xml", "AZIENDA PROVA & C. SNC DI PROVA TRASPORTI E LOGISTICA INTEGRATA",
     "CONDOMINIO RESIDENZA I GIARDINI DELLE MAGNOLIE",
     {{"TD01", "GR20-900443E", "2020-10-06", "204.16", "167.98", "36.18", "MP05", "204.16", 7},
      {"TD04", "NC20-000117E", "2020-10-20", nullptr, "10", "2.2", "", nullptr, 2}}},
};

std::optional<Amount> given(const char* text)
{
    return text == nullptr ? std::nullopt : std::optional<Amount>(amount(text));
}

// Each body is a document of its own: its data, lines, payment and totals,
// never another body's, and a total the body lacks stays not given.
TEST(InvoiceReader, EverySampleGivesItsValuesDocumentByDocument)
{
    for (const SampleValues& s : kSamples) {
        SCOPED_TRACE(s.file);
        const InvoiceReading r = readInvoiceFile(dataFile(std::string("fatturapa/") + s.file));
        ASSERT_TRUE(r.ok()) << r.message;
        EXPECT_EQ(r.fattura.Cedente.Denominazione, s.cedente);
        EXPECT_EQ(r.fattura.Cliente.Denominazione, s.cliente);
        ASSERT_EQ(r.fattura.documenti.size(), s.documenti.size());
        for (std::size_t i = 0; i < s.documenti.size(); ++i) {
            SCOPED_TRACE(i);
            const DocumentValues& v = s.documenti[i];
            const DocumentoFattura& d = r.fattura.documenti[i];
            EXPECT_EQ(d.TipoDocumento, v.tipo);
            EXPECT_EQ(d.NumeroDocumento, v.numero);
            EXPECT_EQ(d.DataDocumento, v.data);
            EXPECT_EQ(d.TotaleDocumento, given(v.totale));
            EXPECT_EQ(d.TotaleImponibile, given(v.imponibile));
            EXPECT_EQ(d.TotaleImposta, given(v.imposta));
            EXPECT_EQ(d.ModalitaPagamento, v.modalita);
            EXPECT_EQ(d.ImportoPagamento, given(v.importo));
            EXPECT_EQ(d.righe.size(), v.righe);
        }
    }
}

TEST(InvoiceReader, NamesBelowHeaderAndBodyInAnyLetterCase)
{
    const std::string xml = invoiceXml(
        "<FatturaElettronicaHeader><cedentePrestatore><DATIANAGRAFICI><anagrafica><denominazione>MINUSCOLE"
        "</denominazione></anagrafica></DATIANAGRAFICI><sede><comune>NUORO</comune></sede></cedentePrestatore>"
        "</FatturaElettronicaHeader>"
        "<FatturaElettronicaBody><datiGenerali><DatiGeneraliDocumento><tipodocumento>TD01</tipodocumento>"
        "<NUMERO>7</NUMERO></DatiGeneraliDocumento></datiGenerali>"
        "<datibeniservizi><dettaglioLinee><numeroLinea>1</numeroLinea><prezzototale>3.5</prezzototale>"
        "</dettaglioLinee></datibeniservizi>"
        "<DatiPagamento><dettaglioPagamento><modalitapagamento>MP05</modalitapagamento><IMPORTOPAGAMENTO>3.5"
        "</IMPORTOPAGAMENTO></dettaglioPagamento></DatiPagamento></FatturaElettronicaBody>");
    const InvoiceReading r = read(xml);
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(r.fattura.Cedente.Denominazione, "MINUSCOLE");
    EXPECT_EQ(r.fattura.Cedente.SedeComune, "NUORO");
    ASSERT_EQ(r.fattura.documenti.size(), 1u);
    const DocumentoFattura& d = r.fattura.documenti[0];
    EXPECT_EQ(d.NumeroDocumento, "7");
    EXPECT_EQ(d.ModalitaPagamento, "MP05");
    EXPECT_EQ(d.ImportoPagamento, amount("3.5"));
    ASSERT_EQ(d.righe.size(), 1u);
    EXPECT_EQ(d.righe[0].PrezzoTotale, amount("3.5"));
}

TEST(InvoiceReader, HeaderAndBodySelectedByTheirExactUnqualifiedName)
{
    const std::string inner = standardHeader() + body("TD01", "1", line("1", "A", "1.00", "1", "1", "22.00"));
    // Any root name will do.
    EXPECT_TRUE(read("<Qualsiasi>" + inner + "</Qualsiasi>").ok());
    // A default namespace on the root puts the header in it: not selected.
    EXPECT_EQ(read("<FatturaElettronica xmlns=\"urn:x\">" + inner + "</FatturaElettronica>").outcome,
              InvoiceOutcome::NoHeader);
    // ... unless the header resets it, as .NET generators write.
    const std::string reset = "<FatturaElettronica xmlns=\"urn:x\"><FatturaElettronicaHeader xmlns=\"\">" +
                              standardHeader().substr(std::string("<FatturaElettronicaHeader>").size()) +
                              "</FatturaElettronica>";
    const InvoiceReading r = read(reset);
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(r.fattura.Cedente.Denominazione, "ALFA SRL");
    // Another letter case or a prefix is another name.
    EXPECT_EQ(read(invoiceXml("<fatturaElettronicaHeader/>")).outcome, InvoiceOutcome::NoHeader);
    EXPECT_EQ(read(invoiceXml("<p:FatturaElettronicaHeader/>")).outcome, InvoiceOutcome::NoHeader);
    // Below the header a prefixed name matches nothing: the page shows the party empty.
    const InvoiceReading prefixed = read(invoiceXml(
        "<FatturaElettronicaHeader><p:CedentePrestatore><DatiAnagrafici><Anagrafica><Denominazione>X"
        "</Denominazione></Anagrafica></DatiAnagrafici></p:CedentePrestatore></FatturaElettronicaHeader>"));
    ASSERT_TRUE(prefixed.ok());
    EXPECT_EQ(prefixed.fattura.Cedente.Denominazione, "");
    // A body in another letter case is not read, a header alone draws one empty page.
    const InvoiceReading noBody = read(invoiceXml(standardHeader() + "<fatturaElettronicaBody/>"));
    ASSERT_TRUE(noBody.ok());
    EXPECT_TRUE(noBody.fattura.documenti.empty());
    EXPECT_EQ(noBody.fattura.numeroDocumenti(), 1u);
    EXPECT_TRUE(noBody.fattura.documento(0).righe.empty());
}

TEST(InvoiceReader, AmountsAreTheLeadingNumberRoundedHalfToEven)
{
    const std::string goods = line("1", "A", "2.00", "12.345678", "", "22.00") +
                              line("2", "B", "1", "12.34565", "abc", "22.00") +
                              line("3", "C", "1", "12.34575", "  7.5 EUR", "22.00") +
                              line("4", "D", "1", "-0.00005", "-12.34565", "22.00");
    const InvoiceReading r = read(invoiceXml(standardHeader() + body("TD01", "1", goods)));
    ASSERT_TRUE(r.ok()) << r.message;
    const auto& l = r.fattura.documenti.at(0).righe;
    ASSERT_EQ(l.size(), 4u);
    EXPECT_EQ(l[0].PrezzoUnitario, amount("12.3457"));
    EXPECT_EQ(l[0].PrezzoTotale, Amount());  // empty: 0
    EXPECT_EQ(l[1].PrezzoUnitario, amount("12.3456"));  // half to the even neighbour
    EXPECT_EQ(l[1].PrezzoTotale, Amount());            // no leading number
    EXPECT_EQ(l[2].PrezzoUnitario, amount("12.3458"));
    EXPECT_EQ(l[2].PrezzoTotale, amount("7.5"));
    EXPECT_EQ(l[3].PrezzoUnitario, Amount());
    EXPECT_EQ(l[3].PrezzoTotale, amount("-12.3456"));
}

TEST(InvoiceReader, AnAmountBeyondTheCurrencyRangeIsACleanError)
{
    const std::string goods = line("1", "A", "1", "99999999999999999999.5", "1", "22.00");
    const InvoiceReading r = read(invoiceXml(standardHeader() + body("TD01", "1", goods)));
    EXPECT_EQ(r.outcome, InvoiceOutcome::BadValue);
    EXPECT_EQ(r.message, "Errore nel file prova.xml\nElemento PrezzoUnitario = \"99999999999999999999.5\": "
                         "importo fuori dall'intervallo ammesso");
    // Summary blocks whose sum overflows.
    const std::string big = "<DatiRiepilogo><ImponibileImporto>900000000000000</ImponibileImporto></DatiRiepilogo>";
    const InvoiceReading sum = read(invoiceXml(standardHeader() + body("TD01", "1", big + big)));
    EXPECT_EQ(sum.outcome, InvoiceOutcome::BadValue);
    EXPECT_NE(sum.message.find("Elemento DatiRiepilogo"), std::string::npos) << sum.message;
}

TEST(InvoiceReader, TwoBodiesAreTwoDocuments)
{
    const std::string first = body("TD01", "1", line("1", "PRIMA", "1.00", "10", "10", "22.00") +
                                                    "<DatiRiepilogo><ImponibileImporto>10</ImponibileImporto>"
                                                    "<Imposta>2.2</Imposta></DatiRiepilogo>",
                                   "<DatiPagamento><DettaglioPagamento><ModalitaPagamento>MP01</ModalitaPagamento>"
                                   "<ImportoPagamento>12.2</ImportoPagamento></DettaglioPagamento></DatiPagamento>");
    const std::string second = body("TD04", "2", line("1", "SECONDA", "2.00", "5", "10", "10.00"),
                                    "<DatiPagamento><DettaglioPagamento><ModalitaPagamento>MP05</ModalitaPagamento>"
                                    "<ImportoPagamento>11</ImportoPagamento></DettaglioPagamento>"
                                    "<DettaglioPagamento><ModalitaPagamento>MP08</ModalitaPagamento>"
                                    "<ImportoPagamento>0.5</ImportoPagamento></DettaglioPagamento></DatiPagamento>");
    const InvoiceReading r = read(invoiceXml(standardHeader() + first + second));
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(r.fattura.documenti.size(), 2u);
    const DocumentoFattura& uno = r.fattura.documenti[0];
    const DocumentoFattura& due = r.fattura.documenti[1];
    ASSERT_EQ(uno.righe.size(), 1u);
    ASSERT_EQ(due.righe.size(), 1u);
    EXPECT_EQ(uno.righe[0].Descrizione, "PRIMA");
    EXPECT_EQ(due.righe[0].Descrizione, "SECONDA");
    EXPECT_EQ(uno.TipoDocumento, "TD01");
    EXPECT_EQ(due.TipoDocumento, "TD04");
    EXPECT_EQ(uno.ModalitaPagamento, "MP01");
    EXPECT_EQ(uno.ImportoPagamento, amount("12.2"));
    EXPECT_EQ(uno.TotaleImponibile, amount("10"));
    // The second body has no summary block: its totals are not given, not the first's.
    EXPECT_EQ(due.TotaleImponibile, std::nullopt);
    EXPECT_EQ(due.TotaleImposta, std::nullopt);
    // The last payment detail of its body.
    EXPECT_EQ(due.ModalitaPagamento, "MP08");
    EXPECT_EQ(due.ImportoPagamento, amount("0.5"));
}

TEST(InvoiceReader, MendedFaults)
{
    // A line lacking a value shows it empty, not the previous line's.
    const std::string lines = line("1", "CON", "5.00", "1", "5", "22.00") +
                              "<DettaglioLinee><NumeroLinea>2</NumeroLinea><Descrizione>SENZA</Descrizione>"
                              "<PrezzoTotale>3</PrezzoTotale></DettaglioLinee>";
    // Several summary blocks (one per rate) are summed.
    const std::string summaries =
        "<DatiRiepilogo><AliquotaIVA>22.00</AliquotaIVA><ImponibileImporto>164.46</ImponibileImporto>"
        "<Imposta>36.18</Imposta></DatiRiepilogo>"
        "<DatiRiepilogo><AliquotaIVA>0.00</AliquotaIVA><Natura>N1</Natura><ImponibileImporto>3.52"
        "</ImponibileImporto><Imposta>0.00</Imposta></DatiRiepilogo>";
    // A person is "Nome Cognome"; an IdFiscaleIVA with one child or an empty Anagrafica reads as empty values.
    const std::string header =
        "<FatturaElettronicaHeader>"
        "<CedentePrestatore><DatiAnagrafici><IdFiscaleIVA><IdPaese>IT</IdPaese></IdFiscaleIVA><Anagrafica/>"
        "</DatiAnagrafici></CedentePrestatore>"
        "<CessionarioCommittente><DatiAnagrafici><IdFiscaleIVA/><Anagrafica><Nome>Mario</Nome>"
        "<Cognome>Rossi</Cognome><Titolo>Dott.</Titolo></Anagrafica></DatiAnagrafici></CessionarioCommittente>"
        "</FatturaElettronicaHeader>";
    const InvoiceReading r = read(invoiceXml(header + body("TD01", "1", lines + summaries)));
    ASSERT_TRUE(r.ok()) << r.message;
    const DocumentoFattura& d = r.fattura.documenti.at(0);
    const RigaFattura& second = d.righe.at(1);
    EXPECT_EQ(second.Quantita, "");
    EXPECT_EQ(second.AliquotaIva, "");
    EXPECT_EQ(second.PrezzoUnitario, Amount());
    EXPECT_EQ(second.PrezzoTotale, amount("3"));
    EXPECT_EQ(d.TotaleImponibile, amount("167.98"));
    EXPECT_EQ(d.TotaleImposta, amount("36.18"));
    EXPECT_EQ(r.fattura.Cedente.PartitaIva, "IT");
    EXPECT_EQ(r.fattura.Cedente.Denominazione, "");
    EXPECT_EQ(r.fattura.Cliente.PartitaIva, "");
    EXPECT_EQ(r.fattura.Cliente.Denominazione, "Mario Rossi");
}

TEST(InvoiceReader, Messages)
{
    test::TempDir tmp;
    const InvoiceReading missing = readInvoiceFile(tmp / "assente.xml");
    EXPECT_EQ(missing.outcome, InvoiceOutcome::NoFile);
    EXPECT_EQ(missing.message, "NON TROVO IL FILE");
    EXPECT_EQ(readInvoiceFile(tmp.path()).message, "NON TROVO IL FILE");  // a folder is no file

    test::writeFile(tmp / "rotta.xml", "<?xml version=\"1.0\"?>\n<a>\n  <b>x</c>\n</a>\n");
    const InvoiceReading broken = readInvoiceFile(tmp / "rotta.xml");
    EXPECT_EQ(broken.outcome, InvoiceOutcome::NotXml);
    // The four lines of the message, then the parser's reason.
    EXPECT_EQ(broken.message, "Errore nel file " + (tmp / "rotta.xml").string() +
                                  "\nLinea = 3\nPos = 9\nSrc =   <b>x</c>\nTag di chiusura non corrispondente");

    const InvoiceReading noHeader = read("<FatturaElettronica><FatturaElettronicaBody/></FatturaElettronica>");
    EXPECT_EQ(noHeader.outcome, InvoiceOutcome::NoHeader);
    EXPECT_EQ(noHeader.message, "NON TROVO HEADER.\nIl file non è una fattura elettronica: manca FatturaElettronicaHeader");

    const InvoiceReading nul = read("<FatturaElettronica>\n<FatturaElettronicaHeader>A&#0;B</FatturaElettronicaHeader>"
                                    "</FatturaElettronica>");
    EXPECT_EQ(nul.outcome, InvoiceOutcome::NotXml);
    EXPECT_EQ(nul.message.substr(nul.message.find("\nLinea")),
              "\nLinea = 2\nPos = 28\nSrc = <FatturaElettronicaHeader>A&#0;B</FatturaElettronicaHeader>"
              "</FatturaElettronica>\nRiferimento a carattere non ammesso");

    // No DTD and no external entity is ever read.
    const InvoiceReading dtd = read("<!DOCTYPE a [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><a>&e;</a>");
    EXPECT_EQ(dtd.outcome, InvoiceOutcome::NotXml);
}

TEST(InvoiceReader, LargeAndOddInputs)
{
    // Tens of thousands of lines: no 16-bit counter.
    std::string goods;
    for (int k = 1; k <= 40000; ++k) goods += line(std::to_string(k), "R", "1", "1", "1", "22.00");
    const InvoiceReading many = read(invoiceXml(standardHeader() + body("TD01", "1", goods)));
    ASSERT_TRUE(many.ok());
    EXPECT_EQ(many.fattura.documento(0).righe.size(), 40000u);
    EXPECT_EQ(many.fattura.documento(0).righe.back().NumeroLinea, "40000");

    // A huge text node and a deep nest inside an element the reader walks.
    const std::string huge(8 << 20, 'x');
    std::string deep;
    for (int k = 0; k < 100000; ++k) deep += "<n>";
    deep += "fondo";
    for (int k = 0; k < 100000; ++k) deep += "</n>";
    const std::string odd = line("1", huge, "1", "1", "1", "22.00") +
                            "<DettaglioLinee><Descrizione>" + deep + "</Descrizione></DettaglioLinee>";
    const InvoiceReading r = read(invoiceXml(standardHeader() + body("TD01", "1", odd)));
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(r.fattura.documento(0).righe.at(0).Descrizione.size(), huge.size());
    EXPECT_EQ(r.fattura.documento(0).righe.at(1).Descrizione, "fondo");

    // Text, comments and processing instructions between the elements are passed over.
    const InvoiceReading mixed = read(invoiceXml(
        "<FatturaElettronicaHeader>testo<!-- nota --><?pi x?><CedentePrestatore><DatiAnagrafici><Anagrafica>"
        "<!-- prima --><Denominazione>GAMMA</Denominazione></Anagrafica></DatiAnagrafici></CedentePrestatore>"
        "</FatturaElettronicaHeader>"));
    ASSERT_TRUE(mixed.ok());
    EXPECT_EQ(mixed.fattura.Cedente.Denominazione, "GAMMA");
}

TEST(InvoiceReader, AttachmentsAreKept)
{
    const InvoiceReading r = readInvoiceFile(dataFile("fatturapa/simevo_FPR04_attachment_jpg.xml"));
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(r.fattura.allegati.size(), 1u);
    const Allegato& a = r.fattura.allegati[0];
    EXPECT_EQ(a.NomeAttachment, "LogoA.jpg");
    // Base64 as the file has it, line ends included: a JPEG's first bytes.
    EXPECT_EQ(a.Attachment.substr(a.Attachment.find_first_not_of("\r\n "), 4), "/9j/");
}

}  // namespace
}  // namespace crv
