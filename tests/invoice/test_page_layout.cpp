// The page's drawing list, compared with lists written from the page table:
// positions, sizes, weights, alignments, texts, the yellow band and the frame.
#include <gtest/gtest.h>

#include <vector>

#include "invoice/invoice_reader.h"
#include "invoice/invoice_support.h"
#include "invoice/page_layout.h"
#include "support/test_support.h"

namespace crv {
namespace {

std::vector<std::string> described(const InvoicePage& page)
{
    std::vector<std::string> out;
    for (const DrawOp& op : page.ops) out.push_back(describe(op));
    return out;
}

const std::string kLongDescription =
    "LA DESCRIZIONE DELLA FORNITURA PUO' SUPERARE I CENTO CARATTERI CHE RAPPRESENTAVANO IL PRECEDENTE LIMITE "
    "DIMENSIONALE. TALE LIMITE NELLA NUOVA VERSIONE E' STATO PORTATO A MILLE CARATTERI";

TEST(PageLayout, TwoLineSampleAsThePageTableSaysIt)
{
    const InvoiceReading r =
        readInvoiceFile(test::dataFile("fatturapa/official_IT01234567890_FPR02_b2b_two_lines.xml"));
    ASSERT_TRUE(r.ok());
    const std::vector<InvoicePage> pages = layoutInvoice(r.fattura, Regional::italian());
    ASSERT_EQ(pages.size(), 1u);
    const InvoicePage& page = pages[0];
    // The first description goes on over six rows of its column, the line's
    // row grows with it and moves everything below by five rows: r = 20.
    const std::vector<std::string> expected = {
        "clear",
        "text 2 12 12 regular left \"1\" to 5 shrink",
        "text 5 12 12 regular left \"LA DESCRIZIONE DELLA FORNITURA PUO'\" to 29 wrap",
        "text 5 13 12 regular left \"SUPERARE I CENTO CARATTERI CHE\" to 29 wrap",
        "text 5 14 12 regular left \"RAPPRESENTAVANO IL PRECEDENTE\" to 29 wrap",
        "text 5 15 12 regular left \"LIMITE DIMENSIONALE. TALE LIMITE\" to 29 wrap",
        "text 5 16 12 regular left \"NELLA NUOVA VERSIONE E' STATO\" to 29 wrap",
        "text 5 17 12 regular left \"PORTATO A MILLE CARATTERI\" to 29 wrap",
        "text 35 12 12 regular right \"5.00\" from 30 shrink",
        "text 45 12 12 regular right \"1\" from 36 shrink",
        "text 57 12 12 regular right \"0\" from 46 shrink",
        "text 67 12 12 regular right \"5\" from 58 shrink",
        "text 77 12 12 regular right \"22.00\" from 68 shrink",
        "text 2 18 12 regular left \"2\" to 5 shrink",
        "text 5 18 12 regular left \"FORNITURE VARIE PER UFFICIO\" to 29 cut",
        "text 35 18 12 regular right \"10.00\" from 30 shrink",
        "text 45 18 12 regular right \"2\" from 36 shrink",
        "text 57 18 12 regular right \"0\" from 46 shrink",
        "text 67 18 12 regular right \"20\" from 58 shrink",
        "text 77 18 12 regular right \"22.00\" from 68 shrink",
        "text 2 1 14 bold left \"DATI CEDENTE/PRESTATORE\"",
        "text 30 1 14 bold left \"DATI DOCUMENTO\"",
        "text 56 1 14 bold left \"DATI CLIENTE\"",
        "text 2 3 12 regular left \"SOCIETA' ALPHA SRL\" to 27 cut",
        "text 30 3 12 regular left \"Tipo: Fattura\" to 53 cut",
        "text 78 3 12 regular right \"BETA GAMMA\" from 55 cut",
        "text 2 4 12 regular left \"P.Iva: IT01234567890\" to 27 cut",
        "text 30 4 12 regular left \"Numero: 123\" to 53 cut",
        "text 78 4 12 regular right \"P.Iva: \" from 55 cut",
        "text 2 5 12 regular left \"VIALE ROMA 543\" to 27 cut",
        "text 30 5 12 regular left \"Data: 2014-12-18\" to 53 cut",
        "text 78 5 12 regular right \"VIA TORINO 38-B\" from 55 cut",
        "text 2 6 12 regular left \"07100 SASSARI\" to 27 cut",
        "text 78 6 12 regular right \"00145 ROMA\" from 55 cut",
        "line 28-28 0.2-8",
        "line 54-54 0.2-8",
        "line 1-80 8-8",
        "text 30 9 14 bold left \"PRODOTTI E SERVIZI\"",
        "box 1-80 11-12 #FFFF00",
        "text 2 11 12 bold left \"Nr\"",
        "text 5 11 12 bold left \"Descrizione\"",
        "text 30 11 12 bold left \"Quantità\"",
        "text 40 11 12 bold left \"Prezzo Un.\"",
        "text 50 11 12 bold left \"Sconto/Magg.\"",
        "text 63 11 12 bold left \"Importo\"",
        "text 73 11 12 bold left \"Cod.Iva\"",
        "line 1-80 20-20",
        "line 38-38 20-26",
        "text 50 21 14 bold left \"METODO DI PAGAMENTO\"",
        "text 40 23 12 regular left \"Metodo: MP01\"",
        "text 40 24 12 regular left \"Pagamento: 30,5\"",
        "line 1-80 26-26",
        "line 38-38 26-34",
        "text 55 27 14 bold left \"TOTALI\"",
        "text 40 29 12 regular left \"Importo prodotti o servizi\"",
        "text 40 30 12 regular left \"Totale Imponibile\"",
        "text 75 30 12 bold right \"25 € \"",
        "text 40 31 12 regular left \"Totale Imposta\"",
        "text 75 31 12 bold right \"5,5 € \"",
        "text 40 32 12 regular left \"Totale Documento\"",
        // The file gives no ImportoTotaleDocumento: not 0 €.
        "text 75 32 12 regular right \"non indicato\"",
        "line 1-80 34-34",
        "line 80-80 0.2-34",
        "line 1-80 0.2-0.2",
        "line 1-1 0.2-34",
    };
    EXPECT_EQ(described(page), expected);
    // Cut only between two lines and between the blocks below them.
    EXPECT_EQ(page.breakRows, (std::vector<float>{18, 20, 26}));
}

TEST(PageLayout, WithoutLinesTheBandAloneAndThePaymentFromRow13)
{
    FatturaLetta empty;
    empty.documenti.emplace_back().TipoDocumento = "TD04";
    const InvoicePage page = layoutInvoice(empty, Regional::italian()).at(0);
    const std::vector<std::string> ops = described(page);
    ASSERT_EQ(ops.size(), 46u);  // clear + 45 steps (the pen width is no operation)
    EXPECT_EQ(ops[5], "text 30 3 12 regular left \"Tipo: TD04\" to 53 cut");
    EXPECT_EQ(ops[27], "line 1-80 13-13");  // step 28 (steps from 16 on sit one place lower)
    EXPECT_EQ(ops[29], "text 50 14 14 bold left \"METODO DI PAGAMENTO\"");
    EXPECT_EQ(ops[45], "line 1-1 0.2-27");
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
    const InvoicePage it = layoutInvoice(f, Regional::italian()).at(0);
    const InvoicePage en = layoutInvoice(f, Regional::english()).at(0);
    const auto find = [](const InvoicePage& page, const std::string& prefix) {
        for (const DrawOp& op : page.ops) {
            const std::string d = describe(op);
            if (d.starts_with(prefix)) return d;
        }
        return std::string();
    };
    EXPECT_EQ(find(it, "text 75 65 "), "text 75 65 12 bold right \"1234,5 € \"");  // r = 53, r + 12
    EXPECT_EQ(find(en, "text 75 65 "), "text 75 65 12 bold right \"1234.5 € \"");
    EXPECT_EQ(find(it, "text 40 57 "), "text 40 57 12 regular left \"Pagamento: -0,0001\"");
    EXPECT_EQ(find(it, "text 45 51 "), "text 45 51 12 regular right \"12,3457\" from 36 shrink");  // line 40 on row 51
    EXPECT_EQ(find(it, "box "), "box 1-80 11-12 #FFFF00");
}

}  // namespace
}  // namespace crv
