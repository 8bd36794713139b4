#pragma once
// Generated electronic invoices of any number of lines, shaped like the
// deliveries the agency receives: two parties, varied descriptions and
// prices, one summary block per VAT rate, a payment.
#include <string>

namespace crv::bench {

// The XML of an invoice with `lines` lines (same seed, same text).
std::string generateInvoice(int lines, unsigned seed = 1);

}  // namespace crv::bench
