#pragma once
// Electronic invoices made up for the window's tests and pictures.
#include <string>

namespace crv::test {

// A FatturaPA invoice of n lines of 10.00 at 22% VAT, with its seller,
// document data, VAT summary, total and payment: a page taller than the
// window once n is a few tens.
std::string invoiceOfLines(int n);

}  // namespace crv::test
