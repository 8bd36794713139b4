// crvxml-bench: how fast and in how much memory a case file is imported,
// against what merely reading the file costs. Each measurement runs in a
// child process of its own (this program started again with --child).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "child_process.h"
#include "latency.h"
#include "workloads.h"
#include "text/encoding.h"

namespace crv::bench {
namespace {

const char* const kUsage =
    "Uso: crvxml-bench [opzioni] FILE\n"
    "\n"
    "Misura su FILE, ciascuna in un processo a parte:\n"
    "  (a) lettura con XmlDocument e testo (nodeText) di ogni elemento di ogni pratica\n"
    "  (b) importazione di prova (Solo Test), listato scartato\n"
    "  (c) importazione di prova, listato scritto su file\n"
    "  (d) importazione normale in un archivio nuovo (SQLite; PostgreSQL se c'e' il server)\n"
    "  (e) (a) piu' una insert preparata per pratica in una transazione, stesso archivio\n"
    "  (f) (a) piu' le stesse righe di (e) con COPY, in una transazione (PostgreSQL)\n"
    "  (d) anche attraverso ODBC (driver SQLite3 e PostgreSQL Unicode), da confrontare\n"
    "      con la stessa importazione attraverso i driver di Qt\n"
    "  latenze: crvxml import su un terminale, senza Dettagli: la prima riga di una\n"
    "      pratica dall'avvio (prova e normale) e Ctrl-C all'avvio, alla prima pratica e\n"
    "      a meta' di un'importazione normale, dal segnale alla fine del processo\n"
    "\n"
    "  --bank          formato banca (pratiche \"documento\")\n"
    "  --no-db         solo (a), (b) e (c)\n"
    "  --no-odbc       senza le importazioni attraverso ODBC\n"
    "  --no-latenze    senza le latenze\n"
    "  --pg CONN       server PostgreSQL (altrimenti la variabile CRVXML_BENCH_PG)\n"
    "  --work DIR      cartella di lavoro (altrimenti una temporanea, poi rimossa)\n"
    "  --repeat R      ripete ogni misura R volte e tiene la piu' veloce (predefinito 1)\n"
    "  --no-dettagli   listato senza il memo di ogni pratica (\"Dettagli\" spento)\n"
    "  --ritardo US    misura anche (f) e (d) su PostgreSQL attraverso crvxml-relay, che\n"
    "                  trattiene ogni blocco US microsecondi per verso (500: giro di 1 ms,\n"
    "                  5000: 10 ms; 0: attraverso il relay senza ritardo, il costo del relay\n"
    "                  stesso); ripetibile. Conta anche le attese del client\n";

struct Options {
    std::filesystem::path file;
    bool bank = false;
    bool db = true;
    bool odbc = true;
    bool latenze = true;
    bool dettagli = true;
    int repeat = 1;
    std::string pg;
    std::filesystem::path work;
    std::vector<long> holds;  // microseconds each way, for the measurements over a slow link
};

struct Measure {
    std::string label;
    Mode mode;
    Target target;
    std::optional<ChildResult> result;
    long hold = -1;             // through the relay holding this long each way when >= 0
    std::optional<long> waits{};  // the client's waits the relay counted (preparation included)
};

std::string targetName(Target t)
{
    switch (t) {
    case Target::SQLite: return "sqlite";
    case Target::PostgreSQL: return "pg";
    case Target::OdbcSQLite: return "odbc-sqlite";
    case Target::OdbcPostgreSQL: return "odbc-pg";
    case Target::None: break;
    }
    return "none";
}

std::vector<std::string> childArguments(const Options& o, Mode mode, Target target, const std::string& pg)
{
    std::vector<std::string> args = {"--child", modeName(mode), "--target", targetName(target), "--work",
                                     o.work.string()};
    if (o.bank) args.emplace_back("--bank");
    if (!o.dettagli) args.emplace_back("--no-dettagli");
    if (needsServer(target)) {
        args.emplace_back("--pg");
        args.push_back(pg);
    }
    args.push_back(o.file.string());
    return args;
}

void measure(const Options& o, Measure& m)
{
    const FastestRun run = fastestRun(o.repeat, m.hold, o.pg, [&](const std::string& conn) {
        return childArguments(o, m.mode, m.target, conn);
    });
    m.result = run.result;
    m.waits = run.waits;
}

// "1 ms" for a hold of 500 microseconds each way.
std::string roundTrip(long hold)
{
    if (hold == 0) return "0 ms (relay)";
    char text[32];
    std::snprintf(text, sizeof text, "%g ms", 2.0 * static_cast<double>(hold) / 1000.0);
    return text;
}

double mb(double bytes)
{
    return bytes / (1024.0 * 1024.0);
}

void printTable(double fileBytes, const std::vector<Measure>& measures)
{
    std::printf("\n%-52s %8s %8s %11s %8s %9s %10s %7s\n", "misura", "s", "cpu s", "pratiche/s", "MB/s", "picco MB",
                "picco/file", "attese");
    for (const Measure& m : measures) {
        if (!m.result) continue;
        const ChildResult& r = *m.result;
        if (!r.ok) {
            std::printf("%-52s NON RIUSCITA: %s\n", m.label.c_str(), r.error.c_str());
            continue;
        }
        const double s = r.work.seconds;
        const double peak = r.peakKb * 1024.0;
        std::printf("%-52s %8.2f %8.2f %11.0f %8.1f %9.1f %10.2f %7s\n", m.label.c_str(), s, r.work.cpuSeconds,
                    s > 0 ? r.work.cases / s : 0.0, s > 0 ? mb(fileBytes) / s : 0.0, mb(peak), peak / fileBytes,
                    m.waits ? std::to_string(*m.waits).c_str() : "");
    }
    std::printf("\n");
    for (const Measure& m : measures) {
        if (!m.result || !m.result->ok) continue;
        if (m.result->work.loadSeconds > 0)
            std::printf("%s: di cui caricamento del documento %.2f s\n", m.label.c_str(),
                        m.result->work.loadSeconds);
        if (m.mode == Mode::TestFile)
            std::printf("%s: listato di %.1f MB\n", m.label.c_str(),
                        mb(static_cast<double>(m.result->work.extraBytes)));
        if (m.target != Target::None) {
            std::string size;
            if (sqliteFile(m.target))
                size = ", archivio di " +
                       std::to_string(static_cast<long>(mb(static_cast<double>(m.result->work.extraBytes)))) + " MB";
            std::printf("%s: %ld righe scritte%s\n", m.label.c_str(), m.result->work.rows, size.c_str());
        }
    }
}

const ChildResult* find(const std::vector<Measure>& measures, Mode mode, Target target, long hold = -1)
{
    for (const Measure& m : measures)
        if (m.mode == mode && m.target == target && m.hold == hold && m.result && m.result->ok) return &*m.result;
    return nullptr;
}

void goal(const char* what, const ChildResult* top, const ChildResult* bottom, double limit)
{
    if (top == nullptr || bottom == nullptr) {
        std::printf("  %-50s   n/d\n", what);
        return;
    }
    const double ratio = top->work.seconds / bottom->work.seconds;
    std::printf("  %-50s %6.2f  (obiettivo <= %.1f)  %s", what, ratio, limit, ratio <= limit ? "OK" : "MANCATO");
    if (bottom->work.cpuSeconds > 0) std::printf("   [cpu: %.2f]", top->work.cpuSeconds / bottom->work.cpuSeconds);
    std::printf("\n");
}

// Peak resident memory of the whole program, whatever the file's size.
constexpr double kPiccoMassimoMB = 150;

void peakGoal(const char* what, const ChildResult* r)
{
    if (r == nullptr) {
        std::printf("  %-50s   n/d\n", what);
        return;
    }
    const double peak = r->peakKb / 1024.0;
    std::printf("  %-50s %6.1f MB  (obiettivo <= %.0f MB)  %s\n", what, peak, kPiccoMassimoMB,
                peak <= kPiccoMassimoMB ? "OK" : "MANCATO");
}

constexpr double kPrimaRigaMassimo = 0.5;  // seconds from the start
constexpr double kFermataMassimo = 0.3;    // seconds from Ctrl-C to the end

bool printLatency(const Options& o, Target target, long cases)
{
    WorkOptions w;
    w.file = o.file;
    w.work = o.work;
    w.bank = o.bank;
    w.dettagli = false;
    w.target = target;
    w.pgConn = o.pg;
    const Latenze l = misuraLatenze(w, cases);
    const char* db = target == Target::PostgreSQL ? "PostgreSQL" : "SQLite";
    std::printf("\nLatenze, importazione normale su %s (crvxml import su un terminale, senza Dettagli)\n", db);
    if (!l.errore.empty()) {
        std::printf("  NON RIUSCITE: %s\n", l.errore.c_str());
        return false;
    }
    bool ok = true;
    const auto riga = [&](const char* what, const std::optional<double>& s) {
        if (!s) {
            std::printf("  %-50s   nessuna riga\n", what);
            ok = false;
            return;
        }
        std::printf("  %-50s %6.3f s  (obiettivo <= %.1f s)  %s\n", what, *s, kPrimaRigaMassimo,
                    *s <= kPrimaRigaMassimo ? "OK" : "MANCATO");
    };
    riga("prima pratica, prova", l.primaRigaProva);
    riga("prima pratica, normale", l.primaRigaNormale);
    for (const Fermata& f : l.fermate) {
        const bool good = f.secondi <= kFermataMassimo && f.stato == 1 && f.archivioIntatto;
        ok = ok && good;
        // Padded by characters, not bytes: "a metà" holds a two-byte letter.
        std::string quando = f.quando;
        const std::size_t chars = utf8Length(quando);
        if (chars < 43) quando.append(43 - chars, ' ');
        std::printf("  Ctrl-C %s %6.3f s  (obiettivo <= %.1f s)  %s, uscita %d, archivio %s\n", quando.c_str(),
                    f.secondi, kFermataMassimo, good ? "OK" : "MANCATO", f.stato,
                    f.archivioIntatto ? "intatto" : "MODIFICATO");
    }
    return ok;
}

int runParent(Options o)
{
    std::error_code ec;
    const auto fileBytes = static_cast<double>(std::filesystem::file_size(o.file, ec));
    if (ec) {
        std::fprintf(stderr, "crvxml-bench: %s: %s\n", o.file.c_str(), ec.message().c_str());
        return 1;
    }
    o.file = std::filesystem::absolute(o.file);
    bool ownWork = false;
    if (o.work.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/crvxml-bench.XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            return 1;
        }
        o.work = pattern;
        ownWork = true;
    }
    std::filesystem::create_directories(o.work);
    if (o.pg.empty()) {
        const char* env = std::getenv("CRVXML_BENCH_PG");
        if (env != nullptr) o.pg = env;
    }

    std::vector<Measure> measures = {
        {"(a) lettura + testo di ogni elemento", Mode::Parse, Target::None, {}},
        {"(b) prova, listato scartato", Mode::TestNull, Target::None, {}},
        {"(c) prova, listato su file", Mode::TestFile, Target::None, {}},
    };
    if (o.db) {
        measures.push_back({"(e) SQLite: (a) + insert preparate", Mode::Baseline, Target::SQLite, {}});
        measures.push_back({"(d) SQLite: importazione", Mode::Import, Target::SQLite, {}});
        if (o.odbc) measures.push_back({"(d) ODBC SQLite: importazione", Mode::Import, Target::OdbcSQLite, {}});
        if (!o.pg.empty()) {
            measures.push_back({"(e) PostgreSQL: (a) + insert preparate", Mode::Baseline, Target::PostgreSQL, {}});
            measures.push_back({"(f) PostgreSQL: (a) + COPY", Mode::Copy, Target::PostgreSQL, {}});
            measures.push_back({"(d) PostgreSQL: importazione", Mode::Import, Target::PostgreSQL, {}});
            if (o.odbc)
                measures.push_back(
                    {"(d) ODBC PostgreSQL: importazione", Mode::Import, Target::OdbcPostgreSQL, {}});
            // Over a slow link: the bulk path and the import (one insert per
            // row would only show the link's waits, one per row).
            for (const long hold : o.holds) {
                const std::string link = ", giro di " + roundTrip(hold);
                measures.push_back({"(f) PostgreSQL: (a) + COPY" + link, Mode::Copy, Target::PostgreSQL, {}, hold});
                measures.push_back({"(d) PostgreSQL: importazione" + link, Mode::Import, Target::PostgreSQL, {}, hold});
                if (o.odbc)
                    measures.push_back({"(d) ODBC PostgreSQL: importazione" + link, Mode::Import,
                                        Target::OdbcPostgreSQL, {}, hold});
            }
        }
    }

    std::printf("File %s: %.1f MB, formato %s, dettagli %s, ripetizioni %d\n", o.file.c_str(), mb(fileBytes),
                o.bank ? "banca" : "Corvestra", o.dettagli ? "si" : "no", o.repeat);
    std::fflush(stdout);
    for (Measure& m : measures) {
        std::fprintf(stderr, "... %s\n", m.label.c_str());
        try {
            measure(o, m);
        } catch (const std::exception& e) {
            m.result = ChildResult{false, e.what(), {}, 0};
        }
        if (m.result->ok)
            std::fprintf(stderr, "    %.2f s, %ld pratiche, picco %.1f MB\n", m.result->work.seconds,
                         m.result->work.cases, m.result->peakKb / 1024.0);
        else
            std::fprintf(stderr, "    non riuscita: %s\n", m.result->error.c_str());
    }
    if (o.db && o.pg.empty()) std::fprintf(stderr, "PostgreSQL saltato: CRVXML_BENCH_PG non impostata\n");

    printTable(fileBytes, measures);
    std::printf("\nObiettivi (tempo reale; tra parentesi quadre il rapporto dei tempi di cpu del processo)\n");
    goal("tempo (b)/(a)", find(measures, Mode::TestNull, Target::None), find(measures, Mode::Parse, Target::None),
         1.0);
    peakGoal("picco (b)", find(measures, Mode::TestNull, Target::None));
    if (o.db) {
        // The serial limit: reading the file plus the database's own bulk
        // path, one prepared insert per row on SQLite, COPY on PostgreSQL.
        goal("tempo (d)/(e) SQLite", find(measures, Mode::Import, Target::SQLite),
             find(measures, Mode::Baseline, Target::SQLite), 1.0);
        peakGoal("picco (d) SQLite", find(measures, Mode::Import, Target::SQLite));
        if (!o.pg.empty()) {
            goal("tempo (d)/(f) PostgreSQL (COPY)", find(measures, Mode::Import, Target::PostgreSQL),
                 find(measures, Mode::Copy, Target::PostgreSQL), 1.0);
            peakGoal("picco (d) PostgreSQL", find(measures, Mode::Import, Target::PostgreSQL));
            for (const long hold : o.holds)
                goal(("tempo (d)/(f) PostgreSQL, giro di " + roundTrip(hold)).c_str(),
                     find(measures, Mode::Import, Target::PostgreSQL, hold),
                     find(measures, Mode::Copy, Target::PostgreSQL, hold), 1.3);
        }
        if (o.odbc) {
            goal("tempo (d) ODBC/(d) SQLite", find(measures, Mode::Import, Target::OdbcSQLite),
                 find(measures, Mode::Import, Target::SQLite), 2.0);
            if (!o.pg.empty())
                goal("tempo (d) ODBC/(d) PostgreSQL", find(measures, Mode::Import, Target::OdbcPostgreSQL),
                     find(measures, Mode::Import, Target::PostgreSQL), 2.0);
        }
    }
    bool latenzeOk = true;
    if (o.latenze) {
        const ChildResult* test = find(measures, Mode::TestNull, Target::None);
        const long cases = test != nullptr ? test->work.cases : 0;
        std::vector<Target> targets;
        if (o.db) targets.push_back(Target::SQLite);
        if (o.db && !o.pg.empty()) targets.push_back(Target::PostgreSQL);
        if (targets.empty()) targets.push_back(Target::SQLite);
        for (const Target t : targets) latenzeOk = printLatency(o, t, cases) && latenzeOk;
    }
    if (ownWork) std::filesystem::remove_all(o.work, ec);
    for (const Measure& m : measures)
        if (m.result && !m.result->ok) return 1;
    return latenzeOk ? 0 : 1;
}

int runChildMode(const std::vector<std::string>& args)
{
    WorkOptions w;
    std::optional<Mode> mode;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto next = [&]() -> std::string { return i + 1 < args.size() ? args[++i] : std::string(); };
        if (a == "--child") {
            mode = modeFromName(next());
        } else if (a == "--target") {
            const std::string t = next();
            for (const Target candidate :
                 {Target::SQLite, Target::PostgreSQL, Target::OdbcSQLite, Target::OdbcPostgreSQL})
                if (t == targetName(candidate)) w.target = candidate;
        } else if (a == "--work") {
            w.work = next();
        } else if (a == "--pg") {
            w.pgConn = next();
        } else if (a == "--bank") {
            w.bank = true;
        } else if (a == "--no-dettagli") {
            w.dettagli = false;
        } else {
            w.file = a;
        }
    }
    if (!mode || w.file.empty() || w.work.empty()) {
        std::fprintf(stderr, "crvxml-bench --child: argomenti incompleti\n");
        return 2;
    }
    w.mode = *mode;
    try {
        const WorkResult r = runWorkload(w);
        const std::string line = resultLine(r, peakResidentKb());
        std::fputs(line.c_str(), stdout);
        std::fflush(stdout);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "crvxml-bench [%s]: %s\n", modeName(w.mode), e.what());
        return 1;
    }
    return 0;
}

}  // namespace
}  // namespace crv::bench

int main(int argc, char** argv)
{
    using namespace crv::bench;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args.front() == "--child") return runChildMode(args);

    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--bank") {
            o.bank = true;
        } else if (a == "--no-db") {
            o.db = false;
        } else if (a == "--no-odbc") {
            o.odbc = false;
        } else if (a == "--no-latenze") {
            o.latenze = false;
        } else if (a == "--no-dettagli") {
            o.dettagli = false;
        } else if (a == "--pg" && hasValue) {
            o.pg = args[++i];
        } else if (a == "--work" && hasValue) {
            o.work = args[++i];
        } else if (a == "--repeat" && hasValue) {
            o.repeat = std::max(1, std::atoi(args[++i].c_str()));
        } else if (a == "--ritardo" && hasValue) {
            o.holds.push_back(std::max(0L, std::atol(args[++i].c_str())));
        } else if (a.rfind("--", 0) == 0 || !o.file.empty()) {
            std::fprintf(stderr, "Argomento non valido: %s\n\n%s", a.c_str(), kUsage);
            return 2;
        } else {
            o.file = a;
        }
    }
    if (o.file.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    try {
        return runParent(o);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "crvxml-bench: %s\n", e.what());
        return 1;
    }
}
