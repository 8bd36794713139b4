#include "tools/xlsx_sheet.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>
#include <xlsxwriter.h>

#include "files/system_reason.h"
#include "files/whole_file.h"
#include "tools/xlsx_check.h"

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

// The library's failures in the operator's language: a file it could not
// make or write gets the system's reason (the error the library met, or a
// full disk under the folder); the rarer ones keep the library's own text.
std::string reason(lxw_error error, const std::filesystem::path& folder, int systemError)
{
    switch (error) {
    case LXW_ERROR_MEMORY_MALLOC_FAILED: return "memoria insufficiente";
    case LXW_ERROR_CREATING_XLSX_FILE:
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_PARAMETER_ERROR:
    case LXW_ERROR_ZIP_BAD_ZIP_FILE:
    case LXW_ERROR_ZIP_INTERNAL_ERROR:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE: return motivoDiScrittura(folder, systemError);
    case LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED: return "testo oltre 32.767 caratteri";
    default: return lxw_strerror(error);
    }
}

// After a failed close the library leaves a scratch file open, unlinked,
// holding its space until the program ends (the window runs for days):
// its descriptor is closed. The library keeps no reference to it by then.
void closeLeftoverFiles(const std::string& folder)
{
#ifdef __linux__
    std::error_code ec;
    const std::string prefix = std::filesystem::absolute(folder, ec).lexically_normal().string() + "/";
    std::vector<int> leftovers;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
        const std::string target = std::filesystem::read_symlink(entry.path(), ec).string();
        if (ec || !target.starts_with(prefix)) continue;
        const std::string name = entry.path().filename().string();
        int fd = -1;
        if (std::from_chars(name.data(), name.data() + name.size(), fd).ec == std::errc()) leftovers.push_back(fd);
    }
    for (const int fd : leftovers) ::close(fd);
#else
    (void)folder;
#endif
}

}  // namespace

XlsxSheet::XlsxSheet(const std::filesystem::path& file, DateOrder dateOrder, const std::filesystem::path& shownAs,
                     const std::filesystem::path& scratchFolder)
    : file_(file),
      shown_(shownAs.empty() ? file : shownAs),
      folder_(shown_.has_parent_path() ? shown_.parent_path() : std::filesystem::path(".")),
      scratch_((scratchFolder.empty() ? (file.has_parent_path() ? file.parent_path() : std::filesystem::path("."))
                                      : scratchFolder)
                   .string()),
      // A scratch folder beside the workbook is the workbook's folder to the
      // operator; one elsewhere is named itself.
      scratchShown_(std::filesystem::path(scratch_).parent_path() == folder_ ? folder_
                                                                              : std::filesystem::path(scratch_))
{
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    // Beside the workbook rather than in the system's temporary folder: the
    // rows take several times the workbook's size, too much for a small /tmp.
    options.tmpdir = scratch_.data();
    const std::string name = file.string();
    errno = 0;
    workbook_ = workbook_new_opt(name.c_str(), &options);
    if (!workbook_) fail(motivoDiScrittura(scratchShown_, errno));
    errno = 0;
    sheet_ = workbook_add_worksheet(workbook_, nullptr);
    const int error = errno;
    bold_ = workbook_add_format(workbook_);
    decimal_ = workbook_add_format(workbook_);
    date_ = workbook_add_format(workbook_);
    dateTime_ = workbook_add_format(workbook_);
    if (!sheet_ || !bold_ || !decimal_ || !date_ || !dateTime_) {
        lxw_workbook_free(workbook_);
        workbook_ = nullptr;
        fail(sheet_ ? "memoria insufficiente" : motivoDiScrittura(scratchShown_, error));
    }
    format_set_bold(bold_);
    format_set_num_format(decimal_, "#,##0.00##");
    format_set_num_format(date_, dateFormat(dateOrder));
    format_set_num_format(dateTime_, dateTimeFormat(dateOrder));
}

XlsxSheet::~XlsxSheet()
{
    if (!workbook_) return;
    // Freed without being written: the library leaves the rows' scratch
    // file open then, and it goes with its descriptor.
    if (sheet_ && sheet_->optimize_tmpfile) {
        std::fclose(sheet_->optimize_tmpfile);
        sheet_->optimize_tmpfile = nullptr;
        sheet_->file = nullptr;
    }
    lxw_workbook_free(workbook_);
}

void XlsxSheet::fail(const std::string& why) const
{
    throw XlsxError("Impossibile scrivere il file " + shown_.string() + ": " + why);
}

void XlsxSheet::checkRows() const
{
    const int error = errno;
    if (sheet_->optimize_tmpfile && std::ferror(sheet_->optimize_tmpfile)) fail(motivoDiScrittura(scratchShown_, error));
}

void XlsxSheet::check(int error, int row, int col) const
{
    if (error != LXW_NO_ERROR)
        throw XlsxError("Errore nella scrittura della cella " + cellName(row, col) + " di " + shown_.string() + ": " +
                        reason(static_cast<lxw_error>(error), folder_, errno));
    // The library writes a row out when the next one starts, and never
    // looks at the result.
    checkRows();
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
    // The last row too goes out now, so the scratch file holds every row
    // before the library copies it into the workbook.
    if (sheet_->optimize_row) lxw_worksheet_write_single_row(sheet_);
    std::uint64_t rowBytes = 0;
    if (FILE* rows = sheet_->optimize_tmpfile) {
        errno = 0;
        if (std::fflush(rows) != 0) fail(motivoDiScrittura(scratchShown_, errno));
        checkRows();
        rowBytes = static_cast<std::uint64_t>(ftello(rows));
    }
    // The library copies the rows into a second scratch file before it
    // packs them, and would not notice that the copy did not fit: a disk
    // without room for it is told now, with the room needed.
    constexpr std::uint64_t kMargin = 256 * 1024;
    if (const auto free = spazioLibero(scratch_); free && *free < rowBytes + kMargin)
        fail("disco pieno nella cartella " + scratchShown_.string() + " (servono almeno " +
             megabyte(rowBytes + kMargin) + " liberi, ce ne sono " + megabyte(*free) + ")");

    lxw_workbook* workbook = workbook_;
    workbook_ = nullptr;
    errno = 0;
    const lxw_error error = workbook_close(workbook);
    const int systemError = errno;
    if (error != LXW_NO_ERROR) {
        closeLeftoverFiles(scratch_);
        // The workbook itself is written into its own folder.
        const bool packing = error != LXW_ERROR_CREATING_TMPFILE && error != LXW_ERROR_READING_TMPFILE;
        fail(reason(error, packing ? folder_ : scratchShown_, systemError));
    }
    // The copies into the workbook are not checked by the library: the
    // workbook itself must hold every row and every part whole.
    if (const std::string problem = workbookIncompleto(file_, rowBytes); !problem.empty())
        fail(motivoDiScrittura(scratchShown_, systemError) + " (cartella di lavoro incompleta: " + problem + ")");
    if (const int syncError = syncFile(file_)) fail(motivoDiScrittura(folder_, syncError));
}

}  // namespace crv::tools
