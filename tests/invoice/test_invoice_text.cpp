// The values of an invoice as --testo prints them: one value a line, amounts
// in the regional form, and nothing from the file that a terminal would take
// for a line end or an escape sequence.
#include <gtest/gtest.h>

#include "invoice/invoice_reader.h"
#include "invoice/invoice_support.h"
#include "invoice/invoice_text.h"

namespace crv {
namespace {

TEST(InvoiceText, EveryValueOnItsOwnLine)
{
    // A description on two lines (the parser makes CR LF one line end), two
    // terminal colour sequences (introduced by the C1 control U+009B: ESC
    // itself, raw or as &#27;, would make the file not well formed), a tab,
    // and a C1 control again.
    const std::string goods =
        test::line("1", "prima\r\nseconda \xc2\x9b[31mROSSO\xc2\x9b[0m", "2.00", "1.5", "3", "22.00") +
        "<DatiRiepilogo><ImponibileImporto>3</ImponibileImporto><Imposta>0.66</Imposta></DatiRiepilogo>";
    const std::string more =
        "<DatiPagamento><DettaglioPagamento><ModalitaPagamento>MP\t05</ModalitaPagamento>"
        "<ImportoPagamento>3.66</ImportoPagamento></DettaglioPagamento></DatiPagamento>"
        "<Allegati><NomeAttachment>a\xc2\x9b" "2Jb.pdf</NomeAttachment><FormatoAttachment>PDF</FormatoAttachment>"
        "<Attachment>eA==</Attachment></Allegati>";
    const InvoiceReading r =
        readInvoiceBytes(test::invoiceXml(test::standardHeader() + test::body("TD01", "7", goods, more)), "t.xml");
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(invoiceText(r.fattura, Regional::italian()),
              "Cedente/prestatore\n"
              "  Denominazione: ALFA SRL\n"
              "  P.Iva: IT01234567890\n"
              "  Indirizzo: VIA ROMA 1\n"
              "  CAP e comune: 07100 SASSARI\n"
              "Cessionario/committente\n"
              "  Denominazione: BETA SPA\n"
              "  P.Iva: IT09876543210\n"
              "  Indirizzo: VIA TORINO 2\n"
              "  CAP e comune: 00145 ROMA\n"
              "Documento\n"
              "  Tipo: TD01 (Fattura)\n"
              "  Numero: 7\n"
              "  Data: 2024-03-01\n"
              "  Totale documento: non indicato\n"
              "Righe: 1\n"
              "  1 | prima seconda  [31mROSSO [0m | quantità 2.00 | prezzo unitario 1,5 | importo 3 | IVA 22.00\n"
              "Pagamento\n"
              "  Metodo: MP 05\n"
              "  Importo: 3,66\n"
              "Totali\n"
              "  Totale imponibile: 3\n"
              "  Totale imposta: 0,66\n"
              "  Totale documento: non indicato\n"
              "Allegati\n"
              "  a 2Jb.pdf (PDF)\n");
}

TEST(InvoiceText, EachDocumentOfABatchUnderItsOwnHeading)
{
    const std::string more = "<DatiPagamento><DettaglioPagamento><ModalitaPagamento>MP05</ModalitaPagamento>"
                             "<ImportoPagamento>0</ImportoPagamento></DettaglioPagamento></DatiPagamento>";
    const InvoiceReading r = readInvoiceBytes(
        test::invoiceXml(test::standardHeader() + test::body("TD01", "7", test::line("1", "A", "1", "2", "2", "22"), more) +
                         test::body("TD04", "8", "")),
        "t.xml");
    ASSERT_TRUE(r.ok()) << r.message;
    const std::string text = invoiceText(r.fattura, Regional::italian());
    const std::string documents = text.substr(text.find("Documento"));
    EXPECT_EQ(documents,
              "Documento 1 di 2\n"
              "  Tipo: TD01 (Fattura)\n"
              "  Numero: 7\n"
              "  Data: 2024-03-01\n"
              "  Totale documento: non indicato\n"
              "Righe: 1\n"
              "  1 | A | quantità 1 | prezzo unitario 2 | importo 2 | IVA 22\n"
              "Pagamento\n"
              "  Metodo: MP05\n"
              "  Importo: 0\n"  // given as 0: shown as 0
              "Totali\n"
              "  Totale imponibile: non indicato\n"
              "  Totale imposta: non indicato\n"
              "  Totale documento: non indicato\n"
              "Documento 2 di 2\n"
              "  Tipo: TD04\n"
              "  Numero: 8\n"
              "  Data: 2024-03-01\n"
              "  Totale documento: non indicato\n"
              "Righe: 0\n"
              "Pagamento\n"
              "  Metodo: \n"
              "  Importo: non indicato\n"
              "Totali\n"
              "  Totale imponibile: non indicato\n"
              "  Totale imposta: non indicato\n"
              "  Totale documento: non indicato\n");
}

TEST(InvoiceText, OneLineKeepsLettersBeyondAscii)
{
    EXPECT_EQ(oneLine("Unità € \xc2\xa0 \xc2\x85 ok"), "Unità € \xc2\xa0   ok");
}

}  // namespace
}  // namespace crv
