#pragma once
// Reads a workbook back with an independent reader (Python's openpyxl, from
// Debian's own python3) so that tests compare what a spreadsheet program sees.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <QJsonValue>

namespace crv::test {

struct XlsxCell {
    std::string type;    // "s" text, "n" number, "d" date, "empty"
    QJsonValue value;    // text, number, or ISO date-time text
    std::string format;  // number format ("General", "dd/mm/yyyy"...)
    bool bold = false;

    std::string text() const { return value.toString().toStdString(); }
};

struct XlsxSheetRead {
    std::vector<std::vector<XlsxCell>> rows;   // row 1 first; short rows padded with empty cells
    std::map<std::string, double> widths;      // by column letter
    std::string freeze;                        // top-left cell of the scrolling pane, e.g. "A2"

    // The cell at a 1-based row and column ("empty" beyond the data).
    XlsxCell at(int row, int col) const;
};

// Reads the first sheet; fails the current test (and returns nothing) when
// no python3 with openpyxl is found or the file cannot be read.
XlsxSheetRead readXlsx(const std::filesystem::path& file);

}  // namespace crv::test
