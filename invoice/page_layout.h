#pragma once
// The layout of the invoice page: the two drawing primitives `PrintF` and
// `Linea`, one invoice line, and the rest of the page around the lines. A
// file of several documents (bodies) gets one page each.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "invoice/draw_ops.h"
#include "invoice/invoice_values.h"
#include "numbers/regional.h"

namespace crv {

// Collects drawing operations in grid units. Control characters of a text
// (line ends inside a description) are drawn as blanks.
class PageBuilder {
public:
    // Erases the page.
    void clear();
    // Text at column x, row y, of dimFont points; with alignDX it ends at column x.
    void PrintF(std::string cosa, int x, float y, int dimFont, bool bold, bool alignDX);
    // The same kept between column x and column limit, on its left for a
    // right-aligned text (see TextOp). A text the page cannot show whole on
    // its row (a number not even when drawn smaller) goes on over the rows
    // below, within the same columns. Returns the rows it takes.
    int PrintF(std::string cosa, int x, float y, int dimFont, bool bold, bool alignDX, int limit, Fit fit);
    // A text drawn without a limit as long as it stays left of column
    // bound; a longer one goes on over the rows below as the one above.
    int PrintFEntro(std::string cosa, int x, float y, int dimFont, bool bold, int bound);
    // bf: box from (x1, y1) to (x2, y2) filled with colore (0xRRGGBB); else a
    // line one pixel wide (colore unused).
    void Linea(int x1, int x2, float y1, float y2, std::uint32_t colore, bool bf);
    // Marks a row where a printed page may end.
    void breakBefore(float row);
    // Adds the operations and break rows of a part laid out aside.
    void append(Sheet part);

    const Sheet& page() const { return page_; }
    Sheet take() { return std::move(page_); }

private:
    int lay(TextOp column, bool free);

    Sheet page_;
};

inline constexpr std::uint32_t kYellow = 0xFFFF00;

// Invoice line k (1 for the first) from row y; returns the rows it takes
// (more than one when a text of it goes on over the rows below).
int drawInvoiceLine(PageBuilder& page, const RigaFattura& riga, long long k, float y, const Regional& regional);

// Which document of how many a page shows; "Documento i di n" is drawn when n > 1.
struct NumeroDocumento {
    std::size_t i = 1;
    std::size_t n = 1;
};

// The page of one document: cleared, its lines, then headings, parties,
// document data, frame, payment and totals around them. An amount the
// document does not give reads "non indicato".
Sheet layoutDocument(const Parte& cedente, const Parte& cliente, const DocumentoFattura& documento,
                           NumeroDocumento numero, const Regional& regional);

// The pages of a file: one per document, in the file's order (one for a
// file without bodies).
std::vector<Sheet> layoutInvoice(const FatturaLetta& fattura, const Regional& regional);

}  // namespace crv
