// crvxml fattura as an operator or a script runs it: every sample to text,
// PNG and PDF, files by name or by path, exit status and messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "support/golden_support.h"

namespace crv::test {
namespace {

using Outcome = ProgramRun;

// The command under Italian regional settings, its arguments written for the shell.
Outcome fattura(const std::string& args)
{
    return runCrvxmlShell("fattura " + args, "it_IT.UTF-8");
}

const char* const kSamples[] = {
    "official_IT01234567890_FPA01_pa_single_line.xml",   "official_IT01234567890_FPR02_b2b_two_lines.xml",
    "official_IT01234567890_FPR03_lotto_two_bodies.xml", "oca_FPR03_signed_cades_der.xml.p7m",
    "oca_FPR06_credit_note_TD04.xml",                    "php_fattura_esempio_buyer_person_nome_cognome.xml",
    "oca_ripilogoiva_two_vat_rates_22_and_N1.xml",       "simevo_FPR04_attachment_jpg.xml",
    "oca_FPR16_default_namespace_negative_total.xml",
};

class FatturaCommand : public ::testing::Test {
protected:
    FatturaCommand()
    {
        for (const char* name : kSamples) names += " " + shellWord(suite.addImportFile(std::string("fatturapa/") + name));
    }
    std::string root() const { return "--root " + shellWord(suite.paths().root.string()) + " "; }
    SuiteFixture suite;
    std::string names;  // every sample, by its name in the import folder
    TempDir out;
};

std::size_t pdfSheets(const std::string& bytes)
{
    std::size_t n = 0;
    for (std::size_t at = bytes.find("/Type /Page\n"); at != std::string::npos; at = bytes.find("/Type /Page\n", at + 1))
        ++n;
    return n;
}

TEST_F(FatturaCommand, EverySampleToPngPdfAndText)
{
    const auto pngDir = out / "png";
    const auto pdf = out / "tutte.pdf";
    const Outcome o =
        fattura(root() + "--png " + shellWord(pngDir.string()) + " --pdf " + shellWord(pdf.string()) + " --testo" + names);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err, "");
    std::size_t pngs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(pngDir)) {
        EXPECT_EQ(entry.path().extension(), ".png");
        EXPECT_EQ(readFile(entry.path()).substr(1, 3), "PNG");
        ++pngs;
    }
    // One picture and one sheet per document: the two FPR03 are batches of two.
    const std::size_t documents = std::size(kSamples) + 2;
    EXPECT_EQ(pngs, documents);
    // The plain and the signed FPR03 keep their own pictures, one per document.
    for (const char* name : {"official_IT01234567890_FPR03_lotto_two_bodies", "oca_FPR03_signed_cades_der"}) {
        for (const char* document : {"_documento_1.png", "_documento_2.png"})
            EXPECT_TRUE(std::filesystem::exists(pngDir / (std::string(name) + document))) << name << document;
    }
    EXPECT_EQ(pdfSheets(readFile(pdf)), documents);
    // One line for each file written.
    std::size_t pageLines = 0;
    for (std::size_t at = o.out.find("\nPagina salvata in " + pngDir.string() + "/"); at != std::string::npos;
         at = o.out.find("\nPagina salvata in ", at + 1))
        ++pageLines;
    EXPECT_EQ(pageLines, documents);
    EXPECT_TRUE(o.out.ends_with("\nPDF salvato in " + pdf.string() + " (11 fatture)\n")) << o.out;
    // The values of every file, the signed one's included.
    EXPECT_NE(o.out.find("File: " + (suite.paths().importDir() / "oca_FPR03_signed_cades_der.xml.p7m").string() +
                         "\nCedente/prestatore\n  Denominazione: SOCIETA' ALPHA SRL\n  P.Iva: IT02780790107\n"),
              std::string::npos)
        << o.out;
    EXPECT_NE(o.out.find("Totali\n  Totale imponibile: 167,98\n  Totale imposta: 36,18\n  Totale documento: 204,16\n"),
              std::string::npos);
    EXPECT_NE(o.out.find("Allegati\n  LogoA.jpg\n"), std::string::npos);
}

TEST_F(FatturaCommand, OneFileByPathWithItsOwnSpacing)
{
    const std::filesystem::path file = dataFile("fatturapa/official_IT01234567890_FPR02_b2b_two_lines.xml");
    const auto png = out / "una.png";
    const Outcome o = fattura(root() + "--interlinea 20 --png " + shellWord(png.string()) + " " + shellWord(file.string()));
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "Pagina salvata in " + png.string() + "\n");  // drawing only: the file written, no values
    const std::string bytes = readFile(png);
    // The PNG header's height: 35 rows of 20 pixels (the first description takes six).
    const auto height = (static_cast<unsigned char>(bytes[22]) << 8) | static_cast<unsigned char>(bytes[23]);
    EXPECT_EQ(height, 700);
}

// A batch named as one PNG gives one picture per document, named after it
// with "_documento_N", and one PDF with a sheet per document; a picture's
// name that a file of another kind holds is refused, the other documents
// are still drawn.
TEST_F(FatturaCommand, ABatchGivesAPicturePerDocumentAndASheetEach)
{
    const std::string batch = shellWord(dataFile("fatturapa/lotto_due_documenti_testi_lunghi.xml").string());
    const auto png = out / "pagina.png";
    const auto pdf = out / "lotto.pdf";
    const Outcome o = fattura(root() + "--png " + shellWord(png.string()) + " --pdf " + shellWord(pdf.string()) + " " + batch);
    EXPECT_EQ(o.status, 0) << o.err;
    const auto first = out / "pagina_documento_1.png";
    const auto second = out / "pagina_documento_2.png";
    EXPECT_EQ(o.out, "Pagina salvata in " + first.string() + "\nPagina salvata in " + second.string() +
                         "\nPDF salvato in " + pdf.string() + " (2 fatture)\n");
    EXPECT_FALSE(std::filesystem::exists(png));
    EXPECT_NE(readFile(first), readFile(second));
    EXPECT_EQ(pdfSheets(readFile(pdf)), 2u);

    writeFile(second, "una nota\n");
    const Outcome taken = fattura(root() + "--png " + shellWord(png.string()) + " " + batch);
    EXPECT_EQ(taken.status, 1);
    EXPECT_EQ(taken.out, "Pagina salvata in " + first.string() + "\n");
    EXPECT_EQ(taken.err, "Il file " + second.string() + " esiste e non è un PNG: non lo sostituisco (pagina della fattura " +
                             dataFile("fatturapa/lotto_due_documenti_testi_lunghi.xml").string() +
                             " (documento 2 di 2))\n");
    EXPECT_EQ(readFile(second), "una nota\n");
}

TEST_F(FatturaCommand, FilesThatCannotBeShown)
{
    const auto pdf = out / "parziale.pdf";
    const Outcome o = fattura(root() + "--pdf " + shellWord(pdf.string()) +
                              " nessuna.xml official_IT01234567890_FPA01_pa_single_line.xml " +
                              shellWord(dataFile("fatturapa/firma_separata.xml.p7m").string()));
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, (suite.paths().importDir() / "nessuna.xml").string() + ": NON TROVO IL FILE\n" +
                         "Errore nel file " + dataFile("fatturapa/firma_separata.xml.p7m").string() +
                         "\nla busta firmata non contiene il documento (firma separata)\n");
    EXPECT_EQ(pdfSheets(readFile(pdf)), 1u);  // the invoice that could be shown

    writeFile(suite.paths().importDir() / "rotta.xml", "<a><b></a>");
    const Outcome broken = fattura(root() + "rotta.xml");
    EXPECT_EQ(broken.status, 1);
    EXPECT_TRUE(broken.err.starts_with("Errore nel file " + (suite.paths().importDir() / "rotta.xml").string() +
                                       "\nLinea = 1\nPos = "))
        << broken.err;

    // No PDF at all when nothing could be shown.
    const auto none = out / "nessuna.pdf";
    EXPECT_EQ(fattura(root() + "--pdf " + shellWord(none.string()) + " nessuna.xml").status, 1);
    EXPECT_FALSE(std::filesystem::exists(none));
}

TEST_F(FatturaCommand, AnOutputThatCannotBeWrittenIsNamedWithTheReason)
{
    const std::string invoice = "official_IT01234567890_FPA01_pa_single_line.xml";
    const std::string shown = (suite.paths().importDir() / invoice).string();
    const Outcome missing = fattura(root() + "--png /nonexist/x.png " + invoice);
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "Impossibile scrivere il file /nonexist/x.png: la cartella /nonexist non esiste "
                           "(pagina della fattura " + shown + ")\n");
}

TEST_F(FatturaCommand, AnOutputReplacesAnEarlierOneButNoOtherFile)
{
    // "--pdf *.xml" without the PDF's name: the first invoice would become the PDF.
    const std::string invoice = (suite.paths().importDir() / "oca_FPR06_credit_note_TD04.xml").string();
    const std::string before = readFile(invoice);
    const Outcome pdf = fattura(root() + "--pdf " + shellWord(invoice) + " simevo_FPR04_attachment_jpg.xml");
    EXPECT_EQ(pdf.status, 2);
    EXPECT_EQ(pdf.err, "Il file " + invoice + " esiste e non è un PDF: non lo sostituisco (--pdf)\n"
                       "\"crvxml fattura --aiuto\" descrive le opzioni.\n");
    const Outcome png = fattura(root() + "--png " + shellWord(invoice) + " simevo_FPR04_attachment_jpg.xml");
    EXPECT_EQ(png.status, 2);
    EXPECT_EQ(readFile(invoice), before);

    // An earlier PDF and picture are replaced.
    const auto earlierPdf = out / "fatture.pdf";
    const auto earlierPng = out / "fattura.png";
    for (int run = 0; run < 2; ++run) {
        const Outcome again = fattura(root() + "--pdf " + shellWord(earlierPdf.string()) + " --png " +
                                      shellWord(earlierPng.string()) + " simevo_FPR04_attachment_jpg.xml");
        EXPECT_EQ(again.status, 0) << again.err;
    }
}

TEST_F(FatturaCommand, AttachmentsAreSaved)
{
    const auto dir = out / "allegati";
    const Outcome o = fattura(root() + "--allegati " + shellWord(dir.string()) + " simevo_FPR04_attachment_jpg.xml");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "Allegato \"LogoA.jpg\" salvato in " + (dir / "LogoA.jpg").string() + "\n");
    // A second run keeps the first file and says where the new one went.
    const Outcome again = fattura(root() + "--allegati " + shellWord(dir.string()) + " simevo_FPR04_attachment_jpg.xml");
    EXPECT_EQ(again.out, "Allegato \"LogoA.jpg\" salvato in " + (dir / "LogoA (2).jpg").string() + "\n");
    EXPECT_EQ(readFile(dir / "LogoA.jpg"), readFile(dir / "LogoA (2).jpg"));
    // A file without attachments says so rather than nothing.
    const Outcome none = fattura(root() + "--allegati " + shellWord(dir.string()) + " oca_FPR06_credit_note_TD04.xml");
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out, "Nessun allegato nel file " +
                            (suite.paths().importDir() / "oca_FPR06_credit_note_TD04.xml").string() + "\n");
}

TEST_F(FatturaCommand, CompleteViewAndSchemaCheck)
{
    // --completa: every sample to one PDF, one PNG each, and the sheets' text.
    const auto pngDir = out / "complete";
    const auto pdf = out / "complete.pdf";
    const Outcome o = fattura(root() + "--completa --testo --png " + shellWord(pngDir.string()) + " --pdf " +
                              shellWord(pdf.string()) + names);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(pngDir), std::filesystem::directory_iterator()), 9);
    EXPECT_GE(pdfSheets(readFile(pdf)), 9u);
    for (const char* value : {"Documento 2 di 2", "Esito: firma integra, certificato non verificato",
                              "Conforme allo schema FatturaPA 1.2.2", "IBAN IT64C0310401600000000770885"})
        EXPECT_NE(o.out.find(value), std::string::npos) << value;
    // Every file written is told, as for the page.
    EXPECT_NE(o.out.find("PDF salvato in " + pdf.string() + " (9 fatture)\n"), std::string::npos);
    std::size_t told = 0;
    for (std::size_t at = o.out.find("Fogli salvati in "); at != std::string::npos; at = o.out.find("Fogli salvati in ", at + 1))
        ++told;
    EXPECT_EQ(told, 9u);

    // --verifica: one line per file, exit 1 as soon as one is not valid.
    writeFile(suite.paths().importDir() / "rotta.xml",
              std::regex_replace(readFile(dataFile("fatturapa/official_IT01234567890_FPR02_b2b_two_lines.xml")),
                                 std::regex("<Divisa>EUR</Divisa>"), "<Divisa>EUR</Divisa><Pippo>1</Pippo>"));
    const Outcome valid = fattura(root() + "--verifica" + names);
    EXPECT_EQ(valid.status, 0) << valid.err;
    EXPECT_EQ(std::count(valid.out.begin(), valid.out.end(), '\n'), 9);
    EXPECT_EQ(valid.out.find("Non conforme"), std::string::npos) << valid.out;
    const Outcome broken = fattura(root() + "--verifica rotta.xml official_IT01234567890_FPR02_b2b_two_lines.xml");
    EXPECT_EQ(broken.status, 1);
    EXPECT_EQ(broken.out, (suite.paths().importDir() / "rotta.xml").string() +
                              ": Non conforme allo schema FatturaPA 1.2.2: 1 violazione: riga 53, elemento Pippo: "
                              "elemento non previsto in questo punto; lo schema si aspetta: Data\n" +
                              (suite.paths().importDir() / "official_IT01234567890_FPR02_b2b_two_lines.xml").string() +
                              ": Conforme allo schema FatturaPA 1.2.2\n");
    EXPECT_EQ(fattura(root() + "--verifica nessuno.xml").status, 1);
    EXPECT_EQ(fattura(root() + "--verifica --png x.png rotta.xml").status, 2);
}

TEST_F(FatturaCommand, WrongUsage)
{
    EXPECT_EQ(fattura(root()).status, 2);
    EXPECT_EQ(fattura(root() + "--interlinea 0 a.xml").status, 2);
    EXPECT_EQ(fattura(root() + "--interlinea 1000 a.xml").status, 2);
    EXPECT_EQ(fattura(root() + "--interlinea abc a.xml").status, 2);
    EXPECT_EQ(fattura(root() + "--png").status, 2);
    EXPECT_EQ(fattura(root() + "--boh a.xml").status, 2);
    const Outcome unknown = fattura(root() + "--boh a.xml");
    EXPECT_EQ(unknown.err, "Opzione sconosciuta: --boh\n\"crvxml fattura --aiuto\" descrive le opzioni.\n");
    EXPECT_EQ(fattura(root() + "--png= a.xml").err,
              "Manca il valore di --png\n\"crvxml fattura --aiuto\" descrive le opzioni.\n");
    // A name whose extension says another format.
    for (const char* option : {"--png", "--pdf"}) {
        const std::string name = (out / (std::string(option) == "--png" ? "pagina.jpg" : "fatture.txt")).string();
        const Outcome other = fattura(root() + option + " " + shellWord(name) + " official_IT01234567890_FPR02_b2b_two_lines.xml");
        EXPECT_EQ(other.status, 2) << option;
        EXPECT_TRUE(other.err.starts_with(std::string(option) + " " + name + ": si scrive ")) << other.err;
        EXPECT_FALSE(std::filesystem::exists(name));
    }
    const Outcome help = fattura("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--allegati DIR"), std::string::npos);
}

TEST_F(FatturaCommand, OptionsWithAnEqualsSignAndNamesAfterTwoDashes)
{
    // "--name=VALUE" as every command takes it.
    const auto png = out / "uguale.png";
    const Outcome o = fattura(root() + "--interlinea=20 --png=" + shellWord(png.string()) +
                              " official_IT01234567890_FPR02_b2b_two_lines.xml");
    EXPECT_EQ(o.status, 0) << o.err;
    const std::string bytes = readFile(png);
    ASSERT_GT(bytes.size(), 24u);
    EXPECT_EQ((static_cast<unsigned char>(bytes[22]) << 8) | static_cast<unsigned char>(bytes[23]), 700);  // 35 rows of 20
    // After "--" every argument is a file name, "--help" too.
    const Outcome named = fattura(root() + "-- --help");
    EXPECT_EQ(named.status, 1);
    EXPECT_EQ(named.err, (suite.paths().importDir() / "--help").string() + ": NON TROVO IL FILE\n");
}

}  // namespace
}  // namespace crv::test
