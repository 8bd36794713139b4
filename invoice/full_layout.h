#pragma once
// The layout of the complete view: the checks, the transmission data and
// the parties, then every document of the file ("Documento 1 di n") with
// its data, references, lines, VAT summary, withholding, pension fund,
// stamp duty, payments and attachments, on as many A4 sheets as it takes.
#include "invoice/full_view.h"
#include "invoice/sheet_flow.h"
#include "numbers/regional.h"

namespace crv {

// The sheets of one file. Needs a running QGuiApplication for the measures.
std::vector<Sheet> layoutFullView(const FullView& view, const Regional& regional);

}  // namespace crv
