#include "invoice/page_layout.h"

namespace crv {

void PageBuilder::clear()
{
    page_.ops.clear();
    page_.breakRows.clear();
    page_.ops.emplace_back(ClearOp{});
}

void PageBuilder::PrintF(std::string cosa, int x, float y, int dimFont, bool bold, bool alignDX)
{
    page_.ops.emplace_back(TextOp{std::move(cosa), x, y, dimFont, bold, alignDX});
}

void PageBuilder::PrintF(std::string cosa, int x, float y, int dimFont, bool bold, bool alignDX, int limit, Fit fit)
{
    page_.ops.emplace_back(TextOp{std::move(cosa), x, y, dimFont, bold, alignDX, limit, fit});
}

void PageBuilder::Linea(int x1, int x2, float y1, float y2, std::uint32_t colore, bool bf)
{
    if (bf)
        page_.ops.emplace_back(BoxOp{x1, x2, y1, y2, colore});
    else
        page_.ops.emplace_back(LineOp{x1, x2, y1, y2});
}

void PageBuilder::breakBefore(float row)
{
    page_.breakRows.push_back(row);
}

namespace {

// Where the texts of the page end, so that none runs into its neighbour:
// a column of air before the next column's heading or value, and before
// the frame's lines at columns 28 and 54. A right-aligned number ends at
// its column and may start no further left than its limit.
constexpr int kNumeroFine = 5;         // "Nr" up to "Descrizione"
constexpr int kDescrizioneFine = 29;   // up to the "Quantità" column
constexpr int kQuantitaInizio = 30;    // where its heading starts
constexpr int kPrezzoInizio = 36;      // right of the quantity (35)
constexpr int kScontoInizio = 46;      // right of the unit price (45)
constexpr int kImportoInizio = 58;     // right of the discount (57)
constexpr int kIvaInizio = 68;         // right of the amount (67)
constexpr int kCedenteFine = 27;       // the seller's block, up to the line at 28
constexpr int kDocumentoFine = 53;     // the document's block, up to the line at 54
constexpr int kClienteInizio = 55;     // the buyer's block, from the line at 54

}  // namespace

void drawInvoiceLine(PageBuilder& page, const RigaFattura& riga, long long k, const Regional& regional)
{
    const auto y = static_cast<float>(k + 11);
    if (k > 1) page.breakBefore(y);
    page.PrintF(riga.NumeroLinea, 2, y, 12, false, false, kNumeroFine, Fit::Shrink);
    page.PrintF(riga.Descrizione, 5, y, 12, false, false, kDescrizioneFine, Fit::Cut);
    page.PrintF(riga.Quantita, 35, y, 12, false, true, kQuantitaInizio, Fit::Shrink);
    page.PrintF(riga.PrezzoUnitario.toRegional(regional), 45, y, 12, false, true, kPrezzoInizio, Fit::Shrink);
    page.PrintF("0", 57, y, 12, false, true, kScontoInizio, Fit::Shrink);  // the discount column
    page.PrintF(riga.PrezzoTotale.toRegional(regional), 67, y, 12, false, true, kImportoInizio, Fit::Shrink);
    page.PrintF(riga.AliquotaIva, 77, y, 12, false, true, kIvaInizio, Fit::Shrink);
}

void drawInvoicePage(PageBuilder& page, const DatiFattura& dati, long long n, const Regional& regional)
{
    const auto r = static_cast<float>(13 + n);
    const Parte& c = dati.Cedente;
    const Parte& k = dati.Cliente;
    const std::string tipo = dati.TipoDocumento == "TD01" ? "Fattura" : dati.TipoDocumento;

    page.PrintF("DATI CEDENTE/PRESTATORE", 2, 1, 14, true, false);
    page.PrintF("DATI DOCUMENTO", 30, 1, 14, true, false);
    page.PrintF("DATI CLIENTE", 56, 1, 14, true, false);
    page.PrintF(c.Denominazione, 2, 3, 12, false, false, kCedenteFine, Fit::Cut);
    page.PrintF("Tipo: " + tipo, 30, 3, 12, false, false, kDocumentoFine, Fit::Cut);
    page.PrintF(k.Denominazione, 78, 3, 12, false, true, kClienteInizio, Fit::Cut);
    page.PrintF("P.Iva: " + c.PartitaIva, 2, 4, 12, false, false, kCedenteFine, Fit::Cut);
    page.PrintF("Numero: " + dati.NumeroDocumento, 30, 4, 12, false, false, kDocumentoFine, Fit::Cut);
    page.PrintF("P.Iva: " + k.PartitaIva, 78, 4, 12, false, true, kClienteInizio, Fit::Cut);
    page.PrintF(c.SedeIndirizzo, 2, 5, 12, false, false, kCedenteFine, Fit::Cut);
    page.PrintF("Data: " + dati.DataDocumento, 30, 5, 12, false, false, kDocumentoFine, Fit::Cut);
    page.PrintF(k.SedeIndirizzo, 78, 5, 12, false, true, kClienteInizio, Fit::Cut);
    page.PrintF(c.SedeCap + " " + c.SedeComune, 2, 6, 12, false, false, kCedenteFine, Fit::Cut);
    page.PrintF(k.SedeCap + " " + k.SedeComune, 78, 6, 12, false, true, kClienteInizio, Fit::Cut);
    // Lines are always one pixel wide: the painter's pen needs no setting here.
    page.Linea(28, 28, 0.2f, 8, 0, false);
    page.Linea(54, 54, 0.2f, 8, 0, false);
    page.Linea(1, 80, 8, 8, 0, false);
    page.PrintF("PRODOTTI E SERVIZI", 30, 9, 14, true, false);
    page.Linea(1, 80, 11, 12, kYellow, true);
    page.PrintF("Nr", 2, 11, 12, true, false);
    page.PrintF("Descrizione", 5, 11, 12, true, false);
    page.PrintF("Quantità", 30, 11, 12, true, false);
    page.PrintF("Prezzo Un.", 40, 11, 12, true, false);
    page.PrintF("Sconto/Magg.", 50, 11, 12, true, false);
    page.PrintF("Importo", 63, 11, 12, true, false);
    page.PrintF("Cod.Iva", 73, 11, 12, true, false);
    page.breakBefore(r);
    page.breakBefore(r + 6);
    page.Linea(1, 80, r, r, 0, false);
    page.Linea(38, 38, r, r + 6, 0, false);
    page.PrintF("METODO DI PAGAMENTO", 50, r + 1, 14, true, false);
    page.PrintF("Metodo: " + dati.ModalitaPagamento, 40, r + 3, 12, false, false);
    page.PrintF("Pagamento: " + dati.ImportoPagamento.toRegional(regional), 40, r + 4, 12, false, false);
    page.Linea(1, 80, r + 6, r + 6, 0, false);
    page.Linea(38, 38, r + 6, r + 14, 0, false);
    page.PrintF("TOTALI", 55, r + 7, 14, true, false);
    page.PrintF("Importo prodotti o servizi", 40, r + 9, 12, false, false);
    page.PrintF("Totale Imponibile", 40, r + 10, 12, false, false);
    page.PrintF(dati.TotaleImponibile.toRegional(regional) + " € ", 75, r + 10, 12, true, true);
    page.PrintF("Totale Imposta", 40, r + 11, 12, false, false);
    page.PrintF(dati.TotaleImposta.toRegional(regional) + " € ", 75, r + 11, 12, true, true);
    page.PrintF("Totale Documento", 40, r + 12, 12, false, false);
    page.PrintF(dati.TotaleDocumento.toRegional(regional) + " € ", 75, r + 12, 12, true, true);
    page.Linea(1, 80, r + 14, r + 14, 0, false);
    page.Linea(80, 80, 0.2f, r + 14, 0, false);
    page.Linea(1, 80, 0.2f, 0.2f, 0, false);
    page.Linea(1, 1, 0.2f, r + 14, 0, false);
}

InvoicePage layoutInvoice(const FatturaLetta& fattura, const Regional& regional)
{
    PageBuilder page;
    page.clear();
    long long k = 0;
    for (const RigaFattura& riga : fattura.righe) drawInvoiceLine(page, riga, ++k, regional);
    drawInvoicePage(page, fattura.dati, fattura.dati.ContaRighe, regional);
    return page.take();
}

}  // namespace crv
