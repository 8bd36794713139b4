#pragma once
// The values read from an invoice as readable text, one value a line, for
// the command line's --testo.
#include <optional>
#include <string>
#include <string_view>

#include "invoice/invoice_values.h"
#include "numbers/regional.h"

namespace crv {

// What is shown for an amount the file does not give (never 0).
inline constexpr const char* kNonIndicato = "non indicato";

// The amount in the regional form, or kNonIndicato.
std::string importoMostrato(const std::optional<Amount>& importo, const Regional& regional);

// Parties, then each document's data, lines, payment and totals (headed
// "Documento i di n" when the file holds several), then the attachments;
// amounts in the regional form, as the page shows them. Each value stays on
// its line (see oneLine).
std::string invoiceText(const FatturaLetta& fattura, const Regional& regional);

// A value of the file as one line of plain text: line ends, tabs and the
// other control characters (a terminal's escape sequences among them)
// become blanks, as they do on the page.
std::string oneLine(std::string_view value);

}  // namespace crv
