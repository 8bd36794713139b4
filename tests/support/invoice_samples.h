#pragma once
// Electronic invoices for the tests and pictures: made up, and the samples
// of tests/data/fatturapa with the recorded digests of their pictures.
#include <filesystem>
#include <string>
#include <vector>

class QImage;

namespace crv::test {

// A FatturaPA invoice of n lines of 10.00 at 22% VAT, with its seller,
// document data, VAT summary, total and payment: a page taller than the
// window once n is a few tens.
std::string invoiceOfLines(int n);

// Every invoice of tests/data/fatturapa (.xml and .p7m, the ones that cannot
// be shown too), by name.
std::vector<std::filesystem::path> invoiceSamples();

// One line of a listing of pictures: `name WxH digest`, the digest being the
// start of the SHA-256 of the pixels (RGB, row by row), so that one pixel
// changed changes the line. With CRVXML_IMMAGINI=DIR in the environment the
// picture is also written as DIR/name.png, for a look.
std::string pictureLine(const std::string& name, const QImage& image);

// The sheets of a PDF file drawn by pdftoppm (poppler) at 100 dots per inch,
// as a reader shows them; none when pdftoppm cannot draw it.
std::vector<QImage> pdfPictures(const std::filesystem::path& pdf);

}  // namespace crv::test
