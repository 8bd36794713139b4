// crvxml-bench-gia-presenti: what looking for the cases already in the
// archive adds to a normal run. A fresh archive already holding M case rows
// (1,000,000 unless given) for each measurement, with an index on posizione
// (as init-db makes it) and without one (as the suite's own schema has it);
// the file's N cases are imported with the check and without it
// (--anche-gia-presenti), in turn, and the check alone is timed on its own
// archive.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

#include "cpu_clock.h"
#include "db/database.h"
#include "import/already_imported.h"
#include "import/case_codes.h"
#include "import/case_writer.h"
#include "import/driver.h"
#include "scratch_db.h"
#include "xml/xml_document.h"

namespace crv::bench {
namespace {

const char* const kUsage =
    "Uso: crvxml-bench-gia-presenti [--rows M] [--pg CONN] [--work DIR] [--repeat R] [--odbc] FILE\n"
    "\n"
    "Per SQLite e (con --pg o CRVXML_BENCH_PG) PostgreSQL, in un archivio nuovo che\n"
    "ha gia' M pratiche (1000000 se non dato) con codici diversi da quelli di FILE,\n"
    "con l'indice su posizione e senza:\n"
    "  importazione normale di FILE (Corvestra) con il controllo delle pratiche gia' presenti\n"
    "  la stessa senza il controllo (--anche-gia-presenti)\n"
    "  il controllo da solo (codici del file e ricerca in archivio), documento gia' caricato\n"
    "Ogni misura R volte (predefinito 1), a turno; conta la piu' veloce.\n"
    "  --solo-controllo   solo il controllo, senza le importazioni\n"
    "  --odbc             anche attraverso ODBC (driver SQLite3 e PostgreSQL Unicode)\n";

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class Quiet final : public RunListener {
public:
    void listingLine(std::string_view) override {}
    void message(std::string_view text, Box) override { last = std::string(text); }
    bool progress(const RunProgress&) override { return true; }
    std::string last;
};

// The archive's M rows: codes of the delivery's form, in a range of their own,
// in batches of 10,000, made by the database itself; without `indexed`, the
// index on posizione that init-db made goes.
void prefill(const ScratchDatabase& scratch, Target target, long rows, bool indexed)
{
    const auto db = scratch.open();
    const QString n = QString::number(rows);
    if (!indexed) db->execute(QStringLiteral("DROP INDEX ix_tabella_pratiche_posizione"));
    if (sqliteFile(target)) {
        db->execute(QStringLiteral(
                        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                        "INSERT INTO \"Tabella Pratiche\" (posizione, lottoimportazione, \"Ragione sociale\", "
                        "\"importo totale\") SELECT CAST(500000000 + i AS TEXT), 1 + i / 10000, "
                        "'CLIENTE ' || i, 100 FROM n")
                        .arg(n));
    } else {
        db->execute(QStringLiteral("INSERT INTO \"Tabella Pratiche\" (posizione, lottoimportazione, "
                                   "\"Ragione sociale\", \"importo totale\") SELECT CAST(500000000 + i AS TEXT), "
                                   "1 + i / 10000, 'CLIENTE ' || i, 100 FROM generate_series(1, %1) i")
                        .arg(n));
    }
    db->execute(QStringLiteral("ANALYZE"));
    // The archive's pages on disk before the run: its commit must not pay for
    // writing out the prefill (which made an unindexed archive look slower).
    ::sync();
}

struct Options {
    std::filesystem::path file;
    long rows = 1000000;
    int repeat = 1;
    std::string pg;
    std::filesystem::path work;
    bool soloControllo = false;
    bool odbc = false;
};

struct Times {
    double withCheck = 1e9, without = 1e9, check = 1e9, checkCpu = 0;
    double withCheckCpu = 1e9, withoutCpu = 1e9;  // this process only: the server's work is not in it
};

// Wall clock and processor time of one measurement.
using Seconds = std::pair<double, double>;

// One normal run of the file into a fresh archive of M rows.
Seconds importOnce(const Options& o, Target target, bool indexed, bool check, const std::string& tag)
{
    SuitePaths paths{o.work / "suite"};
    std::filesystem::create_directories(paths.importDir());
    std::filesystem::create_directories(paths.dataDir());
    const auto link = paths.importDir() / "bench.xml";
    std::filesystem::remove(link);
    std::filesystem::create_symlink(std::filesystem::absolute(o.file), link);

    const ScratchDatabase scratch(target, o.work, o.pg, tag);
    prefill(scratch, target, o.rows, indexed);
    RunParams p;
    p.fileName = "bench.xml";
    p.mandato = "BEN";
    p.dataAffido = "01/04/2026";
    p.scadenza = "30/06/2026";
    p.intervento = "ESA";
    p.sitAffido = "AFF";
    p.dettagli = false;
    p.soloTest = false;
    p.ancheGiaPresenti = !check;
    const Regional regional = Regional::italian();
    std::unique_ptr<db::Database> connection = scratch.open();
    const StoreOpener opener = [&](const RunParams& params) -> std::unique_ptr<CaseStore> {
        return std::make_unique<DbCaseStore>(std::move(connection), params, regional);
    };
    Quiet listener;
    const CpuClock cpu;
    const auto start = Clock::now();
    const RunResult run = lavora(p, paths, regional, listener, opener);
    const Seconds seconds{since(start), cpu.elapsed()};
    if (run.outcome != RunOutcome::Concluded) throw std::runtime_error("importazione non conclusa: " + run.message);
    return seconds;
}

// The check alone: the file's codes and their search, on an archive of M rows.
Seconds checkOnce(const Options& o, Target target, bool indexed, const std::string& tag)
{
    const ScratchDatabase scratch(target, o.work, o.pg, tag);
    prefill(scratch, target, o.rows, indexed);
    XmlDocument doc;
    if (!doc.load(o.file)) throw std::runtime_error("file non leggibile: " + o.file.string());
    std::vector<pugi::xml_node> cases;
    for (const pugi::xml_node c : doc.documentElement().children("PRATICA")) cases.push_back(c);
    const auto db = scratch.open();
    const CpuClock cpu;
    const auto start = Clock::now();
    CodiciFile codici;
    for (const pugi::xml_node c : cases) codici.aggiungi(codiceDaScrivere(c, false));
    const double reading = since(start);
    const GiaPresenti fatti = giaPresenti(*db, codici);
    const double seconds = since(start);
    std::fprintf(stderr, "  controllo: codici del file %.2f s, ricerca in archivio %.2f s\n", reading,
                 seconds - reading);
    if (fatti.presenti != 0 || fatti.praticheFile != static_cast<int>(cases.size()))
        throw std::runtime_error("controllo inatteso: " + testoGiaPresenti(fatti, Regional::italian()));
    return {seconds, cpu.elapsed()};
}

int run(const Options& o)
{
    std::vector<std::pair<Target, const char*>> targets{{Target::SQLite, "SQLite"}};
    if (!o.pg.empty()) targets.push_back({Target::PostgreSQL, "PostgreSQL"});
    if (o.odbc) {
        targets.push_back({Target::OdbcSQLite, "ODBC SQLite"});
        if (!o.pg.empty()) targets.push_back({Target::OdbcPostgreSQL, "ODBC PG"});
    }
    std::printf("%-22s %9s %9s %9s %9s %9s %9s %9s %9s %9s\n", "archivio", "con s", "senza s", "con/senza",
                "cpu con", "cpu senza", "cpu c/s", "ctrl s", "ctrl cpu", "ctrl/sz");
    for (const auto& [target, name] : targets) {
        Times byIndex[2];  // [0] without the index, [1] with it
        for (const bool indexed : {true, false}) {
            Times& t = byIndex[indexed ? 1 : 0];
            for (int r = 0; r < o.repeat; ++r) {
                const std::string tag = std::string(indexed ? "gpi" : "gpn") + std::to_string(r);
                // In turn, so that a slower spell of the machine weighs on both.
                auto measure = [&](bool check) {
                    const auto [wall, cpu] = importOnce(o, target, indexed, check, tag + (check ? "c" : "s"));
                    (check ? t.withCheck : t.without) = std::min(check ? t.withCheck : t.without, wall);
                    (check ? t.withCheckCpu : t.withoutCpu) = std::min(check ? t.withCheckCpu : t.withoutCpu, cpu);
                };
                if (o.soloControllo) {
                    t.withCheck = t.without = t.withCheckCpu = t.withoutCpu = 1;
                } else {
                    measure(r % 2 == 0);
                    measure(r % 2 != 0);
                }
                const auto [seconds, cpu] = checkOnce(o, target, indexed, tag + "k");
                if (seconds < t.check) {
                    t.check = seconds;
                    t.checkCpu = cpu;
                }
            }
            const std::string label = std::string(name) + (indexed ? ", indice" : ", senza indice");
            std::printf("%-22s %9.2f %9.2f %9.3f %9.2f %9.2f %9.3f %9.2f %9.2f %9.3f\n", label.c_str(), t.withCheck,
                        t.without, t.withCheck / t.without, t.withCheckCpu, t.withoutCpu,
                        t.withCheckCpu / t.withoutCpu, t.check, t.checkCpu, t.check / t.without);
            std::fflush(stdout);
        }
        if (!o.soloControllo)
            std::printf("%-22s importazione senza indice / con indice: %.3f (cpu %.3f)\n", name,
                        byIndex[0].withCheck / byIndex[1].withCheck, byIndex[0].withCheckCpu / byIndex[1].withCheckCpu);
        std::printf("%-22s controllo senza indice / con indice: %.3f (cpu %.3f)\n", name,
                    byIndex[0].check / byIndex[1].check, byIndex[0].checkCpu / byIndex[1].checkCpu);
        std::fflush(stdout);
    }
    std::printf("Obiettivi: con/senza <= 1,05 (il controllo da solo <= 5%% dell'importazione);\n"
                "importazione senza indice <= 1,2 volte quella con indice.\n");
    return 0;
}

}  // namespace
}  // namespace crv::bench

int main(int argc, char** argv)
{
    using namespace crv::bench;
    Options o;
    if (const char* pg = std::getenv("CRVXML_BENCH_PG")) o.pg = pg;
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--rows" && hasValue) {
            o.rows = std::stol(args[++i]);
        } else if (a == "--repeat" && hasValue) {
            o.repeat = std::max(1, std::stoi(args[++i]));
        } else if (a == "--pg" && hasValue) {
            o.pg = args[++i];
        } else if (a == "--solo-controllo") {
            o.soloControllo = true;
        } else if (a == "--odbc") {
            o.odbc = true;
        } else if (a == "--work" && hasValue) {
            o.work = args[++i];
        } else if (a == "--help" || a.rfind("--", 0) == 0 || !o.file.empty()) {
            std::fputs(kUsage, a == "--help" ? stdout : stderr);
            return a == "--help" ? 0 : 2;
        } else {
            o.file = a;
        }
    }
    if (o.file.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const bool ownWork = o.work.empty();
    if (ownWork) o.work = std::filesystem::temp_directory_path() / ("crvxml-bench-gp-" + std::to_string(::getpid()));
    std::filesystem::create_directories(o.work);
    int status = 1;
    try {
        status = run(o);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
    if (ownWork) std::filesystem::remove_all(o.work);
    return status;
}
