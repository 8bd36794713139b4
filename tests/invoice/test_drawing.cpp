// The painter and the files of both pictures, the page and the complete
// view's sheets, on real images and PDF files: pixel checks of one page at
// two line spacings, every sample drawn to PNG and PDF, long invoices cut
// between rows, pictures too tall for an image, texts kept to their columns.
#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <tuple>
#include <sys/wait.h>

#include "invoice/full_layout.h"
#include "invoice/invoice_reader.h"
#include "invoice/invoice_support.h"
#include "invoice/invoice_text.h"
#include "invoice/page_layout.h"
#include "invoice/sheet_export.h"
#include "support/test_support.h"

namespace crv {
namespace {

using test::dataFile;

const char* const kSamples[] = {
    "official_IT01234567890_FPA01_pa_single_line.xml",   "official_IT01234567890_FPR02_b2b_two_lines.xml",
    "official_IT01234567890_FPR03_lotto_two_bodies.xml", "oca_FPR03_signed_cades_der.xml.p7m",
    "oca_FPR06_credit_note_TD04.xml",                    "php_fattura_esempio_buyer_person_nome_cognome.xml",
    "oca_ripilogoiva_two_vat_rates_22_and_N1.xml",       "simevo_FPR04_attachment_jpg.xml",
    "oca_FPR16_default_namespace_negative_total.xml",    "lotto_due_documenti_testi_lunghi.xml",
    "completa_tutti_i_blocchi.xml",
};

// The pages of a sample, one per document.
std::vector<Sheet> samplePages(const std::string& name)
{
    const InvoiceReading r = readInvoiceFile(dataFile("fatturapa/" + name));
    EXPECT_TRUE(r.ok()) << name << ": " << r.message;
    return layoutInvoice(r.fattura, Regional::italian());
}

Sheet samplePage(const std::string& name)
{
    return samplePages(name).at(0);
}

// The complete view's sheets of a sample.
std::vector<Sheet> sampleSheets(const std::string& name)
{
    const FullViewReading r = readFullView(dataFile("fatturapa/" + name));
    EXPECT_TRUE(r.ok()) << name << ": " << r.message;
    return layoutFullView(r.view, Regional::italian());
}

// A one-document invoice of these lines.
Sheet pageOfLines(std::vector<RigaFattura> righe)
{
    FatturaLetta f;
    f.documenti.emplace_back().righe = std::move(righe);
    return layoutInvoice(f, Regional::italian()).at(0);
}

// The page drawn on an image as the window and the PNG draw it.
QImage pagePicture(const Sheet& page, double interlinea)
{
    return renderSheets({&page, 1}, pageStyle(interlinea), 1);
}

std::size_t pdfSheets(const std::string& bytes)
{
    std::size_t n = 0;
    for (std::size_t at = bytes.find("/Type /Page\n"); at != std::string::npos; at = bytes.find("/Type /Page\n", at + 1))
        ++n;
    return n;
}

bool isBlack(const QImage& image, int x, int y)
{
    return image.pixel(x, y) == qRgb(0, 0, 0);
}

bool isWhite(const QImage& image, int x, int y)
{
    return image.pixel(x, y) == qRgb(255, 255, 255);
}

bool isYellow(const QImage& image, int x, int y)
{
    return image.pixel(x, y) == qRgb(255, 255, 0);
}

// The box around the pixels darker than mid-grey inside the area.
std::optional<QRect> inkIn(const QImage& image, const QRect& area)
{
    std::optional<QRect> ink;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (qGray(image.pixel(x, y)) >= 128) continue;
            ink = ink ? ink->united(QRect(x, y, 1, 1)) : QRect(x, y, 1, 1);
        }
    }
    return ink;
}

class Drawing : public ::testing::Test {
protected:
    void SetUp() override { test::ensureGuiApplication(); }
    test::TempDir tmp;
};

class PagePixels : public Drawing, public ::testing::WithParamInterface<int> {};

TEST_P(PagePixels, GridPositionsInPixels)
{
    const int i = GetParam();  // Interlinea
    const QImage image = pagePicture(samplePage("official_IT01234567890_FPR02_b2b_two_lines.xml"), i);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), kPageWidthPixels);
    EXPECT_EQ(image.height(), 35 * i);  // frame bottom on row 34, one row below it

    // The yellow band covers rows 11 to 12: from 11 × Interlinea to the pixel above row 12.
    for (const int x : {15, 500, 1110, 1119}) {
        EXPECT_TRUE(isYellow(image, x, 11 * i)) << x;
        EXPECT_TRUE(isYellow(image, x, 12 * i - 1)) << x;
        EXPECT_FALSE(isYellow(image, x, 11 * i - 1)) << x;
        EXPECT_FALSE(isYellow(image, x, 12 * i)) << x;
    }
    EXPECT_TRUE(isWhite(image, 1121, 11 * i));
    EXPECT_TRUE(isWhite(image, 13, 11 * i));

    // Vertical lines of the frame one pixel wide at columns 1, 28, 54 and 80.
    for (const int x : {14, 392, 756, 1120}) {
        EXPECT_TRUE(isBlack(image, x, 2 * i)) << x;
        EXPECT_TRUE(isBlack(image, x, 7 * i)) << x;
        EXPECT_TRUE(isWhite(image, x - 1, 2 * i)) << x;
        EXPECT_TRUE(isWhite(image, x + 1, 2 * i)) << x;
    }
    // Horizontal lines at rows 8, r = 20 (the first description takes six
    // rows), r + 6 and r + 14; the top at row 0.2.
    for (const int row : {8, 20, 26, 34}) {
        EXPECT_TRUE(isBlack(image, 200, row * i)) << row;
        EXPECT_TRUE(isWhite(image, 200, row * i - 1)) << row;
        EXPECT_TRUE(isWhite(image, 200, row * i + 1)) << row;
    }
    const int top = static_cast<int>(std::lround(0.2 * i));
    EXPECT_TRUE(isBlack(image, 200, top) || isBlack(image, 200, top - 1)) << top;
    // The column between payment and totals: column 38 from row r to r + 14.
    EXPECT_TRUE(isBlack(image, 532, 21 * i));
    EXPECT_TRUE(isBlack(image, 532, 33 * i));
    EXPECT_TRUE(isWhite(image, 532, 19 * i));

    // A left text starts at its grid position: "DATI CEDENTE/PRESTATORE" at column 2, row 1.
    const auto heading = inkIn(image, QRect(20, i - 4, 340, i + 8));
    ASSERT_TRUE(heading);
    EXPECT_GE(heading->left(), 28);
    EXPECT_LE(heading->left(), 31);
    EXPECT_GE(heading->top(), i);      // never above its row
    EXPECT_LE(heading->top(), i + 6);  // capitals start a little below the line's top
    // Its size: 14 points are 18.7 pixels; capitals about 13 of them.
    EXPECT_GE(heading->height(), 12);
    EXPECT_LE(heading->height(), 17);

    // A right text ends at its column, the trailing blank of " € " included:
    // "25 € " on row r + 10 ends a blank's width before column 75 (1050).
    const auto total = inkIn(image, QRect(900, 30 * i, 200, i));
    ASSERT_TRUE(total);
    EXPECT_LT(total->right(), 1050);
    EXPECT_GE(total->right(), 1040);
    // "Cod.Iva" values end at column 77 (1078): the second line's, on row 18.
    const auto rate = inkIn(image, QRect(1000, 18 * i, 110, i));
    ASSERT_TRUE(rate);
    EXPECT_LE(rate->right(), 1078);
    EXPECT_GE(rate->right(), 1074);
}

INSTANTIATE_TEST_SUITE_P(Interlinea, PagePixels, ::testing::Values(18, 20));

// A made-up invoice whose names, addresses, document number and first
// description are far too wide for their columns (a W is the widest
// letter), with a quantity of 21 figures and numbers of every width.
InvoiceReading wideInvoice()
{
    const std::string w(90, 'W');
    const std::string party = "<DatiAnagrafici><Anagrafica><Denominazione>" + w +
                              "</Denominazione></Anagrafica></DatiAnagrafici><Sede><Indirizzo>" + w + "</Indirizzo></Sede>";
    return readInvoiceBytes(
        test::invoiceXml("<FatturaElettronicaHeader><CedentePrestatore>" + party + "</CedentePrestatore><CessionarioCommittente>" +
                         party + "</CessionarioCommittente></FatturaElettronicaHeader>" +
                         test::body("TD01", w, test::line("1", w + w, "123456789012.12345678", "123456789012.1234", "1", "22") +
                                                   test::line("2", "RIGA", "1.00000000", "1", "1", "22"))),
        "larga.xml");
}

// The sample's long descriptions, and a made-up invoice with long names,
// addresses and descriptions and numbers of every width: each text of a line
// or of a party keeps to a column of its own, on the list and in pixels; a
// long text goes on over the rows below within its column, a wide number is
// drawn smaller, or goes on below too when even 6 points are too wide.
TEST_F(Drawing, EveryTextOfALineAndOfAPartyStaysInsideItsColumn)
{
    const InvoiceReading made = wideInvoice();
    ASSERT_TRUE(made.ok()) << made.message;
    std::map<std::string, int> seen;
    for (const Sheet& page : {samplePage("official_IT01234567890_FPR03_lotto_two_bodies.xml"),
                              layoutInvoice(made.fattura, Regional::italian()).at(0)}) {
        std::map<float, std::vector<std::pair<float, float>>> taken;  // the columns of each row
        for (const DrawOp& op : page.ops) {
            const auto* t = std::get_if<TextOp>(&op);
            if (t == nullptr || t->width == 0) continue;
            const float from = t->x;
            const float to = t->x + t->width;
            for (const auto& [a, b] : taken[t->y]) EXPECT_TRUE(to <= a || from >= b) << describe(op);
            for (const int frame : {28, 54}) EXPECT_FALSE(t->y <= 6 && from < frame && to > frame) << describe(op);
            taken[t->y].emplace_back(from, to);
            Sheet alone;
            alone.ops = {ClearOp{}, op};
            const QImage image = pagePicture(alone, 18);
            if (const auto ink = inkIn(image, image.rect())) {
                EXPECT_GE(ink->left(), from * kColumnPixels - 1) << describe(op);
                EXPECT_LE(ink->right(), to * kColumnPixels) << describe(op);
            }
            const FittedText f = fitText(*t, kPageFace, kColumnPixels);
            const QString text = QString::fromStdString(t->text);
            if (f.whole) {
                EXPECT_EQ(f.shown, text);
                if (t->fit == Fit::Wrap) ++seen["wrapped"];
            } else if (t->fit == Fit::Cut) {
                EXPECT_TRUE(f.shown.endsWith(QChar(0x2026)) && text.startsWith(f.shown.chopped(1))) << describe(op);
                ++seen["cut"];
            } else if (f.shown.isEmpty()) {
                ++seen["left out"];
            } else {
                EXPECT_EQ(f.shown, text);
                EXPECT_TRUE(f.points >= 6 && f.points < t->size) << describe(op);
                ++seen["smaller"];
            }
        }
    }
    // Nothing cut, nothing left out. Lines: 6 of the sample's long
    // description; on the made-up page 9 of the description, 5 each of both
    // parties' names and addresses, 6 of the document number ("Numero:" and
    // five of its W) and 4 of a quantity of 21 figures. Two numbers drawn smaller.
    EXPECT_EQ(seen, (std::map<std::string, int>{{"smaller", 2}, {"wrapped", 6 + 9 + 4 * 5 + 6 + 4}}));
}

// Every sample's pages and sheets written to PNG and PDF: a PNG holds the
// pixels the window draws, each document starts on a sheet of its own, and
// no letter of the complete view reaches into the sheets' side margins.
TEST_F(Drawing, EverySampleToPngAndPdf)
{
    std::vector<Sheet> pages;
    std::vector<std::string> titles;
    for (const char* name : kSamples) {
        for (Sheet& page : samplePages(name)) {
            pages.push_back(std::move(page));
            titles.push_back(name);
        }
    }
    std::vector<PdfDocument> invoices;
    for (std::size_t k = 0; k < pages.size(); ++k) {
        const std::filesystem::path png = tmp / ("p" + std::to_string(k) + ".png");
        ASSERT_EQ(writePng({&pages[k], 1}, pageStyle(18), 1, png), std::nullopt) << titles[k];
        // The file holds the same pixels the window would draw.
        QImage back(QString::fromStdString(png.string()));
        EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), pagePicture(pages[k], 18)) << titles[k];
        invoices.push_back(PdfDocument{{&pages[k], 1}, titles[k]});
    }
    const std::filesystem::path pdf = tmp / "tutte.pdf";
    ASSERT_EQ(writePdf(invoices, pageStyle(18), pdf), std::nullopt);
    const std::string bytes = test::readFile(pdf);
    EXPECT_TRUE(bytes.starts_with("%PDF-"));
    EXPECT_EQ(pdfSheets(bytes), pages.size());  // each document on a sheet of its own

    for (const char* name : kSamples) {
        SCOPED_TRACE(name);
        const std::vector<Sheet> sheets = sampleSheets(name);
        const PdfDocument one[] = {{sheets, name}};
        ASSERT_EQ(writePdf(one, kSheetStyle, tmp / "completa.pdf"), std::nullopt);
        EXPECT_EQ(pdfSheets(test::readFile(tmp / "completa.pdf")), sheets.size());  // A4 sheets at their size
        const auto png = tmp / "completa.png";
        ASSERT_FALSE(writePng(sheets, kSheetStyle, kSheetPngScale, png));
        const QImage image(QString::fromStdString(png.string()));
        ASSERT_FALSE(image.isNull());
        const int n = static_cast<int>(sheets.size());
        EXPECT_EQ(image.height(), n * 1684 + (n - 1) * kSheetGapPixels);
        EXPECT_EQ(image.width(), 1191);
        // No letter reaches into the side margins: texts are drawn as wide as they were measured.
        const int left = static_cast<int>(kSheetMargin * kSheetPngScale) - 2;
        const int right = static_cast<int>((kSheetWidth - kSheetMargin) * kSheetPngScale) + 2;
        int inked = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if ((x < left || x > right) && qGray(image.pixel(x, y)) < 100) ++inked;
            }
        }
        EXPECT_EQ(inked, 0);
    }
}

TEST_F(Drawing, LongInvoicesAreCutBetweenRows)
{
    RigaFattura riga;
    riga.Descrizione = "RIGA";
    const Sheet page = pageOfLines(std::vector(100, riga));  // r = 113: rows up to 127, then a margin row

    const std::vector<PageSlice> slices = sliceRows(page, 60.5);
    ASSERT_GE(slices.size(), 3u);
    EXPECT_EQ(slices.front().fromRow, 0);
    EXPECT_EQ(slices.back().toRow, 128);
    for (std::size_t k = 0; k < slices.size(); ++k) {
        EXPECT_LE(slices[k].toRow - slices[k].fromRow, 60.5);
        if (k > 0) {
            EXPECT_EQ(slices[k].fromRow, slices[k - 1].toRow);
        }
        if (k + 1 < slices.size()) {  // every cut at a break row: between lines or blocks
            const auto& rows = page.breakRows;
            EXPECT_NE(std::find(rows.begin(), rows.end(), static_cast<float>(slices[k].toRow)), rows.end())
                << slices[k].toRow;
        }
    }
    // The first sheet ends between two lines, at the last one that fits.
    EXPECT_EQ(slices[0].toRow, 60);
    // The payment block (rows 113 to 119) and the totals (119 to 127) are never split.
    for (const PageSlice& s : slices) {
        EXPECT_FALSE(s.toRow > 113 && s.toRow < 119) << s.toRow;
        EXPECT_FALSE(s.toRow > 119 && s.toRow < 127) << s.toRow;
    }
    // Rows that fit are not cut; a page without break rows is cut at whole rows.
    EXPECT_EQ(sliceRows(page, 200).size(), 1u);
    Sheet bare = page;
    bare.breakRows.clear();
    const auto whole = sliceRows(bare, 50.5);
    EXPECT_EQ(whole.at(0).toRow, 50);
    EXPECT_EQ(whole.at(1).toRow, 100);
}

// A picture taller than an image can be is refused with a message, and
// no file is written; the same goes to PDF, on sheets of their own.
TEST_F(Drawing, PicturesTooTallForAnImageAreRefusedWithAMessage)
{
    const Sheet page = pageOfLines(std::vector<RigaFattura>(2000));  // rows up to 2027, one more below: 36504 pixels
    const struct {
        std::vector<Sheet> sheets;
        Style style;
        double scale;
        const char* problem;
    } cases[] = {
        {{page}, pageStyle(18), 1, "la pagina è troppo alta per un'immagine PNG (36504 pixel, al massimo 32767): usare --pdf"},
        {std::vector<Sheet>(20), kSheetStyle, kSheetPngScale,  // 20 × 1684 pixels and the gaps
         "i 20 fogli sono troppi per un'immagine PNG (al massimo 32767 pixel di altezza): usare --pdf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.problem);
        EXPECT_TRUE(renderSheets(c.sheets, c.style, c.scale).isNull());
        EXPECT_FALSE(fitsPng(c.sheets, c.style, c.scale));
        EXPECT_EQ(writePng(c.sheets, c.style, c.scale, tmp / "alta.png"), c.problem);
        EXPECT_FALSE(std::filesystem::exists(tmp / "alta.png"));
        const PdfDocument one[] = {{c.sheets, "alta"}};
        EXPECT_EQ(writePdf(one, c.style, tmp / "alta.pdf"), std::nullopt);
        EXPECT_GT(test::readFile(tmp / "alta.pdf").size(), 1000u);
    }
}

// pdftoppm (poppler) draws the PDF back into pixels, as a reader would see it.
QImage pdfSheet(const std::filesystem::path& pdf, int sheet, const test::TempDir& tmp)
{
    const std::filesystem::path prefix = tmp / ("sheet" + std::to_string(sheet));
    const std::string command = "pdftoppm -r 72 -png -singlefile -f " + std::to_string(sheet) + " -l " +
                                std::to_string(sheet) + " '" + pdf.string() + "' '" + prefix.string() + "'";
    const int status = std::system(command.c_str());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    return QImage(QString::fromStdString(prefix.string() + ".png"));
}

TEST_F(Drawing, PdfSheetsAreA4WithThePageAcrossThePrintableWidth)
{
    std::vector<RigaFattura> righe;
    for (int k = 0; k < 100; ++k) righe.push_back(RigaFattura{std::to_string(k + 1), "RIGA", "1", {}, {}, "22"});
    const Sheet page = pageOfLines(std::move(righe));
    const PdfDocument one[] = {{{&page, 1}, "lunga"}};
    const std::filesystem::path pdf = tmp / "lunga.pdf";
    ASSERT_EQ(writePdf(one, pageStyle(18), pdf), std::nullopt);

    const QImage first = pdfSheet(pdf, 1, tmp);
    ASSERT_FALSE(first.isNull()) << "pdftoppm non ha disegnato il PDF";
    EXPECT_EQ(first.width(), 595);  // A4 portrait at 72 dpi
    EXPECT_EQ(first.height(), 842);
    // Margins of 10 mm (28 points): the frame's left side near x 28 + 14 × scale,
    // its right side near the printable width's end; the yellow band on the first sheet.
    const double scale = (595.0 - 2 * 28.35) / kPageWidthPixels;
    const int band = static_cast<int>(28.35 + 11.5 * 18 * scale);
    const int free = static_cast<int>(28.35 + 27 * 14 * scale);  // column 27: no heading text there
    EXPECT_EQ(first.pixel(free, band), qRgb(255, 255, 0));
    const auto frame = inkIn(first, QRect(20, band + 20, 560, 1));
    ASSERT_TRUE(frame);
    EXPECT_NEAR(frame->left(), 28.35 + 14 * scale, 1.5);
    EXPECT_NEAR(frame->right(), 28.35 + 1120 * scale, 1.5);
    // The next sheet continues the page: no yellow band, the frame's sides go on.
    const QImage second = pdfSheet(pdf, 2, tmp);
    ASSERT_FALSE(second.isNull());
    EXPECT_NE(second.pixel(free, band), qRgb(255, 255, 0));
    EXPECT_TRUE(inkIn(second, QRect(20, 100, 560, 1)).has_value());
}

// A text with its blanks and line ends taken out and its letters in their
// plain form (a PDF reader gives "ﬁ" for the face's ligature): a text broken
// over rows, at a blank or inside a word, reads back the same.
QString solid(const QString& text)
{
    QString out;
    for (const QChar c : text.normalized(QString::NormalizationForm_KC)) {
        if (!c.isSpace() && c.unicode() >= 0x20 && c.unicode() != 0x7F) out += c;
    }
    return out;
}

QString solid(const std::string& text)
{
    return solid(QString::fromStdString(text));
}

// What the page must show of document i, each text as the page puts it
// together: the parties, the document data, each line's texts one after
// the other (the lines are drawn so), the payment and the totals.
std::vector<std::string> pageTextsOf(const FatturaLetta& f, std::size_t i, const Regional& regional)
{
    const DocumentoFattura& d = f.documento(i);
    std::vector<std::string> texts;
    for (const Parte* p : {&f.Cedente, &f.Cliente}) {
        texts.insert(texts.end(), {p->Denominazione, "P.Iva: " + p->PartitaIva, p->SedeIndirizzo,
                                   p->SedeCap + " " + p->SedeComune});
    }
    texts.insert(texts.end(), {"Tipo: " + (d.TipoDocumento == "TD01" ? std::string("Fattura") : d.TipoDocumento),
                               "Numero: " + d.NumeroDocumento, "Data: " + d.DataDocumento,
                               "Metodo: " + d.ModalitaPagamento,
                               "Pagamento: " + importoMostrato(d.ImportoPagamento, regional)});
    for (const RigaFattura& r : d.righe) {
        texts.push_back(r.NumeroLinea + r.Descrizione + r.Quantita + r.PrezzoUnitario.toRegional(regional) + "0" +
                        r.PrezzoTotale.toRegional(regional) + r.AliquotaIva);
    }
    for (const auto& [label, amount] : {std::pair{"Totale Imponibile", d.TotaleImponibile},
                                        {"Totale Imposta", d.TotaleImposta},
                                        {"Totale Documento", d.TotaleDocumento}}) {
        texts.push_back(std::string(label) + (amount ? amount->toRegional(regional) + "€" : kNonIndicato));
    }
    return texts;
}

// The text of a PDF in the order it was drawn, as pdftotext reads it.
std::string pdfText(const std::filesystem::path& pdf, const test::TempDir& tmp)
{
    const std::filesystem::path out = tmp / "testo.txt";
    const std::string command = "pdftotext -raw -enc UTF-8 '" + pdf.string() + "' '" + out.string() + "'";
    const int status = std::system(command.c_str());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    return test::readFile(out);
}

// Paper loses nothing: on every document of every sample (and of the made-up
// invoice of texts far too wide), the painter shows every text whole, never
// cut with "…" nor left out, and the PDF written holds every text of the
// document, a line's texts one after the other.
TEST_F(Drawing, NoTextOfAnySampleIsCutInThePngOrThePdf)
{
    const Regional regional = Regional::italian();
    std::vector<std::pair<std::string, InvoiceReading>> invoices;
    for (const char* name : kSamples) invoices.emplace_back(name, readInvoiceFile(dataFile(std::string("fatturapa/") + name)));
    invoices.emplace_back("larga.xml", wideInvoice());
    std::size_t documents = 0;
    for (const auto& [name, reading] : invoices) {
        ASSERT_TRUE(reading.ok()) << name << ": " << reading.message;
        const std::vector<Sheet> pages = layoutInvoice(reading.fattura, regional);
        for (std::size_t i = 0; i < pages.size(); ++i, ++documents) {
            SCOPED_TRACE(name + ", documento " + std::to_string(i + 1));
            for (const DrawOp& op : pages[i].ops) {
                const auto* t = std::get_if<TextOp>(&op);
                if (t == nullptr) continue;
                const FittedText f = fitText(*t, kPageFace, kColumnPixels);
                EXPECT_EQ(solid(f.shown).toStdString(), solid(t->text).toStdString()) << describe(op);
            }
            const std::filesystem::path pdf = tmp / ("d" + std::to_string(documents) + ".pdf");
            const PdfDocument one[] = {{{&pages[i], 1}, name}};
            ASSERT_EQ(writePdf(one, pageStyle(18), pdf), std::nullopt);
            const QString drawn = solid(pdfText(pdf, tmp));
            ASSERT_FALSE(drawn.isEmpty()) << "pdftotext non ha letto il PDF";
            for (const std::string& text : pageTextsOf(reading.fattura, i, regional))
                EXPECT_TRUE(drawn.contains(solid(text))) << text << "\nnel PDF: " << drawn.toStdString();
        }
    }
    EXPECT_EQ(documents, std::size(kSamples) + 3 + 1);  // three batches of two, the made-up one
}

// Both faces break a text into lines that fit the column, keeping every word
// and breaking one too long for a line, a line end starting a new line.
TEST_F(Drawing, WrappedTextKeepsEveryWordAndBreaksAWordTooLongForTheColumn)
{
    const QString text = QStringLiteral("LA FATTURA FA RIFERIMENTO ") + QString(300, QLatin1Char('B')) +
                         QStringLiteral(" FINE\nseconda riga");
    const auto squeeze = [](QString s) { return s.remove(QLatin1Char(' ')).remove(QLatin1Char('\n')); };
    for (const auto& [face, room, size] : {std::tuple{&kSheetFace, 120.0, 8.0}, {&kPageFace, 24.0 * kColumnPixels, 12.0}}) {
        const std::vector<QString> lines = face->lines(text, room, size, false);
        QString back;
        for (const QString& l : lines) {
            EXPECT_LE(face->width(l.toStdString(), size, false), room) << l.toStdString();
            back += l;
        }
        EXPECT_LE(back.size(), text.size());
        EXPECT_EQ(squeeze(back), squeeze(text));
        EXPECT_EQ(lines.back(), QStringLiteral("seconda riga"));  // a line end in the text starts a line
    }
}

}  // namespace
}  // namespace crv
