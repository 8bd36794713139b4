#include "db/copy_spool.h"

#include <cerrno>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include <QDir>

#include "db/db_error.h"
#include "db/pg_row_writer.h"
#include "files/system_reason.h"

namespace crv::db {

namespace {

// Rows kept in memory before they go to the scratch file, and the pieces
// the file is written and read back in.
constexpr qsizetype kInMemory = 4 << 20;
constexpr std::size_t kPiece = 256 << 10;

const char* const kWriteContext = "Impossibile scrivere le righe da inviare al database nella cartella temporanea";

// A file nobody else can open, gone when it is closed: O_TMPFILE where the
// file system has it, else a unique name removed at once.
int unnamedFile(const std::string& folder)
{
#ifdef O_TMPFILE
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
#endif
    std::string pattern = folder + "/crvxml-righe.XXXXXX";
    const int named = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (named >= 0) ::unlink(pattern.c_str());
    return named;
}

// A field's text with the escapes appendCopyField wrote undone.
QByteArray unescaped(const QByteArray& field)
{
    if (!field.contains('\\')) return field;
    QByteArray text;
    text.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            text += field[i];
            continue;
        }
        const char c = field[++i];
        text += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return text;
}

}  // namespace

CopySpool::~CopySpool()
{
    if (file_ >= 0) ::close(file_);
}

void CopySpool::field(const std::optional<QByteArray>& text)
{
    if (rowOpen_) memory_ += '\t';
    rowOpen_ = true;
    appendCopyField(memory_, text);
}

void CopySpool::endRow()
{
    memory_ += '\n';
    rowOpen_ = false;
    ++rows_;
    if (memory_.size() >= kInMemory) spill();
}

void CopySpool::spill()
{
    const std::string folder = QDir::tempPath().toStdString();
    if (file_ < 0) {
        file_ = unnamedFile(folder);
        if (file_ < 0) throw DbError(kWriteContext, motivoDiScrittura(folder, errno));
    }
    const char* data = memory_.constData();
    std::size_t left = static_cast<std::size_t>(memory_.size());
    while (left > 0) {
        const ssize_t n = ::pwrite(file_, data, std::min(left, kPiece), static_cast<off_t>(spilled_));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw DbError(kWriteContext, motivoDiScrittura(folder, n < 0 ? errno : ENOSPC));
        data += n;
        left -= static_cast<std::size_t>(n);
        spilled_ += static_cast<std::uint64_t>(n);
    }
    memory_.clear();
}

void CopySpool::replay(const std::function<void(const char*, std::size_t)>& sink) const
{
    if (spilled_ > 0) {
        std::string piece(kPiece, '\0');
        std::uint64_t at = 0;
        while (at < spilled_) {
            const ssize_t n = ::pread(file_, piece.data(), piece.size(), static_cast<off_t>(at));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0)
                throw DbError("Impossibile rileggere le righe da inviare al database dalla cartella temporanea",
                              n < 0 ? motivoDiSistema(errno) : "file troncato");
            sink(piece.data(), static_cast<std::size_t>(n));
            at += static_cast<std::uint64_t>(n);
        }
    }
    for (qsizetype at = 0; at < memory_.size(); at += static_cast<qsizetype>(kPiece))
        sink(memory_.constData() + at, static_cast<std::size_t>(std::min<qsizetype>(kPiece, memory_.size() - at)));
}

void CopySpool::forEachRow(const std::function<void(const std::vector<std::optional<QByteArray>>&)>& row) const
{
    std::vector<std::optional<QByteArray>> fields;
    QByteArray current;
    bool escaped = false;
    auto endField = [&] {
        if (current == "\\N")
            fields.emplace_back();
        else
            fields.emplace_back(unescaped(current));
        current.clear();
    };
    replay([&](const char* data, std::size_t size) {
        const char* const end = data + size;
        const char* p = data;
        while (p != end) {
            if (escaped) {
                current += *p++;
                escaped = false;
                continue;
            }
            // The plain bytes up to the next tab, line end or backslash go whole.
            const char* run = p;
            while (run != end && *run != '\t' && *run != '\n' && *run != '\\') ++run;
            current.append(p, run - p);
            p = run;
            if (p == end) break;
            const char c = *p++;
            if (c == '\\') {
                current += c;
                escaped = true;
            } else if (c == '\t') {
                endField();
            } else {
                endField();
                row(fields);
                fields.clear();
            }
        }
    });
}

void CopySpool::clear()
{
    memory_.clear();
    rowOpen_ = false;
    rows_ = 0;
    spilled_ = 0;
    if (file_ >= 0 && ::ftruncate(file_, 0) != 0) {
        ::close(file_);
        file_ = -1;
    }
}

}  // namespace crv::db
