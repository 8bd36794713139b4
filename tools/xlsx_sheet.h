#pragma once
// A new .xlsx workbook with one sheet, written row after row with
// libxlsxwriter in its constant-memory mode: each row goes to a scratch file
// as soon as the next one starts, so memory stays flat however many rows.
// Every write of the library, of its scratch files and of the workbook is
// checked: a failure throws, it never yields a damaged or short workbook.
#include <cstddef>
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
    // Creates the workbook at `file` (written at close()), its scratch files
    // in `scratchFolder` (the folder of `file` when empty). Dates are shown
    // in the regional order with four-digit years. Messages name `shownAs`
    // when given (the file the operator asked for, when `file` is a
    // temporary one renamed into place later) and its folder. Throws XlsxError.
    XlsxSheet(const std::filesystem::path& file, DateOrder dateOrder, const std::filesystem::path& shownAs = {},
              const std::filesystem::path& scratchFolder = {});
    // Drops the workbook, writing nothing, if close() was not called.
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

    // Writes the file, checks it whole and flushes it to the disk. Throws
    // XlsxError naming the folder and the reason when it cannot.
    void close();

private:
    void check(int error, int row, int col) const;
    // The scratch file of the rows refused a write.
    void checkRows() const;
    [[noreturn]] void fail(const std::string& reason) const;

    std::filesystem::path file_;
    std::filesystem::path shown_;   // the file the messages name
    std::filesystem::path folder_;  // the folder the messages name: where the workbook goes
    std::string scratch_;           // the library keeps a pointer to it
    std::filesystem::path scratchShown_;  // the folder messages about the scratch files name
    lxw_workbook* workbook_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    lxw_format* bold_ = nullptr;
    lxw_format* decimal_ = nullptr;
    lxw_format* date_ = nullptr;
    lxw_format* dateTime_ = nullptr;
};

// The largest number of characters (UTF-16 units, as Excel counts) a cell holds.
inline constexpr std::size_t kMaxCellChars = 32767;

// A spreadsheet program reads "_xHHHH_" in a cell's text as the character
// HHHH, so the sheet writes such a sequence of the text itself with its
// underscore escaped ("_x005F_xHHHH_"): six characters more, which count
// against the cell's limit when the library checks it.
inline constexpr std::size_t kEscapeGrowth = 6;

// Whether a sequence "_xHHHH_" (H a hexadecimal digit) starts at `i`.
template <typename Char>
constexpr bool escapeSequenceAt(std::basic_string_view<Char> text, std::size_t i)
{
    auto hex = [](Char c) {
        return (c >= Char('0') && c <= Char('9')) || (c >= Char('a') && c <= Char('f')) ||
               (c >= Char('A') && c <= Char('F'));
    };
    return i + 6 < text.size() && text[i] == Char('_') && text[i + 1] == Char('x') && hex(text[i + 2]) &&
           hex(text[i + 3]) && hex(text[i + 4]) && hex(text[i + 5]) && text[i + 6] == Char('_');
}

}  // namespace crv::tools
