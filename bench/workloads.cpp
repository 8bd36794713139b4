#include "workloads.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <vector>

#include "app/suite_root.h"
#include "baseline_insert.h"
#include "cpu_clock.h"
#include "import/case_writer.h"
#include "import/driver.h"
#include "numbers/regional.h"
#include "scratch_db.h"
#include "touch.h"

namespace crv::bench {
namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The listing goes nowhere; the last message is kept for the report.
class NullListener : public RunListener {
public:
    void listingLine(std::string_view) override {}
    void message(std::string_view text, Box) override { last_ = std::string(text); }
    bool progress(const RunProgress&) override { return true; }
    const std::string& lastMessage() const { return last_; }

private:
    std::string last_;
};

// The listing goes to a file, one line each, as the command line writes it.
class FileListener final : public NullListener {
public:
    explicit FileListener(const std::filesystem::path& path) : path_(path), buffer_(std::size_t{1} << 16)
    {
        file_ = std::fopen(path.c_str(), "wb");
        if (file_ == nullptr)
            throw std::runtime_error("impossibile creare " + path.string() + ": " + std::strerror(errno));
        std::setvbuf(file_, buffer_.data(), _IOFBF, buffer_.size());
    }
    ~FileListener() override { close(); }
    void listingLine(std::string_view line) override
    {
        std::fwrite(line.data(), 1, line.size(), file_);
        std::fputc('\n', file_);
    }
    void close()
    {
        if (file_ != nullptr && std::fclose(file_) != 0)
            throw std::runtime_error("errore di scrittura su " + path_.string());
        file_ = nullptr;
    }

private:
    std::filesystem::path path_;
    std::vector<char> buffer_;
    std::FILE* file_ = nullptr;
};


RunParams paramsFor(const WorkOptions& o, bool soloTest)
{
    RunParams p;
    p.fileName = "bench.xml";
    p.mandato = "BENCH";
    p.dataAffido = "01/04/2026";
    p.scadenza = "30/06/2026";
    p.intervento = "ESA";
    p.sitAffido = "AFF";
    p.dettagli = o.dettagli;
    p.soloTest = soloTest;
    p.usaAccess = false;  // the configured connection: the writer fills the seat_ fields too
    p.modoDocumento = o.bank;
    return p;
}

std::string tagFor(const WorkOptions& o)
{
    std::string tag = modeName(o.mode);
    for (char& c : tag)
        if (c == '-') c = '_';
    if (o.target == Target::SQLite) tag += "_sqlite";
    if (o.target == Target::PostgreSQL) tag += "_pg";
    if (o.target == Target::OdbcSQLite) tag += "_odbc_sqlite";
    if (o.target == Target::OdbcPostgreSQL) tag += "_odbc_pg";
    return tag;
}

void requireConcluded(const RunResult& r)
{
    if (r.outcome != RunOutcome::Concluded) throw std::runtime_error("importazione non conclusa: " + r.message);
}

WorkResult parseAndTouch(const WorkOptions& o)
{
    WorkResult result;
    const CpuClock cpu;
    const auto start = Clock::now();
    XmlDocument doc;
    loadOrThrow(doc, o.file);
    result.loadSeconds = since(start);
    std::uint64_t characters = 0;
    for (const pugi::xml_node c : doc.documentElement().children(caseElementName(o.bank))) {
        characters += touchCase(c);
        ++result.cases;
    }
    result.seconds = since(start);
    result.cpuSeconds = cpu.elapsed();
    result.extraBytes = characters;
    return result;
}

WorkResult testImport(const WorkOptions& o, bool toFile)
{
    const SuitePaths paths = suiteFor(o, tagFor(o));
    const RunParams params = paramsFor(o, true);
    const Regional regional = Regional::italian();
    const StoreOpener noStore = [](const RunParams&) -> std::unique_ptr<CaseStore> {
        throw std::logic_error("una prova non apre l'archivio");
    };
    const auto listingPath = o.work / "listing.txt";

    WorkResult result;
    const CpuClock cpu;
    const auto start = Clock::now();
    RunResult run;
    if (toFile) {
        FileListener listener(listingPath);
        run = lavora(params, paths, regional, listener, noStore);
        listener.close();
    } else {
        NullListener listener;
        run = lavora(params, paths, regional, listener, noStore);
    }
    result.seconds = since(start);
    result.cpuSeconds = cpu.elapsed();
    requireConcluded(run);
    result.cases = run.counters.praticheImportate;
    if (toFile) {
        result.extraBytes = std::filesystem::file_size(listingPath);
        std::filesystem::remove(listingPath);
    }
    return result;
}

WorkResult databaseImport(const WorkOptions& o)
{
    const std::string tag = tagFor(o);
    const SuitePaths paths = suiteFor(o, tag);
    const RunParams params = paramsFor(o, false);
    const Regional regional = Regional::italian();
    const ScratchDatabase scratch(o.target, o.work, o.pgConn, tag);
    std::unique_ptr<db::Database> connection = scratch.open();
    const StoreOpener opener = [&](const RunParams& p) -> std::unique_ptr<CaseStore> {
        if (!connection) throw std::logic_error("archivio già aperto");
        return std::make_unique<DbCaseStore>(std::move(connection), p, regional);
    };

    WorkResult result;
    NullListener listener;
    const CpuClock cpu;
    const auto start = Clock::now();
    const RunResult run = lavora(params, paths, regional, listener, opener);
    result.seconds = since(start);
    result.cpuSeconds = cpu.elapsed();
    requireConcluded(run);
    result.cases = run.counters.praticheImportate;

    const long pratiche = scratch.countRows(QStringLiteral("Tabella Pratiche"));
    if (pratiche != result.cases)
        throw std::runtime_error("pratiche importate " + std::to_string(result.cases) + ", righe trovate " +
                                 std::to_string(pratiche));
    result.rows = pratiche + scratch.countRows(QStringLiteral("tabella fatture"));
    result.extraBytes = scratch.fileBytes();
    return result;
}

}  // namespace

// A suite root of its own whose import folder holds the case file (a link).
SuitePaths suiteFor(const WorkOptions& o, const std::string& tag)
{
    SuitePaths paths{o.work / ("suite-" + tag)};
    std::filesystem::create_directories(paths.importDir());
    std::filesystem::create_directories(paths.dataDir());
    const auto link = paths.importDir() / "bench.xml";
    std::error_code ec;
    std::filesystem::remove(link, ec);
    std::filesystem::create_symlink(std::filesystem::absolute(o.file), link);
    return paths;
}

WorkResult runWorkload(const WorkOptions& o)
{
    switch (o.mode) {
    case Mode::Parse: return parseAndTouch(o);
    case Mode::TestNull: return testImport(o, false);
    case Mode::TestFile: return testImport(o, true);
    case Mode::Import: return databaseImport(o);
    case Mode::Baseline: {
        const ScratchDatabase scratch(o.target, o.work, o.pgConn, tagFor(o));
        return baselineInsert(o, scratch);
    }
    case Mode::Copy: {
        const ScratchDatabase scratch(o.target, o.work, o.pgConn, tagFor(o));
        return baselineCopy(o, scratch);
    }
    }
    throw std::logic_error("modo sconosciuto");
}

long peakResidentKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return 0;
}

const char* modeName(Mode mode)
{
    switch (mode) {
    case Mode::Parse: return "parse";
    case Mode::TestNull: return "test-null";
    case Mode::TestFile: return "test-file";
    case Mode::Baseline: return "baseline";
    case Mode::Import: return "import";
    case Mode::Copy: return "copy";
    }
    return "?";
}

std::optional<Mode> modeFromName(const std::string& name)
{
    for (const Mode m : {Mode::Parse, Mode::TestNull, Mode::TestFile, Mode::Baseline, Mode::Import, Mode::Copy})
        if (name == modeName(m)) return m;
    return std::nullopt;
}

}  // namespace crv::bench
