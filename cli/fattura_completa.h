#pragma once
// The complete invoice view and the schema check of "crvxml fattura":
// --completa draws every value of each file on A4 sheets (text, PNG, PDF),
// --verifica checks each file against the official schema; and what the
// page and the complete view say and write alike.
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "invoice/invoice_reader.h"
#include "invoice/sheet_painter.h"
#include "numbers/regional.h"

namespace crv::cli {

// A reader's message for a file that cannot be shown, the file named when
// the message does not name it.
std::string failureText(InvoiceOutcome outcome, const std::string& message, const std::filesystem::path& path);

// What --completa writes of one file.
struct CompleteOutputs {
    bool testo = false;                          // the sheets' texts to standard output
    std::optional<std::filesystem::path> png;    // the sheets as one picture
    bool pdf = false;                            // the sheets kept for the PDF
};

// The sheets of each document waiting for the PDF, with a title (the file's
// name, and which document of the file a page is).
using SheetsForPdf = std::vector<std::pair<std::vector<Sheet>, std::string>>;

// Reads one file and writes what is asked. Prints the problem and returns
// false when the file cannot be shown or its picture not written.
bool showComplete(const std::filesystem::path& path, const CompleteOutputs& outputs, const Regional& regional,
                  SheetsForPdf& forPdf, bool& firstText);

// Writes the sheets of every document into one PDF and says so; prints the
// problem and returns false when it cannot.
bool writeSheetsPdf(const SheetsForPdf& forPdf, const Style& style, const std::filesystem::path& file);

// One line per file: "FILE: Conforme allo schema FatturaPA 1.2.2", or the
// violations (line, element, what the schema expects). Returns the exit
// status: 0 every file valid, 1 otherwise.
int verifyInvoices(const std::vector<std::filesystem::path>& files);

}  // namespace crv::cli
