#pragma once
// A new .xlsx workbook with one sheet, written row after row with
// libxlsxwriter in its constant-memory mode: each row goes to a temporary
// file as soon as the next one starts, so memory stays flat however many rows.
#include <filesystem>
#include <stdexcept>
#include <string_view>

#include "numbers/regional.h"

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace crv::tools {

// The workbook could not be made or written; the text names the file and the cell.
class XlsxError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// One workbook with one sheet being written.
class XlsxSheet {
public:
    // Creates the workbook at `file` (written at close()). Dates are shown
    // in the regional order with four-digit years. Throws XlsxError.
    XlsxSheet(const std::filesystem::path& file, DateOrder dateOrder);
    // Closes the workbook if close() was not called (errors ignored).
    ~XlsxSheet();
    XlsxSheet(const XlsxSheet&) = delete;
    XlsxSheet& operator=(const XlsxSheet&) = delete;

    // Cells, rows and columns from 0; rows must come in order. Each throws
    // XlsxError naming the cell when the library refuses it.
    void heading(int row, int col, std::string_view utf8);   // bold text
    void text(int row, int col, std::string_view utf8);
    void integer(int row, int col, double value);             // general number form
    void decimal(int row, int col, double value);             // 1.234,50 with up to 4 decimals
    void date(int row, int col, int year, int month, int day);
    void dateTime(int row, int col, int year, int month, int day, int hour, int minute, double second);

    // Width of a column in characters; may be set after its cells.
    void columnWidth(int col, double width);
    // Keeps the first row in view while scrolling.
    void freezeFirstRow();

    // Writes the file. Throws XlsxError when it cannot.
    void close();

private:
    void check(int error, int row, int col) const;

    std::filesystem::path file_;
    lxw_workbook* workbook_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    lxw_format* bold_ = nullptr;
    lxw_format* decimal_ = nullptr;
    lxw_format* date_ = nullptr;
    lxw_format* dateTime_ = nullptr;
};

// The largest number of characters (UTF-16 units, as Excel counts) a cell holds.
inline constexpr std::size_t kMaxCellChars = 32767;

}  // namespace crv::tools
