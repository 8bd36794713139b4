#include "tools/xlsx_sheet.h"

#include <string>

#include <xlsxwriter.h>

namespace crv::tools {

namespace {

std::string cellName(int row, int col)
{
    std::string letters;
    for (int c = col + 1; c > 0; c = (c - 1) / 26) letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    return letters + std::to_string(row + 1);
}

const char* dateFormat(DateOrder order)
{
    switch (order) {
    case DateOrder::MonthDayYear: return "mm/dd/yyyy";
    case DateOrder::YearMonthDay: return "yyyy-mm-dd";
    case DateOrder::DayMonthYear: break;
    }
    return "dd/mm/yyyy";
}

const char* dateTimeFormat(DateOrder order)
{
    switch (order) {
    case DateOrder::MonthDayYear: return "mm/dd/yyyy hh:mm:ss";
    case DateOrder::YearMonthDay: return "yyyy-mm-dd hh:mm:ss";
    case DateOrder::DayMonthYear: break;
    }
    return "dd/mm/yyyy hh:mm:ss";
}

// The text as the sheet stores it: each "_xHHHH_" of the text itself gets
// its underscore escaped so that it reads back as it was (the library
// escapes control characters that way but leaves such sequences alone).
std::string escapedText(std::string_view text)
{
    if (text.find("_x") == std::string_view::npos) return std::string(text);
    std::string out;
    out.reserve(text.size() + 14);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (escapeSequenceAt(text, i)) {
            out += "_x005F_";
            continue;
        }
        out += text[i];
    }
    return out;
}

// The library's failures in the operator's language; the rarer ones keep
// the library's own text.
std::string reason(lxw_error error)
{
    switch (error) {
    case LXW_ERROR_MEMORY_MALLOC_FAILED: return "memoria esaurita";
    case LXW_ERROR_CREATING_XLSX_FILE:
        return "impossibile creare il file (la cartella non esiste o non si può scrivere)";
    case LXW_ERROR_CREATING_TMPFILE: return "impossibile creare un file temporaneo";
    case LXW_ERROR_READING_TMPFILE: return "impossibile rileggere un file temporaneo";
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_PARAMETER_ERROR:
    case LXW_ERROR_ZIP_BAD_ZIP_FILE:
    case LXW_ERROR_ZIP_INTERNAL_ERROR:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE: return "errore nella scrittura del file (disco pieno o file non scrivibile)";
    case LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED: return "testo oltre 32.767 caratteri";
    default: return lxw_strerror(error);
    }
}

}  // namespace

XlsxSheet::XlsxSheet(const std::filesystem::path& file, DateOrder dateOrder, const std::filesystem::path& shownAs)
    : shown_(shownAs.empty() ? file : shownAs)
{
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    const std::string name = file.string();
    workbook_ = workbook_new_opt(name.c_str(), &options);
    if (!workbook_) throw XlsxError("Impossibile creare il file " + shown_.string());
    sheet_ = workbook_add_worksheet(workbook_, nullptr);
    bold_ = workbook_add_format(workbook_);
    decimal_ = workbook_add_format(workbook_);
    date_ = workbook_add_format(workbook_);
    dateTime_ = workbook_add_format(workbook_);
    if (!sheet_ || !bold_ || !decimal_ || !date_ || !dateTime_) {
        workbook_close(workbook_);
        workbook_ = nullptr;
        throw XlsxError("Impossibile creare il file " + shown_.string());
    }
    format_set_bold(bold_);
    format_set_num_format(decimal_, "#,##0.00##");
    format_set_num_format(date_, dateFormat(dateOrder));
    format_set_num_format(dateTime_, dateTimeFormat(dateOrder));
}

XlsxSheet::~XlsxSheet()
{
    if (workbook_) workbook_close(workbook_);
}

void XlsxSheet::check(int error, int row, int col) const
{
    if (error == LXW_NO_ERROR) return;
    throw XlsxError("Errore nella scrittura della cella " + cellName(row, col) + " di " + shown_.string() + ": " +
                    reason(static_cast<lxw_error>(error)));
}

void XlsxSheet::heading(int row, int col, std::string_view utf8)
{
    const std::string text = escapedText(utf8);
    check(worksheet_write_string(sheet_, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col), text.c_str(), bold_),
          row, col);
}

void XlsxSheet::text(int row, int col, std::string_view utf8)
{
    const std::string text = escapedText(utf8);
    check(worksheet_write_string(sheet_, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col), text.c_str(), nullptr),
          row, col);
}

void XlsxSheet::integer(int row, int col, double value)
{
    check(worksheet_write_number(sheet_, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col), value, nullptr),
          row, col);
}

void XlsxSheet::decimal(int row, int col, double value)
{
    check(worksheet_write_number(sheet_, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col), value, decimal_),
          row, col);
}

void XlsxSheet::date(int row, int col, int year, int month, int day)
{
    lxw_datetime value{year, month, day, 0, 0, 0.0};
    check(worksheet_write_datetime(sheet_, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col), &value, date_),
          row, col);
}

void XlsxSheet::dateTime(int row, int col, int year, int month, int day, int hour, int minute, double second)
{
    lxw_datetime value{year, month, day, hour, minute, second};
    check(worksheet_write_datetime(sheet_, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col), &value,
                                   dateTime_),
          row, col);
}

void XlsxSheet::columnWidth(int col, double width)
{
    check(worksheet_set_column(sheet_, static_cast<lxw_col_t>(col), static_cast<lxw_col_t>(col), width, nullptr), 0,
          col);
}

void XlsxSheet::freezeFirstRow()
{
    worksheet_freeze_panes(sheet_, 1, 0);
}

void XlsxSheet::close()
{
    lxw_workbook* workbook = workbook_;
    workbook_ = nullptr;
    const lxw_error error = workbook_close(workbook);
    if (error != LXW_NO_ERROR)
        throw XlsxError("Impossibile scrivere il file " + shown_.string() + ": " + reason(error));
}

}  // namespace crv::tools
