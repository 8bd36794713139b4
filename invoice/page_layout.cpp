#include "invoice/page_layout.h"

#include <algorithm>
#include <iterator>

#include "invoice/invoice_text.h"
#include "invoice/sheet_painter.h"

namespace crv {
namespace {

// No text of a valid invoice is longer than 1,000 characters; one of a
// broken file beyond this many goes on over the rows up to here and ends
// with "…" (--testo gives it whole), so that the page stays a page.
constexpr qsizetype kMaxWrappedChars = 10000;

std::string blanked(std::string text)
{
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    }
    return text;
}

// A text in the columns from x to limit (from limit to x when right-aligned).
TextOp inColumns(std::string text, int x, float y, int size, bool bold, bool alignDX, int limit, Fit fit)
{
    const int from = alignDX ? limit : x;
    return TextOp{blanked(std::move(text)), static_cast<float>(from), y, static_cast<float>((alignDX ? x : limit) - from),
                  static_cast<float>(size), bold, alignDX ? Allinea::Destra : Allinea::Sinistra, fit};
}

// The lines a text takes on the page: none when the page shows it on its
// row (whole, or a number drawn smaller), else the text broken into lines
// that each fit its columns at its own size (at blanks where it can).
// Nothing of the text is left out, but for a text longer than any valid
// invoice holds, which ends at kMaxWrappedChars with "…".
std::vector<std::string> pageLines(const TextOp& t)
{
    if (t.width == 0 || t.fit == Fit::Wrap || t.text.empty()) return {};
    const double room = t.width * kColumnPixels;
    QString text = QString::fromStdString(t.text);
    // Most texts fit as they are: one measure, kept, as fitText would take it.
    if (text.size() <= kMaxDrawnChars && kPageFace.width(t.text, t.size, t.bold) <= room) return {};
    if (t.fit == Fit::Shrink && !fitText(t, kPageFace, kColumnPixels).shown.isEmpty()) return {};
    if (text.size() > kMaxWrappedChars) text = text.left(kMaxWrappedChars) + QChar(0x2026);
    std::vector<std::string> lines;
    for (const QString& line : kPageFace.lines(text, room, t.size, t.bold)) lines.push_back(line.toStdString());
    return lines;
}

}  // namespace

void PageBuilder::clear()
{
    page_.ops.clear();
    page_.breakRows.clear();
    page_.ops.emplace_back(ClearOp{});
}

void PageBuilder::PrintF(std::string cosa, int x, float y, int dimFont, bool bold, bool alignDX)
{
    page_.ops.emplace_back(inColumns(std::move(cosa), x, y, dimFont, bold, alignDX, x, Fit::Cut));
}

int PageBuilder::PrintF(std::string cosa, int x, float y, int dimFont, bool bold, bool alignDX, int limit, Fit fit)
{
    return lay(inColumns(std::move(cosa), x, y, dimFont, bold, alignDX, limit, fit), false);
}

int PageBuilder::PrintFEntro(std::string cosa, int x, float y, int dimFont, bool bold, int bound)
{
    return lay(inColumns(std::move(cosa), x, y, dimFont, bold, false, bound, Fit::Cut), true);
}

// A text laid `free` is drawn without an end when it fits before its bound.
int PageBuilder::lay(TextOp column, bool free)
{
    const std::vector<std::string> lines = pageLines(column);
    if (lines.empty()) {
        if (free) column.width = 0;
        page_.ops.emplace_back(std::move(column));
        return 1;
    }
    // Paper keeps every word: the text goes on over the rows below, each
    // line within the same columns, aligned as the text is.
    for (std::size_t i = 0; i < lines.size(); ++i)
        page_.ops.emplace_back(TextOp{lines[i], column.x, column.y + static_cast<float>(i), column.width, column.size,
                                      column.bold, column.allinea, Fit::Wrap});
    return static_cast<int>(lines.size());
}

void PageBuilder::Linea(int x1, int x2, float y1, float y2, std::uint32_t colore, bool bf)
{
    if (bf)
        page_.ops.emplace_back(BoxOp{static_cast<float>(x1), y1, static_cast<float>(x2 - x1), y2 - y1, colore});
    else
        page_.ops.emplace_back(LineOp{static_cast<float>(x1), y1, static_cast<float>(x2), y2});
}

void PageBuilder::breakBefore(float row)
{
    page_.breakRows.push_back(row);
}

void PageBuilder::append(Sheet part)
{
    std::move(part.ops.begin(), part.ops.end(), std::back_inserter(page_.ops));
    page_.breakRows.insert(page_.breakRows.end(), part.breakRows.begin(), part.breakRows.end());
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
constexpr int kPagamentoFine = 79;     // the payment's texts, up to the frame at 80

// The rows below the heading band that the three blocks of the heading
// take: 3 to 6 when every text fits on its row.
struct HeadingRows {
    float cedente = 3;
    float documento = 3;
    float cliente = 3;
    float end() const { return std::max({cedente, documento, cliente}); }
};

// The parties and the document data, and how far down they reach.
HeadingRows drawHeading(PageBuilder& page, const Parte& c, const Parte& k, const DocumentoFattura& dati,
                        NumeroDocumento numero)
{
    const std::string tipo = dati.TipoDocumento == "TD01" ? "Fattura" : dati.TipoDocumento;
    HeadingRows y;
    page.PrintF("DATI CEDENTE/PRESTATORE", 2, 1, 14, true, false);
    page.PrintF("DATI DOCUMENTO", 30, 1, 14, true, false);
    page.PrintF("DATI CLIENTE", 56, 1, 14, true, false);
    y.cedente += page.PrintF(c.Denominazione, 2, y.cedente, 12, false, false, kCedenteFine, Fit::Cut);
    y.documento += page.PrintF("Tipo: " + tipo, 30, y.documento, 12, false, false, kDocumentoFine, Fit::Cut);
    y.cliente += page.PrintF(k.Denominazione, 78, y.cliente, 12, false, true, kClienteInizio, Fit::Cut);
    y.cedente += page.PrintF("P.Iva: " + c.PartitaIva, 2, y.cedente, 12, false, false, kCedenteFine, Fit::Cut);
    y.documento +=
        page.PrintF("Numero: " + dati.NumeroDocumento, 30, y.documento, 12, false, false, kDocumentoFine, Fit::Cut);
    y.cliente += page.PrintF("P.Iva: " + k.PartitaIva, 78, y.cliente, 12, false, true, kClienteInizio, Fit::Cut);
    y.cedente += page.PrintF(c.SedeIndirizzo, 2, y.cedente, 12, false, false, kCedenteFine, Fit::Cut);
    y.documento +=
        page.PrintF("Data: " + dati.DataDocumento, 30, y.documento, 12, false, false, kDocumentoFine, Fit::Cut);
    y.cliente += page.PrintF(k.SedeIndirizzo, 78, y.cliente, 12, false, true, kClienteInizio, Fit::Cut);
    y.cedente += page.PrintF(c.SedeCap + " " + c.SedeComune, 2, y.cedente, 12, false, false, kCedenteFine, Fit::Cut);
    if (numero.n > 1) {
        y.documento += page.PrintF("Documento " + std::to_string(numero.i) + " di " + std::to_string(numero.n), 30,
                                   y.documento, 12, false, false, kDocumentoFine, Fit::Cut);
    }
    y.cliente += page.PrintF(k.SedeCap + " " + k.SedeComune, 78, y.cliente, 12, false, true, kClienteInizio, Fit::Cut);
    return y;
}

// A total of the document: the amount with " € ", or that the file does not give it.
void drawTotal(PageBuilder& page, const std::optional<Amount>& importo, float y, const Regional& regional)
{
    if (importo)
        page.PrintF(importo->toRegional(regional) + " € ", 75, y, 12, true, true);
    else
        page.PrintF(kNonIndicato, 75, y, 12, false, true);
}

}  // namespace

int drawInvoiceLine(PageBuilder& page, const RigaFattura& riga, long long k, float y, const Regional& regional)
{
    if (k > 1) page.breakBefore(y);
    const int rows[] = {
        page.PrintF(riga.NumeroLinea, 2, y, 12, false, false, kNumeroFine, Fit::Shrink),
        page.PrintF(riga.Descrizione, 5, y, 12, false, false, kDescrizioneFine, Fit::Cut),
        page.PrintF(riga.Quantita, 35, y, 12, false, true, kQuantitaInizio, Fit::Shrink),
        page.PrintF(riga.PrezzoUnitario.toRegional(regional), 45, y, 12, false, true, kPrezzoInizio, Fit::Shrink),
        page.PrintF("0", 57, y, 12, false, true, kScontoInizio, Fit::Shrink),  // the discount column
        page.PrintF(riga.PrezzoTotale.toRegional(regional), 67, y, 12, false, true, kImportoInizio, Fit::Shrink),
        page.PrintF(riga.AliquotaIva, 77, y, 12, false, true, kIvaInizio, Fit::Shrink),
    };
    return *std::max_element(std::begin(rows), std::end(rows));
}

Sheet layoutDocument(const Parte& cedente, const Parte& cliente, const DocumentoFattura& dati,
                           NumeroDocumento numero, const Regional& regional)
{
    // The heading aside first: the rows its texts take move everything below
    // it, the lines included, which are drawn before it.
    PageBuilder heading;
    const float d = std::max(0.0f, drawHeading(heading, cedente, cliente, dati, numero).end() - 7);

    PageBuilder page;
    page.clear();
    float y = 12 + d;
    long long k = 0;
    for (const RigaFattura& riga : dati.righe) y += static_cast<float>(drawInvoiceLine(page, riga, ++k, y, regional));
    const float r = y + 1;

    page.append(heading.take());
    // Lines are always one pixel wide: the painter's pen needs no setting here.
    page.Linea(28, 28, 0.2f, 8 + d, 0, false);
    page.Linea(54, 54, 0.2f, 8 + d, 0, false);
    page.Linea(1, 80, 8 + d, 8 + d, 0, false);
    page.PrintF("PRODOTTI E SERVIZI", 30, 9 + d, 14, true, false);
    page.Linea(1, 80, 11 + d, 12 + d, kYellow, true);
    page.PrintF("Nr", 2, 11 + d, 12, true, false);
    page.PrintF("Descrizione", 5, 11 + d, 12, true, false);
    page.PrintF("Quantità", 30, 11 + d, 12, true, false);
    page.PrintF("Prezzo Un.", 40, 11 + d, 12, true, false);
    page.PrintF("Sconto/Magg.", 50, 11 + d, 12, true, false);
    page.PrintF("Importo", 63, 11 + d, 12, true, false);
    page.PrintF("Cod.Iva", 73, 11 + d, 12, true, false);

    // The payment block: rows r to t, six unless a text of it goes on below.
    PageBuilder payment;
    payment.PrintF("METODO DI PAGAMENTO", 50, r + 1, 14, true, false);
    float p = r + 3;
    p += payment.PrintFEntro("Metodo: " + dati.ModalitaPagamento, 40, p, 12, false, kPagamentoFine);
    p += payment.PrintFEntro("Pagamento: " + importoMostrato(dati.ImportoPagamento, regional), 40, p, 12, false,
                             kPagamentoFine);
    const float t = std::max(r + 6, p + 1);
    page.breakBefore(r);
    page.breakBefore(t);
    page.Linea(1, 80, r, r, 0, false);
    page.Linea(38, 38, r, t, 0, false);
    page.append(payment.take());
    page.Linea(1, 80, t, t, 0, false);
    page.Linea(38, 38, t, t + 8, 0, false);
    page.PrintF("TOTALI", 55, t + 1, 14, true, false);
    page.PrintF("Importo prodotti o servizi", 40, t + 3, 12, false, false);
    page.PrintF("Totale Imponibile", 40, t + 4, 12, false, false);
    drawTotal(page, dati.TotaleImponibile, t + 4, regional);
    page.PrintF("Totale Imposta", 40, t + 5, 12, false, false);
    drawTotal(page, dati.TotaleImposta, t + 5, regional);
    page.PrintF("Totale Documento", 40, t + 6, 12, false, false);
    drawTotal(page, dati.TotaleDocumento, t + 6, regional);
    page.Linea(1, 80, t + 8, t + 8, 0, false);
    page.Linea(80, 80, 0.2f, t + 8, 0, false);
    page.Linea(1, 80, 0.2f, 0.2f, 0, false);
    page.Linea(1, 1, 0.2f, t + 8, 0, false);
    return page.take();
}

std::vector<Sheet> layoutInvoice(const FatturaLetta& fattura, const Regional& regional)
{
    const std::size_t n = fattura.numeroDocumenti();
    std::vector<Sheet> pages;
    pages.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        pages.push_back(layoutDocument(fattura.Cedente, fattura.Cliente, fattura.documento(i), {i + 1, n}, regional));
    return pages;
}

}  // namespace crv
