// The page's drawing list, compared with lists written from the page table:
// positions, sizes, weights, alignments, texts, the yellow band and the frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "invoice/invoice_reader.h"
#include "invoice/invoice_support.h"
#include "invoice/page_layout.h"
#include "support/test_support.h"

namespace crv {
namespace {

std::vector<std::string> described(const Sheet& page)
{
    std::vector<std::string> out;
    for (const DrawOp& op : page.ops) out.push_back(describe(op));
    return out;
}

// The pages of a sample, one per document.
std::vector<Sheet> samplePages(const std::string& name)
{
    const InvoiceReading r = readInvoiceFile(test::dataFile("fatturapa/" + name));
    EXPECT_TRUE(r.ok()) << name << ": " << r.message;
    return layoutInvoice(r.fattura, Regional::italian());
}

TEST(PageLayout, TwoLineSampleAsThePageTableSaysIt)
{
    const std::vector<Sheet> pages = samplePages("official_IT01234567890_FPR02_b2b_two_lines.xml");
    ASSERT_EQ(pages.size(), 1u);
    const Sheet& page = pages[0];
    // The first description goes on over six rows of its column, the line's
    // row grows with it and moves everything below by five rows: r = 20.
    const std::vector<std::string> expected = {
        "clear",
        "text 2 12 w3 12 regular left \"1\" shrink",
        "text 5 12 w24 12 regular left \"LA DESCRIZIONE DELLA FORNITURA PUO'\" wrap",
        "text 5 13 w24 12 regular left \"SUPERARE I CENTO CARATTERI CHE\" wrap",
        "text 5 14 w24 12 regular left \"RAPPRESENTAVANO IL PRECEDENTE\" wrap",
        "text 5 15 w24 12 regular left \"LIMITE DIMENSIONALE. TALE LIMITE\" wrap",
        "text 5 16 w24 12 regular left \"NELLA NUOVA VERSIONE E' STATO\" wrap",
        "text 5 17 w24 12 regular left \"PORTATO A MILLE CARATTERI\" wrap",
        "text 30 12 w5 12 regular right \"5.00\" shrink",
        "text 36 12 w9 12 regular right \"1\" shrink",
        "text 46 12 w11 12 regular right \"0\" shrink",
        "text 58 12 w9 12 regular right \"5\" shrink",
        "text 68 12 w9 12 regular right \"22.00\" shrink",
        "text 2 18 w3 12 regular left \"2\" shrink",
        "text 5 18 w24 12 regular left \"FORNITURE VARIE PER UFFICIO\" cut",
        "text 30 18 w5 12 regular right \"10.00\" shrink",
        "text 36 18 w9 12 regular right \"2\" shrink",
        "text 46 18 w11 12 regular right \"0\" shrink",
        "text 58 18 w9 12 regular right \"20\" shrink",
        "text 68 18 w9 12 regular right \"22.00\" shrink",
        "text 2 1 w0 14 bold left \"DATI CEDENTE/PRESTATORE\"",
        "text 30 1 w0 14 bold left \"DATI DOCUMENTO\"",
        "text 56 1 w0 14 bold left \"DATI CLIENTE\"",
        "text 2 3 w25 12 regular left \"SOCIETA' ALPHA SRL\" cut",
        "text 30 3 w23 12 regular left \"Tipo: Fattura\" cut",
        "text 55 3 w23 12 regular right \"BETA GAMMA\" cut",
        "text 2 4 w25 12 regular left \"P.Iva: IT01234567890\" cut",
        "text 30 4 w23 12 regular left \"Numero: 123\" cut",
        "text 55 4 w23 12 regular right \"P.Iva: \" cut",
        "text 2 5 w25 12 regular left \"VIALE ROMA 543\" cut",
        "text 30 5 w23 12 regular left \"Data: 2014-12-18\" cut",
        "text 55 5 w23 12 regular right \"VIA TORINO 38-B\" cut",
        "text 2 6 w25 12 regular left \"07100 SASSARI\" cut",
        "text 55 6 w23 12 regular right \"00145 ROMA\" cut",
        "line 28,0.2 28,8 t1 g0",
        "line 54,0.2 54,8 t1 g0",
        "line 1,8 80,8 t1 g0",
        "text 30 9 w0 14 bold left \"PRODOTTI E SERVIZI\"",
        "box 1 11 79x1 #FFFF00",
        "text 2 11 w0 12 bold left \"Nr\"",
        "text 5 11 w0 12 bold left \"Descrizione\"",
        "text 30 11 w0 12 bold left \"Quantità\"",
        "text 40 11 w0 12 bold left \"Prezzo Un.\"",
        "text 50 11 w0 12 bold left \"Sconto/Magg.\"",
        "text 63 11 w0 12 bold left \"Importo\"",
        "text 73 11 w0 12 bold left \"Cod.Iva\"",
        "line 1,20 80,20 t1 g0",
        "line 38,20 38,26 t1 g0",
        "text 50 21 w0 14 bold left \"METODO DI PAGAMENTO\"",
        "text 40 23 w0 12 regular left \"Metodo: MP01\"",
        "text 40 24 w0 12 regular left \"Pagamento: 30,5\"",
        "line 1,26 80,26 t1 g0",
        "line 38,26 38,34 t1 g0",
        "text 55 27 w0 14 bold left \"TOTALI\"",
        "text 40 29 w0 12 regular left \"Importo prodotti o servizi\"",
        "text 40 30 w0 12 regular left \"Totale Imponibile\"",
        "text 75 30 w0 12 bold right \"25 € \"",
        "text 40 31 w0 12 regular left \"Totale Imposta\"",
        "text 75 31 w0 12 bold right \"5,5 € \"",
        "text 40 32 w0 12 regular left \"Totale Documento\"",
        // The file gives no ImportoTotaleDocumento: not 0 €.
        "text 75 32 w0 12 regular right \"non indicato\"",
        "line 1,34 80,34 t1 g0",
        "line 80,0.2 80,34 t1 g0",
        "line 1,0.2 80,0.2 t1 g0",
        "line 1,0.2 1,34 t1 g0",
    };
    EXPECT_EQ(described(page), expected);
    // Cut only between two lines and between the blocks below them.
    EXPECT_EQ(page.breakRows, (std::vector<float>{18, 20, 26}));
}

TEST(PageLayout, WithoutLinesTheBandAloneAndThePaymentFromRow13)
{
    FatturaLetta empty;
    empty.documenti.emplace_back().TipoDocumento = "TD04";
    const Sheet page = layoutInvoice(empty, Regional::italian()).at(0);
    const std::vector<std::string> ops = described(page);
    ASSERT_EQ(ops.size(), 46u);  // clear + 45 steps (the pen width is no operation)
    EXPECT_EQ(ops[5], "text 30 3 w23 12 regular left \"Tipo: TD04\" cut");
    EXPECT_EQ(ops[27], "line 1,13 80,13 t1 g0");  // step 28 (steps from 16 on sit one place lower)
    EXPECT_EQ(ops[29], "text 50 14 w0 14 bold left \"METODO DI PAGAMENTO\"");
    EXPECT_EQ(ops[45], "line 1,0.2 1,27 t1 g0");
    EXPECT_EQ(page.breakRows, (std::vector<float>{13, 19}));
}

TEST(PageLayout, AmountsInTheRegionalFormAndTheLineRow)
{
    FatturaLetta f;
    DocumentoFattura& d = f.documenti.emplace_back();
    d.TotaleDocumento = *Amount::parseLeadingNumber("1234.5");
    d.ImportoPagamento = *Amount::parseLeadingNumber("-0.0001");
    RigaFattura riga;
    riga.PrezzoUnitario = *Amount::parseLeadingNumber("12.3457");
    for (int k = 0; k < 40; ++k) d.righe.push_back(riga);
    const Sheet it = layoutInvoice(f, Regional::italian()).at(0);
    const Sheet en = layoutInvoice(f, Regional::english()).at(0);
    const auto find = [](const Sheet& page, const std::string& prefix) {
        for (const DrawOp& op : page.ops) {
            const std::string d = describe(op);
            if (d.starts_with(prefix)) return d;
        }
        return std::string();
    };
    EXPECT_EQ(find(it, "text 75 65 "), "text 75 65 w0 12 bold right \"1234,5 € \"");  // r = 53, r + 12
    EXPECT_EQ(find(en, "text 75 65 "), "text 75 65 w0 12 bold right \"1234.5 € \"");
    EXPECT_EQ(find(it, "text 40 57 "), "text 40 57 w0 12 regular left \"Pagamento: -0,0001\"");
    EXPECT_EQ(find(it, "text 36 51 "), "text 36 51 w9 12 regular right \"12,3457\" shrink");  // line 40 on row 51
    EXPECT_EQ(find(it, "box "), "box 1 11 79x1 #FFFF00");
}

// The texts of a page's operations in drawing order.
std::vector<std::string> textsOf(const Sheet& page)
{
    std::vector<std::string> out;
    for (const DrawOp& op : page.ops) {
        if (const auto* t = std::get_if<TextOp>(&op)) out.push_back(t->text);
    }
    return out;
}

bool has(const std::vector<std::string>& texts, const std::string& text)
{
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// A batch is one page per body, each with its own document data, lines,
// payment and totals, "Documento i di n" under the document's date; a file
// of one body has no such line.
TEST(PageLayout, ABatchIsOnePagePerDocument)
{
    const std::vector<Sheet> pages = samplePages("official_IT01234567890_FPR03_lotto_two_bodies.xml");
    ASSERT_EQ(pages.size(), 2u);
    const struct {
        const char* numero;
        const char* documento;
        const char* metodo;
        const char* imponibile;
        const char* other;  // a text of the other document's
    } expected[] = {
        {"Numero: 123", "Documento 1 di 2", "Metodo: MP01", "27 € ", "Numero: 456"},
        {"Numero: 456", "Documento 2 di 2", "Metodo: MP19", "2000 € ", "FORNITURE VARIE PER UFFICIO"},
    };
    for (std::size_t i = 0; i < pages.size(); ++i) {
        SCOPED_TRACE(i);
        const std::vector<std::string> ops = described(pages[i]);
        const std::vector<std::string> texts = textsOf(pages[i]);
        EXPECT_TRUE(has(texts, expected[i].numero));
        EXPECT_TRUE(has(texts, expected[i].metodo));
        EXPECT_TRUE(has(texts, expected[i].imponibile));
        EXPECT_FALSE(has(texts, expected[i].other));
        EXPECT_TRUE(has(texts, "non indicato"));  // neither body gives its total
        EXPECT_FALSE(has(texts, "0 € "));
        // Row 6 of the document's block, between the parties' last rows.
        const auto at = std::find(ops.begin(), ops.end(),
                                  "text 30 6 w23 12 regular left \"" + std::string(expected[i].documento) + "\" cut");
        ASSERT_NE(at, ops.end());
        EXPECT_EQ(at[-1], "text 2 6 w25 12 regular left \"07100 SASSARI\" cut");
        EXPECT_EQ(at[1], "text 55 6 w23 12 regular right \"00145 ROMA\" cut");
    }
    // The second body's one line starts at row 12 of its own page.
    EXPECT_EQ(described(pages[1]).at(1), "text 2 12 w3 12 regular left \"1\" shrink");

    const std::vector<Sheet> alone = samplePages("oca_ripilogoiva_two_vat_rates_22_and_N1.xml");
    ASSERT_EQ(alone.size(), 1u);
    for (const std::string& text : textsOf(alone[0])) EXPECT_FALSE(text.starts_with("Documento ")) << text;
}

// A heading text that goes on over more rows moves the frame, the table and
// every block below by as many rows; a text of the payment block that does
// not fit before the frame goes on below as well, and the block grows.
TEST(PageLayout, RowsGrowWhereTextsGoOn)
{
    FatturaLetta f;
    f.Cedente.Denominazione = "AZIENDA PROVA & C. SNC DI PROVA TRASPORTI E LOGISTICA INTEGRATA";  // two rows
    f.Cliente.SedeIndirizzo = "VIA DEL CONSORZIO AGRARIO PROVINCIALE DELLA PROVINCIA DI SASSARI 38-B";  // three
    DocumentoFattura& d = f.documenti.emplace_back();
    d.ModalitaPagamento = std::string(60, 'M');  // no code of the schema is so long
    d.righe.emplace_back();
    const std::vector<std::string> ops = described(layoutInvoice(f, Regional::italian()).at(0));
    const auto position = [&ops](const std::string& start) {
        return std::find_if(ops.begin(), ops.end(), [&start](const std::string& op) { return op.starts_with(start); });
    };
    // The buyer's address from row 5 to 7, so the buyer's CAP on row 8:
    // the heading ends two rows lower than its design.
    EXPECT_NE(position("text 55 7 w23 12 regular right "), ops.end());
    EXPECT_NE(position("text 55 8 w23 12 regular right \" \" cut"), ops.end());
    EXPECT_NE(position("text 2 4 w25 12 regular left \"TRASPORTI E LOGISTICA INTEGRATA\" wrap"), ops.end());
    EXPECT_NE(position("text 2 5 w25 12 regular left \"P.Iva: \" cut"), ops.end());
    for (const char* moved : {"line 28,0.2 28,10 t1 g0", "line 54,0.2 54,10 t1 g0", "line 1,10 80,10 t1 g0",
                              "text 30 11 w0 14 bold left \"PRODOTTI E SERVIZI\"", "box 1 13 79x1 #FFFF00",
                              "text 2 13 w0 12 bold left \"Nr\"", "text 2 14 w3 12 regular left \"\" shrink",
                              "line 1,16 80,16 t1 g0"})
        EXPECT_NE(position(moved), ops.end()) << moved;
    // "Metodo:" on row 19, its one word too long for a row broken over rows
    // 20 and 21, the amount on 22: the payment block ends at 24 instead of
    // 22, the totals follow it.
    EXPECT_NE(position("text 40 19 w39 12 regular left \"Metodo:\" wrap"), ops.end());
    EXPECT_NE(position("text 40 21 w39 12 regular left \"MMM"), ops.end());
    EXPECT_NE(position("text 40 22 w0 12 regular left \"Pagamento: non indicato\""), ops.end());
    for (const char* moved : {"line 38,16 38,24 t1 g0", "line 1,24 80,24 t1 g0", "text 55 25 w0 14 bold left \"TOTALI\"",
                              "line 1,32 80,32 t1 g0", "line 1,0.2 1,32 t1 g0"})
        EXPECT_NE(position(moved), ops.end()) << moved;
}

// A text far longer than any valid invoice holds (one of 8 MB, one word)
// goes on over the rows up to 10,000 characters and ends with "…", every
// row of it whole: the page stays a page.
TEST(PageLayout, AHugeTextGoesOnUpToALimit)
{
    FatturaLetta f;
    RigaFattura& riga = f.documenti.emplace_back().righe.emplace_back();
    riga.Descrizione = std::string(8 << 20, 'x');
    const Sheet page = layoutInvoice(f, Regional::italian()).at(0);
    std::string shown;
    for (const DrawOp& op : page.ops) {
        const auto* t = std::get_if<TextOp>(&op);
        if (t != nullptr && t->x == 5 && t->fit == Fit::Wrap) shown += t->text;
    }
    EXPECT_EQ(shown, std::string(10000, 'x') + "…");
}

}  // namespace
}  // namespace crv
