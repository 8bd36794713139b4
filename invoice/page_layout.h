#pragma once
// The layout of the invoice page: the two drawing primitives `PrintF` and
// `Linea`, one invoice line, and the rest of the page around the lines.
#include <cstdint>
#include <string>

#include "invoice/invoice_values.h"
#include "invoice/page_ops.h"
#include "numbers/regional.h"

namespace crv {

// Collects drawing operations in grid units.
class PageBuilder {
public:
    // Erases the page.
    void clear();
    // Text at column x, row y, of dimFont points; with alignDX it ends at column x.
    void PrintF(std::string cosa, int x, float y, int dimFont, bool bold, bool alignDX);
    // The same kept between column x and column limit (see TextOp).
    void PrintF(std::string cosa, int x, float y, int dimFont, bool bold, bool alignDX, int limit, Fit fit);
    // bf: box from (x1, y1) to (x2, y2) filled with colore; else a line (colore unused).
    void Linea(int x1, int x2, float y1, float y2, std::uint32_t colore, bool bf);
    // Marks a row where a printed page may end.
    void breakBefore(float row);

    const InvoicePage& page() const { return page_; }
    InvoicePage take() { return std::move(page_); }

private:
    InvoicePage page_;
};

// Yellow as the page's filled box takes it: red in the low byte.
inline constexpr std::uint32_t kYellow = 0x00FFFF;

// Invoice line k (1 for the first) on row k + 11.
void drawInvoiceLine(PageBuilder& page, const RigaFattura& riga, long long k, const Regional& regional);

// Headings, parties, document data, frame, payment and totals around n lines.
void drawInvoicePage(PageBuilder& page, const DatiFattura& dati, long long n, const Regional& regional);

// The whole page of an invoice: cleared, every line, then the rest.
InvoicePage layoutInvoice(const FatturaLetta& fattura, const Regional& regional);

}  // namespace crv
