#pragma once
// The values read from an invoice as readable text, one value a line, for
// the command line's --testo.
#include <string>

#include "invoice/invoice_values.h"
#include "numbers/regional.h"

namespace crv {

// Parties, document data, every line, payment, totals and attachments;
// amounts in the regional form, as the page shows them.
std::string invoiceText(const FatturaLetta& fattura, const Regional& regional);

}  // namespace crv
