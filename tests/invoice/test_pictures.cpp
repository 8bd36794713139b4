// Every invoice sample's pictures, pixel for pixel as recorded: the page of
// each document and the complete view's sheets, as PNG images and as PDF
// files drawn back into pixels. tests/data/fatturapa/immagini.expected holds
// a digest of each picture's pixels; CRVXML_IMMAGINI=DIR writes every picture
// into DIR for a look (run at the commit before a change too, for the
// pictures it had), CRVXML_UPDATE_GOLDEN=1 records them again after a change
// that is meant to change them.
#include <gtest/gtest.h>

#include <QImage>

#include "invoice/full_layout.h"
#include "invoice/invoice_reader.h"
#include "invoice/invoice_support.h"
#include "invoice/page_layout.h"
#include "invoice/sheet_export.h"
#include "support/golden_support.h"
#include "support/invoice_samples.h"

namespace crv {
namespace {

// Each sheet of the PDF as a picture of its own, and how many there are.
std::string pdfLines(const std::string& name, const std::filesystem::path& pdf)
{
    const std::vector<QImage> sheets = test::pdfPictures(pdf);
    std::string out = name + " " + std::to_string(sheets.size()) + " fogli\n";
    for (std::size_t k = 0; k < sheets.size(); ++k)
        out += test::pictureLine(name + "_foglio_" + std::to_string(k + 1), sheets[k]) + "\n";
    return out;
}

TEST(InvoicePictures, EverySampleAsRecorded)
{
    test::ensureGuiApplication();
    const test::TempDir tmp;
    const Regional regional = Regional::italian();
    std::string listing;
    for (const std::filesystem::path& file : test::invoiceSamples()) {
        const std::string name = file.filename().string();
        const InvoiceReading reading = readInvoiceFile(file);
        if (!reading.ok()) {
            listing += name + " non mostrata\n";
            continue;
        }
        const std::vector<Sheet> pages = layoutInvoice(reading.fattura, regional);
        std::vector<PdfDocument> pdf;
        for (std::size_t i = 0; i < pages.size(); ++i) {
            listing += test::pictureLine(name + "_pagina_" + std::to_string(i + 1),
                                         renderSheets({&pages[i], 1}, pageStyle(18), 1)) + "\n";
            pdf.push_back(PdfDocument{{&pages[i], 1}, name});
        }
        ASSERT_EQ(writePdf(pdf, pageStyle(18), tmp / "pagine.pdf"), std::nullopt) << name;
        listing += pdfLines(name + "_pagine_pdf", tmp / "pagine.pdf");

        const FullViewReading full = readFullView(file);
        ASSERT_TRUE(full.ok()) << name << ": " << full.message;
        const std::vector<Sheet> sheets = layoutFullView(full.view, regional);
        listing += test::pictureLine(name + "_completa", renderSheets(sheets, kSheetStyle, kSheetPngScale)) + "\n";
        const PdfDocument one[] = {{sheets, name}};
        ASSERT_EQ(writePdf(one, kSheetStyle, tmp / "completa.pdf"), std::nullopt) << name;
        listing += pdfLines(name + "_completa_pdf", tmp / "completa.pdf");
    }
    test::expectMatchesGolden(listing, "fatturapa/immagini.expected");
}

}  // namespace
}  // namespace crv
