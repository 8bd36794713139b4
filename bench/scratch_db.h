#pragma once
// A fresh case database with the suite's tables, for one measurement: a new
// SQLite file in the scratch folder, or a schema of its own on the benchmark
// PostgreSQL server, reached through Qt's own driver or through ODBC (Debian's
// SQLite and PostgreSQL drivers). Removed again when the object goes.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include <QString>

#include "db/database.h"
#include "workloads.h"

namespace crv::bench {

class ScratchDatabase {
public:
    // `tag` names the file or schema (letters, digits, underscores).
    ScratchDatabase(Target target, const std::filesystem::path& work, const std::string& pgConn,
                    const std::string& tag);
    ~ScratchDatabase();
    ScratchDatabase(const ScratchDatabase&) = delete;
    ScratchDatabase& operator=(const ScratchDatabase&) = delete;

    // The connection string of the scratch database.
    const std::string& connString() const { return connString_; }
    // A new connection to it.
    std::unique_ptr<db::Database> open() const;
    // Rows of a table, counted on a connection of its own.
    long countRows(const QString& table) const;
    // Size of the SQLite file; 0 for PostgreSQL.
    std::uint64_t fileBytes() const;

private:
    Target target_;
    std::filesystem::path sqliteFile_;
    std::string server_;  // PostgreSQL: the server's own connection string
    std::string schema_;  // PostgreSQL: the schema made for this measurement
    std::string connString_;
};

}  // namespace crv::bench
