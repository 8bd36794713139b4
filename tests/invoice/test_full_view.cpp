// The complete invoice view: every sample drawn to PDF with the values an
// accountant reads in it (written by hand from each file), the text of the
// PDF searchable letter by letter, and the drawing list laid out without a
// text outside its column or over another one.
#include <gtest/gtest.h>

#include <QRectF>

#include <algorithm>
#include <cstdio>
#include <regex>

#include "invoice/full_invoice_reader.h"
#include "invoice/full_layout.h"
#include "invoice/invoice_support.h"
#include "invoice/sheet_export.h"
#include "invoice/value_format.h"
#include "support/invoice_samples.h"
#include "support/test_support.h"

namespace crv {
namespace {

class CompleteView : public ::testing::Test {
protected:
    void SetUp() override { test::ensureGuiApplication(); }

    static FullView view(const std::filesystem::path& file)
    {
        FullViewReading r = readFullView(file);
        EXPECT_TRUE(r.ok()) << file << ": " << r.message;
        return std::move(r.view);
    }
    static std::vector<Sheet> sheets(const std::string& sample)
    {
        return layoutFullView(view(test::dataFile("fatturapa/" + sample)), Regional::italian());
    }
    // The text pdftotext reads from the PDF of the sheets, blanks and line
    // ends folded into one blank (a value wrapped in its column reads on).
    std::string pdfText(const std::vector<Sheet>& document)
    {
        const auto pdf = tmp / "completa.pdf";
        const PdfDocument one[] = {{document, "prova"}};
        const auto problem = writePdf(one, kSheetStyle, pdf);
        EXPECT_FALSE(problem) << *problem;
        const auto txt = tmp / "completa.txt";
        const std::string command = "pdftotext -enc UTF-8 " + test::shellWord(pdf.string()) + " " + test::shellWord(txt.string());
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return std::regex_replace(test::readFile(txt), std::regex("\\s+"), " ");
    }

    test::TempDir tmp;
    const Face& metrics = kSheetFace;
};

struct Sample {
    const char* file;
    std::vector<std::string> shown;   // each found in the PDF's text
    std::vector<std::string> absent;  // labels of elements the file does not have
};

const std::vector<Sample>& samples()
{
    static const std::vector<Sample> all = {
        {"official_IT01234567890_FPA01_pa_single_line.xml",
         {"Conforme allo schema FatturaPA 1.2.2", "File XML non firmato", "FPA12 Fattura verso PA", "ALPHA SRL",
          "Partita IVA IT01234567890", "RF19 Forfettario", "VIALE ROMA 543", "07100 SASSARI (SS) IT",
          "AMMINISTRAZIONE BETA", "Codice fiscale 09876543210", "Documento 1 di 1", "TD01 Fattura", "18/01/2017",
          "EUR", "SEGUE DESCRIZIONE CAUSALE", "Ordine d'acquisto", "66685", "Contratto", "01/09/2016", "Convenzione",
          "Ricezione", "789", "CUP 123abc", "CIG 456def", "Trasporto spa", "IT24681012141", "10/01/2017 16:46:12",
          "DESCRIZIONE DELLA FORNITURA", "22,00%", "1,10", "I Immediata", "TP01 Pagamento a rate", "MP01 Contanti",
          "18/02/2017", "6,10"},
         {"Totale documento", "Allegati", "Ritenuta", "Bollo"}},
        {"official_IT01234567890_FPR02_b2b_two_lines.xml",
         {"FPR12 Fattura verso privati", "betagamma@pec.it", "SOCIETA' ALPHA SRL", "RF01 Ordinario", "BETA GAMMA",
          "VIA TORINO 38-B", "00145 ROMA (RM) IT", "18/12/2014", "FORNITURE VARIE PER UFFICIO", "10,00", "2,00", "20,00",
          "D Differita", "25,00", "5,50", "30/01/2015", "30,50"},
         {"Totale documento", "Allegati"}},
        {"official_IT01234567890_FPR03_lotto_two_bodies.xml",
         {"Documento 1 di 2", "Documento 2 di 2", "27,00", "5,95", "32,95", "30/01/2015", "456", "20/12/2014",
          "PRESTAZIONE DEL SEGUENTE SERVIZIO", "2.000,00", "440,00", "MP19 SEPA Direct Debit", "28/01/2015",
          "2.440,00"},
         {"Totale documento"}},
        {"oca_FPR03_signed_cades_der.xml.p7m",
         {"Conforme allo schema FatturaPA 1.2.2", "CORATO SERGIO", "Codice fiscale: CRTSRG74M18A459G",
          "21/12/2018 15:58:13 UTC", "InfoCert Firma Qualificata 2, INFOCERT SPA",
          "Certificato valido dal 25/10/2018 al 25/10/2021", "Esito: firma integra, certificato non verificato",
          "Documento 2 di 2", "25,00", "5,50", "32,50", "2.440,00"},
         {"File XML non firmato"}},
        {"oca_FPR06_credit_note_TD04.xml",
         {"TD04 Nota di credito", "09/01/2020", "SCONTO", "-1,00", "-5,00", "15,00", "3,30"},
         {"Condizioni di pagamento", "Totale documento", "Causale"}},
        {"php_fattura_esempio_buyer_person_nome_cognome.xml",
         {"Pietro Lodi Rizzini", "Via abc, 10", "20125 MILANO IT", "Codice fiscale CVLLSN66M44L826J", "Via def, 5",
          "Servizio xyz", "1,00000000", "1,99000000", "1,99", "0,00%", "N2.2 Non soggette - altri casi"},
         {"Pagamento", "Allegati", "Riferimenti"}},
        {"oca_ripilogoiva_two_vat_rates_22_and_N1.xml",
         {"GR20-900443E", "06/10/2020", "204,16", "POD IT001E14607435", "905,00", "kWh", "0,01249724", "11,31",
          "Periodo dal 01/09/2020 al 30/09/2020", "Ind.POD: VIA TRIESTE, 47 - 21020 BUGUGGIATE (VA)", "4,900000",
          "N1 Escluse ex art. 15 DPR 633/72", "Escluso Art.15", "164,46", "36,18", "3,52", "167,98",
          "TP02 Pagamento completo", "MP05 Bonifico", "Deutsche Bank", "IBAN IT64C0310401600000000770885",
          "Termini: 30 giorni dal 06/10/2020", "05/11/2020"},
         {"Allegati"}},
        {"simevo_FPR04_attachment_jpg.xml",
         {"Allegati", "LogoA.jpg", "9.900 byte", "Trasporto spa", "6,10"},
         {}},
        {"oca_FPR16_default_namespace_negative_total.xml",
         {"Conforme allo schema FatturaPA 1.2.2", "2023/131703/1", "23/01/2023", "-1,83", "Quota fissa Fognatura",
          "-0,15", "-1,50", "-0,33", "IVA al 22%", "Periodo dal 01/01/2022 al 19/04/2022", "TP02 Pagamento completo",
          "0,00"},
         {}},
        {"completa_tutti_i_blocchi.xml",
         {"Progressivo invio", "00042", "amministrazione@pec.esempio.it", "invio@esempio.it", "0612345678",
          "TZ Terzo", "STUDIO LEGALE ALFA E ASSOCIATI", "Albo: Ordine degli Avvocati (RM) n. A12345 del 15/03/2001",
          "Stabile organizzazione: VIA MILANO 7, 20121 MILANO (MI) IT", "10.000,00", "SM Più soci",
          "LN Non in liquidazione", "Tel. 061234567 - Fax 067654321", "info@studioalfa.it",
          "Riferimento amministrazione: AMM-77", "RAPPRESENTANTE FISCALE DEL CEDENTE", "RAPPRESENTANZE FISCALI GAMMA SRL",
          "Dott. Mario Rossi", "Codice fiscale RSSMRA80A01H501U", "RAPPRESENTANTE FISCALE DEL CESSIONARIO",
          "VERTRETUNG DELTA GMBH", "Partita IVA DE123456789", "INTERMEDIARIO EPSILON SPA", "TD06 Parcella",
          "2024/FE/0007", "29/02/2024", "1.507.469,50", "-0,01", "PRESTAZIONE PROFESSIONALE DI ASSISTENZA",
          "PRATICA N. 2024/15 - RECUPERO CREDITI", "RT01 Ritenuta persone fisiche", "208,00", "20,00%",
          "TC01 Cassa nazionale", "41,60", "1.040,00", "4,00%", "CASSA-1", "Bollo virtuale", "2,00", "SC Sconto",
          "12,50", "5,00%", "ORD-5588", "1, 3", "CUP CUP123", "CIG CIG456", "CTR-2023-11", "02/11/2023",
          "2023/FE/0099", "DDT-771", "20/02/2024", "TRASPORTI ZETA SRL", "FURGONE", "21/02/2024 09:30:00", "12000",
          "INTERNO ART-001", "ore", "130,00000000", "SC 10,00%", "936,00", "Soggetta a ritenuta: SI", "RIGA-1",
          "PRATICA: POS. 2024/15 - 15,00 - 05/01/2024", "Periodo dal 01/01/2024 al 31/01/2024",
          "Tipo: AC Spesa accessoria", "MG 3,50", "107,50", "1.234.567,891", "1.234.567,89", "S Scissione dei pagamenti",
          "Scissione dei pagamenti art. 17-ter", "1.235.545,49", "271.820,01", "0,50", "0,01", "1.235.652,99",
          "Beneficiario: STUDIO LEGALE ALFA", "Termini: 30 giorni dal 29/02/2024", "30/03/2024", "700.000,00",
          "BANCA ESEMPIO SPA", "IBAN IT60X0542811101000000123456", "ABI 05428 CAB 11101", "BIC BPMOIT22XXX",
          "Codice pagamento: PAG-1", "MP08 Carta di pagamento", "807.469,50", "Ufficio postale: UP-12",
          "BNCLCU70A01H501X", "parcella dettagliata.pdf", "ZIP", "DETTAGLIO DELLE ORE", "19 byte", "../../nota.txt",
          "11 byte", "ufficio", "definizione"},
         {}},
    };
    return all;
}

TEST_F(CompleteView, EverySampleShowsItsValuesInThePdf)
{
    for (const Sample& s : samples()) {
        SCOPED_TRACE(s.file);
        const std::vector<Sheet> document = sheets(s.file);
        const std::string text = pdfText(document);
        for (const std::string& value : s.shown) EXPECT_NE(text.find(value), std::string::npos) << value;
        for (const std::string& label : s.absent) EXPECT_EQ(text.find(label), std::string::npos) << label;
        // Letters, not ligature glyphs standing for "fi", "ffi"...: the text reads back and is found.
        EXPECT_EQ(text.find("\xEF\xAC"), std::string::npos);
        const std::size_t n = document.size();
        for (std::size_t k = 1; k <= n; ++k) {
            const std::string page = "Pagina " + std::to_string(k) + " di " + std::to_string(n);
            EXPECT_NE(text.find(page), std::string::npos) << page;
        }
    }
}

// Words enough for a description taller than a sheet.
std::string longDescription()
{
    std::string text;
    for (int k = 1; k <= 1500; ++k) text += "parola" + std::to_string(k) + " ";
    return text;
}

std::string invoiceWithDescription(const std::string& description)
{
    return test::invoiceXml(test::standardHeader() +
                            test::body("TD01", "7", test::line("1", description, "1.00", "10.00", "10.00", "22.00")));
}

// Where a text puts ink: its measured width placed by its alignment, one line high.
QRectF inkOf(const TextOp& t, const Face& m)
{
    const float w = m.width(t.text, t.size, t.bold);
    const float x = t.allinea == Allinea::Sinistra ? t.x : t.allinea == Allinea::Destra ? t.x + t.width - w : t.x + (t.width - w) / 2;
    return QRectF(x, t.y, w, m.lineHeight(t.size) * 0.9);
}

TEST_F(CompleteView, NoTextLeavesItsColumnOrLiesOverAnother)
{
    std::vector<std::pair<std::string, std::vector<Sheet>>> documents;
    for (const Sample& s : samples()) documents.emplace_back(s.file, sheets(s.file));
    test::writeFile(tmp / "cento.xml", test::invoiceOfLines(100));
    documents.emplace_back("cento righe", layoutFullView(view(tmp / "cento.xml"), Regional::italian()));
    test::writeFile(tmp / "lunga.xml", invoiceWithDescription(longDescription()));
    documents.emplace_back("descrizione lunga", layoutFullView(view(tmp / "lunga.xml"), Regional::italian()));
    for (const auto& [name, document] : documents) {
        for (std::size_t k = 0; k < document.size(); ++k) {
            SCOPED_TRACE(name + ", foglio " + std::to_string(k + 1));
            std::vector<std::pair<QRectF, const TextOp*>> inks;
            for (const DrawOp& op : document[k].ops) {
                const auto* t = std::get_if<TextOp>(&op);
                if (t == nullptr) continue;
                EXPECT_LE(metrics.width(t->text, t->size, t->bold), t->width + 0.01f) << t->text;
                EXPECT_GE(t->x, kSheetMargin - 0.01f) << t->text;
                EXPECT_LE(t->x + t->width, kSheetWidth - kSheetMargin + 0.01f) << t->text;
                EXPECT_GE(t->y, kSheetMargin - 0.01f) << t->text;
                EXPECT_LE(t->y + metrics.lineHeight(t->size), kSheetHeight - kSheetMargin + 0.01f) << t->text;
                inks.emplace_back(inkOf(*t, metrics), t);
            }
            for (std::size_t i = 0; i < inks.size(); ++i) {
                for (std::size_t j = i + 1; j < inks.size(); ++j) {
                    const QRectF both = inks[i].first.intersected(inks[j].first);
                    EXPECT_TRUE(both.isEmpty() || both.width() * both.height() < 0.01)
                        << "\"" << inks[i].second->text << "\" su \"" << inks[j].second->text << "\"";
                }
            }
        }
    }
}

TEST_F(CompleteView, ALongInvoiceRepeatsTheTableHeadOnEverySheetItContinuesOn)
{
    test::writeFile(tmp / "cento.xml", test::invoiceOfLines(100));
    const std::vector<Sheet> document = layoutFullView(view(tmp / "cento.xml"), Regional::italian());
    ASSERT_GE(document.size(), 3u);
    for (std::size_t k = 1; k < document.size(); ++k) {
        SCOPED_TRACE(k + 1);
        // The first text of a continuation sheet is the head of the lines, at its top.
        const TextOp* first = nullptr;
        bool head = false;
        for (const DrawOp& op : document[k].ops) {
            const auto* t = std::get_if<TextOp>(&op);
            if (t == nullptr) continue;
            if (first == nullptr) first = t;
            head = head || (t->text == "Descrizione" && t->y == first->y);
        }
        ASSERT_NE(first, nullptr);
        EXPECT_LT(first->y, kSheetMargin + 5);
        EXPECT_TRUE(head);
    }
    // Every line is drawn once: the hundredth too, and the table's total.
    const std::string text = sheetText(document);
    EXPECT_NE(text.find("\n100  "), std::string::npos);
    EXPECT_EQ(text.find("\n101  "), std::string::npos);
}

TEST_F(CompleteView, ADescriptionTallerThanASheetGoesOnOnTheNextWithoutLosingAWord)
{
    test::writeFile(tmp / "lunga.xml", invoiceWithDescription(longDescription()));
    const std::vector<Sheet> document = layoutFullView(view(tmp / "lunga.xml"), Regional::italian());
    ASSERT_GE(document.size(), 3u);
    // The lines' table on (the schema's verdict above it quotes the start of the too long value).
    std::string text = " " + std::regex_replace(sheetText(document), std::regex("\\s+"), " ") + " ";
    ASSERT_NE(text.find("Beni e servizi"), std::string::npos);
    text = text.substr(text.find("Beni e servizi"));
    for (int k = 1; k <= 1500; ++k) {
        const std::string word = " parola" + std::to_string(k) + " ";
        ASSERT_NE(text.find(word), std::string::npos) << word;
        ASSERT_EQ(text.find(word, text.find(word) + 1), std::string::npos) << word << " twice";
    }
}

TEST_F(CompleteView, TheReaderTakesEveryElementInAnyLetterCaseAndKeepsTheOnesItHasNoPlaceFor)
{
    // Names in other letter cases, a header in a default namespace, an element
    // no version of the schema has, two payments and a work stage.
    const std::string xml =
        "<?xml version=\"1.0\"?><FatturaElettronica xmlns=\"urn:altro\" versione=\"FPR12\">"
        "<FatturaElettronicaHeader><cedentePrestatore><DatiAnagrafici><idFiscaleIva><IdPaese>IT</IdPaese>"
        "<IdCodice>1</IdCodice></idFiscaleIva><Anagrafica><Nome>Anna</Nome><Cognome>Neri</Cognome></Anagrafica>"
        "<Segreto>X9</Segreto></DatiAnagrafici></cedentePrestatore></FatturaElettronicaHeader>"
        "<FatturaElettronicaBody><DATIGENERALI><DatiGeneraliDocumento><TipoDocumento>TD24</TipoDocumento>"
        "<Causale>uno</Causale><Causale>due</Causale></DatiGeneraliDocumento><DatiSAL><RiferimentoFase>4"
        "</RiferimentoFase></DatiSAL><DatiExtra><DataOraVerifica>2024-05-06T07:08:09</DataOraVerifica></DatiExtra>"
        "</DATIGENERALI><DatiPagamento><CondizioniPagamento>TP03</CondizioniPagamento></DatiPagamento>"
        "<DatiPagamento><CondizioniPagamento>TP02</CondizioniPagamento><DettaglioPagamento>"
        "<ModalitaPagamento>MP23</ModalitaPagamento></DettaglioPagamento></DatiPagamento></FatturaElettronicaBody>"
        "</FatturaElettronica>";
    XmlDocument document;
    ASSERT_TRUE(document.loadBytes(xml, "prova.xml"));
    FatturaCompleta f;
    ASSERT_TRUE(readFullInvoice(document, f));
    ASSERT_EQ(f.soggetti.size(), 1u);
    EXPECT_EQ(f.soggetti[0].IdFiscaleIVA.IdPaese + f.soggetti[0].IdFiscaleIVA.IdCodice, "IT1");
    EXPECT_EQ(f.soggetti[0].Nome + " " + f.soggetti[0].Cognome, "Anna Neri");
    ASSERT_EQ(f.altriDatiTestata.size(), 1u);
    EXPECT_EQ(f.altriDatiTestata[0], (Campo{"Cedente prestatore / Segreto", "X9", Campo::Formato::Testo}));
    ASSERT_EQ(f.documenti.size(), 1u);
    const Documento& d = f.documenti[0];
    EXPECT_EQ(d.TipoDocumento, "TD24");
    EXPECT_EQ(d.causali, (std::vector<std::string>{"uno", "due"}));
    ASSERT_EQ(d.riferimenti.size(), 1u);
    EXPECT_EQ(d.riferimenti[0].tipo, Riferimento::Tipo::Sal);
    EXPECT_EQ(d.riferimenti[0].IdDocumento, "4");
    ASSERT_EQ(d.altriDati.size(), 1u);
    EXPECT_EQ(d.altriDati[0], (Campo{"Dati extra / Data ora verifica", "2024-05-06T07:08:09", Campo::Formato::DataOra}));
    ASSERT_EQ(d.pagamenti.size(), 2u);
    EXPECT_EQ(d.pagamenti[0].CondizioniPagamento, "TP03");
    EXPECT_TRUE(d.pagamenti[0].dettagli.empty());
    ASSERT_EQ(d.pagamenti[1].dettagli.size(), 1u);
    EXPECT_EQ(d.pagamenti[1].dettagli[0].ModalitaPagamento, "MP23");
    EXPECT_EQ(d.pagamenti[1].dettagli[0].ImportoPagamento, "");  // absent: nothing, not 0
    // Without a header nothing is read.
    ASSERT_TRUE(document.loadBytes("<FatturaElettronica><FatturaElettronicaBody/></FatturaElettronica>", "x"));
    EXPECT_FALSE(readFullInvoice(document, f));
}

TEST_F(CompleteView, NumbersAndDatesInTheItalianForm)
{
    const Regional it = Regional::italian();
    const struct {
        std::string (*format)(std::string_view, const Regional&);
        const char* in;
        const char* out;
    } cases[] = {
        {formatAmountText, "2000.00", "2.000,00"},       {formatAmountText, "11.31000000", "11,31"},
        {formatAmountText, "0.01249724", "0,01249724"},  {formatAmountText, "-1.5", "-1,50"},
        {formatAmountText, "1234567", "1.234.567,00"},   {formatAmountText, "", ""},
        {formatAmountText, "12,50", "12,50"},            {formatAsGiven, "1.00000000", "1,00000000"},
        {formatAsGiven, "12000.5", "12.000,5"},          {formatAsGiven, "abc", "abc"},
        {formatPercent, "22.00", "22,00%"},              {formatPercent, "", ""},
        {formatDateText, "2014-12-18", "18/12/2014"},    {formatDateText, "2012-10-22T16:46:12.000+02:00", "22/10/2012 16:46:12"},
        {formatDateText, "2024-02-30", "2024-02-30"},    {formatDateText, "18/12/2014", "18/12/2014"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.format(c.in, it), c.out) << c.in;
    EXPECT_EQ(sumAmounts({"164.46", "3.52"}), Amount::parseLeadingNumber("167.98"));
    EXPECT_EQ(sumAmounts({"164.46", "tre"}), std::nullopt);  // a partial sum would mislead
    EXPECT_EQ(sumAmounts({}), std::nullopt);
}

}  // namespace
}  // namespace crv
