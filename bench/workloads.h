#pragma once
// The measured workloads of crvxml-bench. Each runs inside a child process
// of its own, so that the peak memory the child reports is that of the one
// workload; the time covers the workload only, not the preparation of a
// scratch database.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "app/suite_root.h"

namespace crv::bench {

enum class Mode {
    Parse,     // (a) load with XmlDocument, nodeText of every element of every case
    TestNull,  // (b) test-mode import, listing thrown away
    TestFile,  // (c) test-mode import, listing written to a file
    Baseline,  // (e) (a) plus one plain insert per case in one transaction
    Import,    // (d) normal import into a fresh database
    Copy,      // (f) (a) plus the same rows as (e) by COPY (PostgreSQL)
};

// The database of a measurement, and the driver that reaches it.
enum class Target { None, SQLite, PostgreSQL, OdbcSQLite, OdbcPostgreSQL };

// The database behind the target is an SQLite file (directly or through ODBC).
inline bool sqliteFile(Target t) { return t == Target::SQLite || t == Target::OdbcSQLite; }
// The target needs the PostgreSQL server.
inline bool needsServer(Target t) { return t == Target::PostgreSQL || t == Target::OdbcPostgreSQL; }

struct WorkOptions {
    Mode mode = Mode::Parse;
    Target target = Target::None;
    std::filesystem::path file;  // the case file
    std::filesystem::path work;  // scratch folder for suite roots, listings, databases
    bool bank = false;           // bank format: case elements `documento`
    bool dettagli = true;        // "Dettagli": the memo of each case in the listing
    std::string pgConn;          // server for the PostgreSQL targets
};

struct WorkResult {
    double seconds = 0;        // wall clock
    double cpuSeconds = 0;     // user + system of this process
    double loadSeconds = 0;    // of which loading the document (the baselines only)
    long cases = 0;
    long rows = 0;             // rows found in the database afterwards (all tables written)
    std::uint64_t extraBytes = 0;  // listing file or SQLite file size
};

// Runs one workload; throws std::runtime_error with the reason on failure
// (a run that does not end with "Importazione Conclusa" among them).
WorkResult runWorkload(const WorkOptions& options);

// A suite root of its own, under the work folder, whose import folder holds
// the case file (a link named bench.xml).
SuitePaths suiteFor(const WorkOptions& o, const std::string& tag);

// Peak resident memory of this process so far (VmHWM), in KiB; 0 when unknown.
long peakResidentKb();

const char* modeName(Mode mode);
std::optional<Mode> modeFromName(const std::string& name);

}  // namespace crv::bench
