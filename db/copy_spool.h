#pragma once
// Rows in the text form of PostgreSQL's COPY, gathered while a run goes on
// and sent later in one COPY, so that the run never waits for the server in
// between. The first megabytes stay in memory; beyond them the rows go to an
// unnamed scratch file in the temporary folder, which vanishes with the
// object (or the process, however it ends): a run of any size keeps little
// in memory.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include <QByteArray>

namespace crv::db {

class CopySpool {
public:
    CopySpool() = default;
    ~CopySpool();
    CopySpool(const CopySpool&) = delete;
    CopySpool& operator=(const CopySpool&) = delete;

    // Adds one field to the row being written (nothing: NULL).
    void field(const std::optional<QByteArray>& text);
    // Ends the row. Throws DbError when the scratch file cannot be written.
    void endRow();

    std::size_t rows() const { return rows_; }
    bool empty() const { return rows_ == 0; }
    std::uint64_t bytes() const { return spilled_ + static_cast<std::uint64_t>(memory_.size()); }

    // Hands every byte written, in order, to `sink` in pieces; throws DbError
    // when the scratch file cannot be read back. `sink` may throw.
    void replay(const std::function<void(const char* data, std::size_t size)>& sink) const;
    // Calls `row` with the fields of each row, in order, as field() took
    // them (the same escapes undone). Throws DbError as replay() does.
    void forEachRow(const std::function<void(const std::vector<std::optional<QByteArray>>& fields)>& row) const;
    // Forgets every row.
    void clear();

private:
    void spill();

    QByteArray memory_;
    bool rowOpen_ = false;
    std::size_t rows_ = 0;
    int file_ = -1;
    std::uint64_t spilled_ = 0;  // bytes in the scratch file
};

}  // namespace crv::db
