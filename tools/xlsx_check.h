#pragma once
// The check of a workbook just written. The library that writes it copies
// its scratch files into the workbook without looking at their write
// results, so a full disk under them yields a workbook that opens as
// damaged or, worse, short of rows; the written file itself is the only
// witness left.
#include <cstdint>
#include <filesystem>
#include <string>

namespace crv::tools {

// What is wrong with the workbook at `file`, in Italian, or "" when it is
// whole: every part inflates to the size and checksum its entry records,
// each XML part but the sheet is well formed, the parts a workbook needs are
// there, and the rows of the sheet hold exactly `sheetDataBytes` bytes (all
// that was written for them).
std::string workbookIncompleto(const std::filesystem::path& file, std::uint64_t sheetDataBytes);

}  // namespace crv::tools
