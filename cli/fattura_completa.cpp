#include "cli/fattura_completa.h"

#include <cstdio>

#include "invoice/full_layout.h"
#include "invoice/full_view.h"
#include "invoice/invoice_text.h"
#include "invoice/sheet_export.h"

namespace crv::cli {
namespace {

void printErr(const std::string& text)
{
    std::fprintf(stderr, "%s\n", text.c_str());
}

}  // namespace

std::string failureText(InvoiceOutcome outcome, const std::string& message, const std::filesystem::path& path)
{
    if (outcome == InvoiceOutcome::NoFile || outcome == InvoiceOutcome::NoHeader) return path.string() + ": " + message;
    return message;
}

bool showComplete(const std::filesystem::path& path, const CompleteOutputs& outputs, const Regional& regional,
                  SheetsForPdf& forPdf, bool& firstText)
{
    const FullViewReading reading = readFullView(path);
    if (!reading.ok()) {
        printErr(failureText(reading.outcome, reading.message, path));
        return false;
    }
    std::vector<Sheet> sheets = layoutFullView(reading.view, regional);
    if (outputs.testo) {
        if (!firstText) std::fputc('\n', stdout);
        firstText = false;
        const std::string text = "File: " + path.string() + "\n" + sheetText(sheets);
        std::fwrite(text.data(), 1, text.size(), stdout);
    }
    bool ok = true;
    if (outputs.png) {
        if (const auto problem = writePng(sheets, kSheetStyle, kSheetPngScale, *outputs.png)) {
            printErr("Errore nel file " + path.string() + "\n" + *problem);
            ok = false;
        } else {
            std::printf("Fogli salvati in %s\n", outputs.png->string().c_str());
        }
    }
    if (outputs.pdf) forPdf.emplace_back(std::move(sheets), path.filename().string());
    return ok;
}

bool writeSheetsPdf(const SheetsForPdf& forPdf, const Style& style, const std::filesystem::path& file)
{
    std::vector<PdfDocument> documents;
    for (const auto& [sheets, title] : forPdf) documents.push_back(PdfDocument{sheets, title});
    if (const auto problem = writePdf(documents, style, file)) {
        printErr(*problem);
        return false;
    }
    std::printf("PDF salvato in %s (%zu %s)\n", file.string().c_str(), documents.size(),
                documents.size() == 1 ? "fattura" : "fatture");
    return true;
}

int verifyInvoices(const std::vector<std::filesystem::path>& files)
{
    int status = 0;
    for (const std::filesystem::path& path : files) {
        const DocumentBytes bytes = readDocumentBytes(path);
        std::string line = path.string() + ": ";
        if (!bytes.ok()) {
            // The envelope's message names the file on its first line: one line is enough.
            const std::string& m = bytes.message;
            line += bytes.outcome == InvoiceOutcome::NoFile ? m : m.substr(m.find('\n') + 1);
            status = 1;
        } else {
            const SchemaVerdict verdict = checkSchema(bytes.xml);
            line += verdictTitle(verdict);
            for (std::size_t k = 0; k < verdict.violations.size(); ++k)
                line += (k == 0 ? ": " : "; ") + violationText(verdict.violations[k]);
            if (!verdict.valid()) status = 1;
        }
        line = oneLine(line) + "\n";
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    std::fflush(stdout);
    return status;
}

}  // namespace crv::cli
