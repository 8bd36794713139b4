// crvxml-bench-tools: the spreadsheet export and common notes to memo over a
// large case table, against the time libxlsxwriter alone needs to write the
// same cells from memory. Each measurement runs in a child process of its
// own (this program started again with --child), so each peak is its own.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <xlsxwriter.h>

#include "child_process.h"
#include "cpu_clock.h"
#include "db/connection_string.h"
#include "db/database.h"
#include "db/field_kind.h"
#include "scratch_db.h"
#include "tools/case_export.h"
#include "tools/case_selection.h"
#include "tools/cell_value.h"
#include "tools/chosen_cases.h"
#include "tools/column_width.h"
#include "tools/common_notes.h"
#include "tools_data.h"
#include "workloads.h"

namespace crv::bench {
namespace {

const char* const kUsage =
    "Uso: crvxml-bench-tools [--cases N] [--pg CONN] [--work DIR] [--repeat R] [--ritardo US]...\n"
    "\n"
    "Riempie un archivio nuovo (SQLite; PostgreSQL con --pg o CRVXML_BENCH_PG) con N\n"
    "pratiche (100000 se non dato) in quattro lotti, memo di 0,6-4,2 KB e note comuni\n"
    "per meta' delle pratiche, poi misura, ciascuna in un processo a parte:\n"
    "  esportazione di un lotto (N/4 pratiche) e di tutte le pratiche\n"
    "  libxlsxwriter da solo: le stesse celle, gia' in memoria, scritte nel foglio\n"
    "  note comuni a memo su tutte le pratiche\n"
    "  --ritardo US: su PostgreSQL, le stesse misure (tranne libxlsxwriter) anche attraverso\n"
    "  crvxml-relay, che trattiene ogni blocco US microsecondi per verso (500: giro di 1 ms,\n"
    "  5000: 10 ms; 0: il costo del relay stesso), con le attese del client; ripetibile\n";

// The columns of the benchmark's export definition.
const std::vector<std::string> kCampi{"posizione", "ragione sociale", "Indirizzo", "Cap",
                                      "Citta", "data affido", "scadenza mandato", "importo rata",
                                      "importo totale", "lottoimportazione", "memo", "note comuni"};

std::unique_ptr<db::Database> connect(const std::string& conn)
{
    return db::Database::open(db::parseConnString(conn));
}

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::uint64_t fileSize(const std::filesystem::path& file)
{
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    return ec ? 0 : size;
}

WorkResult childExport(const std::string& conn, const std::filesystem::path& work, const std::string& lotto)
{
    const auto database = connect(conn);
    const auto out = work / "export.xlsx";
    const CpuClock cpu;
    const auto start = std::chrono::steady_clock::now();
    const tools::RisultatoVarie r =
        tools::esportaPratiche(*database, {.lotto = lotto}, kCampi, out, Regional::italian());
    WorkResult w;
    w.seconds = seconds(start);
    w.cpuSeconds = cpu.elapsed();
    if (r.esito != tools::Esito::Terminata) throw std::runtime_error(r.messaggi.front());
    w.cases = r.pratiche;
    w.extraBytes = fileSize(out);
    return w;
}

// The cells the export writes, read and converted beforehand; then only the
// writing with libxlsxwriter is timed, in the same mode and with the same formats.
WorkResult childBaseline(const std::string& conn, const std::filesystem::path& work)
{
    std::vector<std::vector<tools::Cella>> rows;
    std::vector<tools::ColumnFit> fits(kCampi.size());
    {
        const auto database = connect(conn);
        const db::TableInfo& table = database->table(QStringLiteral("Tabella Pratiche"));
        QStringList fields;
        std::vector<db::FieldKind> kinds;
        for (const std::string& name : kCampi) {
            if (name == "note comuni") continue;
            const db::Column* column = table.find(QString::fromStdString(name));
            fields << column->name;
            kinds.push_back(db::fieldKindOf(*column));
        }
        tools::PraticheScelte cases(*database, tools::selezione(*database, {}), fields, true);
        cases.perOgni([&](const tools::PraticaLetta& p) {
            auto& row = rows.emplace_back();
            for (std::size_t i = 0; i < kinds.size(); ++i)
                row.push_back(tools::cellaPer(p.valori[static_cast<int>(i)], kinds[i]));
            row.push_back(p.haNota ? tools::cellaPer(p.nota, db::FieldKind::Text) : tools::Cella{});
            return true;
        });
        for (std::size_t c = 0; c < kCampi.size(); ++c) fits[c].text(kCampi[c], true);
        for (const auto& row : rows)
            for (std::size_t c = 0; c < row.size(); ++c)
                if (row[c].tipo == tools::Cella::Tipo::Testo) fits[c].text(row[c].testo);
    }

    const auto out = work / "baseline.xlsx";
    const CpuClock cpu;
    const auto start = std::chrono::steady_clock::now();
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* workbook = workbook_new_opt(out.c_str(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    lxw_format* bold = workbook_add_format(workbook);
    format_set_bold(bold);
    lxw_format* decimal = workbook_add_format(workbook);
    format_set_num_format(decimal, "#,##0.00##");
    lxw_format* date = workbook_add_format(workbook);
    format_set_num_format(date, "dd/mm/yyyy");
    for (std::size_t c = 0; c < kCampi.size(); ++c)
        worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), kCampi[c].c_str(), bold);
    lxw_row_t r = 0;
    for (const auto& row : rows) {
        ++r;
        for (std::size_t c = 0; c < row.size(); ++c) {
            const tools::Cella& cell = row[c];
            const auto col = static_cast<lxw_col_t>(c);
            switch (cell.tipo) {
            case tools::Cella::Tipo::Vuota: break;
            case tools::Cella::Tipo::Testo: worksheet_write_string(sheet, r, col, cell.testo.c_str(), nullptr); break;
            case tools::Cella::Tipo::Intero: worksheet_write_number(sheet, r, col, cell.numero, nullptr); break;
            case tools::Cella::Tipo::Decimale: worksheet_write_number(sheet, r, col, cell.numero, decimal); break;
            case tools::Cella::Tipo::Data:
            case tools::Cella::Tipo::DataOra: {
                lxw_datetime value{cell.anno, cell.mese, cell.giorno, cell.ora, cell.minuto, cell.secondo};
                worksheet_write_datetime(sheet, r, col, &value, date);
                break;
            }
            }
        }
    }
    for (std::size_t c = 0; c < fits.size(); ++c)
        worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), fits[c].width(), nullptr);
    worksheet_freeze_panes(sheet, 1, 0);
    if (workbook_close(workbook) != LXW_NO_ERROR) throw std::runtime_error("workbook_close non riuscito");
    WorkResult w;
    w.seconds = seconds(start);
    w.cpuSeconds = cpu.elapsed();
    w.cases = static_cast<long>(rows.size());
    w.extraBytes = fileSize(out);
    return w;
}

WorkResult childNotes(const std::string& conn)
{
    const auto database = connect(conn);
    const CpuClock cpu;
    const auto start = std::chrono::steady_clock::now();
    const tools::RisultatoVarie r = tools::accodaNoteComuni(*database, {}, Regional::italian());
    WorkResult w;
    w.seconds = seconds(start);
    w.cpuSeconds = cpu.elapsed();
    if (r.esito != tools::Esito::Terminata) throw std::runtime_error(r.messaggi.front());
    w.cases = r.pratiche;
    w.rows = r.modificate;
    return w;
}

int runChildMode(const std::vector<std::string>& args)
{
    // --child MODE --conn CONN --work DIR [--lotto N]
    std::string mode, conn, lotto;
    std::filesystem::path work;
    for (std::size_t i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == "--child") mode = args[i + 1];
        else if (args[i] == "--conn") conn = args[i + 1];
        else if (args[i] == "--work") work = args[i + 1];
        else if (args[i] == "--lotto") lotto = args[i + 1];
    }
    try {
        WorkResult w;
        if (mode == "export") w = childExport(conn, work, lotto);
        else if (mode == "baseline") w = childBaseline(conn, work);
        else if (mode == "notes") w = childNotes(conn);
        else throw std::runtime_error("misura sconosciuta: " + mode);
        std::fputs(resultLine(w, peakResidentKb()).c_str(), stdout);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "crvxml-bench-tools: %s\n", error.what());
        return 1;
    }
}

struct Measure {
    std::string label;
    std::vector<std::string> args;  // without the connection
    ChildResult result;
    long hold = -1;             // through the relay holding this long each way when >= 0
    std::optional<long> waits{};  // the client's waits the relay counted
};

bool isNotes(const Measure& m)
{
    return m.args.size() > 1 && m.args[1] == "notes";
}

// Every memo as the data made it: each run of common notes starts from the same memos.
void restoreMemos(const ScratchDatabase& scratch)
{
    const auto database = scratch.open();
    database->execute(QStringLiteral("UPDATE \"Tabella Pratiche\" SET memo = memo_iniziale"));
}

void measure(Measure& m, const ScratchDatabase& scratch, const std::filesystem::path& work, int repeat)
{
    const FastestRun run = fastestRun(
        repeat, m.hold, scratch.connString(),
        [&](const std::string& conn) {
            std::vector<std::string> args = m.args;
            for (const std::string& a : {std::string("--conn"), conn, std::string("--work"), work.string()})
                args.push_back(a);
            return args;
        },
        [&] {
            if (isNotes(m)) restoreMemos(scratch);
        });
    m.result = run.result;
    m.waits = run.waits;
}

void runTarget(Target target, const std::string& name, long cases, const std::string& pg,
               const std::filesystem::path& work, int repeat, const std::vector<long>& holds)
{
    std::printf("\n=== %s, %ld pratiche ===\n", name.c_str(), cases);
    std::fflush(stdout);
    const ScratchDatabase scratch(target, work, pg, "tools");
    ToolsData data;
    {
        const auto start = std::chrono::steady_clock::now();
        const auto database = scratch.open();
        data = fillToolsData(*database, cases);
        database->execute(QStringLiteral("ALTER TABLE \"Tabella Pratiche\" ADD COLUMN memo_iniziale TEXT"));
        database->execute(QStringLiteral("UPDATE \"Tabella Pratiche\" SET memo_iniziale = memo"));
        std::printf("Archivio riempito in %.1f s: %ld pratiche, %ld note comuni, memo %.1f MB in tutto%s\n",
                    seconds(start), data.cases, data.notes, data.memoBytes / 1048576.0,
                    target == Target::SQLite
                        ? (", file di " + std::to_string(scratch.fileBytes() / 1048576) + " MB").c_str()
                        : "");
        std::fflush(stdout);
    }
    std::vector<Measure> measures{
        {"esportazione, un lotto (N/4)", {"--child", "export", "--lotto", "1"}, {}},
        {"esportazione, tutte", {"--child", "export"}, {}},
        {"libxlsxwriter da solo, stesse celle", {"--child", "baseline"}, {}},
        {"note comuni a memo, tutte", {"--child", "notes"}, {}},
    };
    if (target == Target::PostgreSQL) {
        for (const long hold : holds) {
            char link[64];
            if (hold == 0)
                std::snprintf(link, sizeof link, ", relay senza ritardo");
            else
                std::snprintf(link, sizeof link, ", giro di %g ms", 2.0 * static_cast<double>(hold) / 1000.0);
            measures.push_back({std::string("esportazione, un lotto") + link,
                                {"--child", "export", "--lotto", "1"}, {}, hold});
            measures.push_back({std::string("esportazione, tutte") + link, {"--child", "export"}, {}, hold});
            measures.push_back({std::string("note comuni a memo, tutte") + link, {"--child", "notes"}, {}, hold});
        }
    }
    for (Measure& m : measures) {
        std::fprintf(stderr, "... %s: %s\n", name.c_str(), m.label.c_str());
        std::fflush(stdout);
        try {
            measure(m, scratch, work, repeat);
        } catch (const std::exception& e) {
            m.result = ChildResult{false, e.what(), {}, 0};
        }
    }
    std::printf("%-44s %8s %8s %11s %9s %9s %7s\n", "misura", "s", "cpu s", "pratiche/s", "picco MB", "file MB",
                "attese");
    for (const Measure& m : measures) {
        if (!m.result.ok) {
            std::printf("%-44s NON RIUSCITA: %s\n", m.label.c_str(), m.result.error.c_str());
            continue;
        }
        const WorkResult& w = m.result.work;
        std::printf("%-44s %8.2f %8.2f %11.0f %9.1f %9.1f %7s\n", m.label.c_str(), w.seconds, w.cpuSeconds,
                    w.seconds > 0 ? w.cases / w.seconds : 0.0, m.result.peakKb / 1024.0, w.extraBytes / 1048576.0,
                    m.waits ? std::to_string(*m.waits).c_str() : "");
    }
    const ChildResult& quarter = measures[0].result;
    const ChildResult& all = measures[1].result;
    const ChildResult& alone = measures[2].result;
    if (all.ok && alone.ok) {
        const double ratio = all.work.seconds / alone.work.seconds;
        std::printf("esportazione / libxlsxwriter da solo: %.2f (obiettivo <= 1.5) %s   [cpu %.2f]\n", ratio,
                    ratio <= 1.5 ? "OK" : "MANCATO", all.work.cpuSeconds / alone.work.cpuSeconds);
    }
    if (quarter.ok && all.ok)
        std::printf("picco dell'esportazione: %.1f MB con %ld pratiche, %.1f MB con %ld (obiettivo < 200) %s\n",
                    quarter.peakKb / 1024.0, quarter.work.cases, all.peakKb / 1024.0, all.work.cases,
                    all.peakKb / 1024.0 < 200 && quarter.peakKb / 1024.0 < 200 ? "OK" : "MANCATO");
    for (const Measure& m : measures)
        if (isNotes(m) && m.result.ok)
            std::printf("%s: %ld memo modificati in %.2f s\n", m.label.c_str(), m.result.work.rows,
                        m.result.work.seconds);
    std::fflush(stdout);
}

}  // namespace
}  // namespace crv::bench

int main(int argc, char** argv)
{
    using namespace crv::bench;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "--child") return runChildMode(args);

    long cases = 100000;
    int repeat = 1;
    std::string pg;
    std::filesystem::path work;
    std::vector<long> holds;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--cases" && hasValue) cases = std::stol(args[++i]);
        else if (a == "--pg" && hasValue) pg = args[++i];
        else if (a == "--work" && hasValue) work = args[++i];
        else if (a == "--repeat" && hasValue) repeat = std::max(1, std::stoi(args[++i]));
        else if (a == "--ritardo" && hasValue) holds.push_back(std::max(0L, std::stol(args[++i])));
        else {
            std::fputs(kUsage, a == "--help" ? stdout : stderr);
            return a == "--help" ? 0 : 2;
        }
    }
    if (pg.empty()) {
        const char* env = std::getenv("CRVXML_BENCH_PG");
        if (env) pg = env;
    }
    bool ownWork = false;
    if (work.empty()) {
        std::string pattern = std::filesystem::temp_directory_path().string() + "/crvxml-bench-tools.XXXXXX";
        if (!::mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            return 1;
        }
        work = pattern;
        ownWork = true;
    }
    std::filesystem::create_directories(work);
    try {
        runTarget(Target::SQLite, "SQLite", cases, pg, work, repeat, holds);
        if (!pg.empty()) runTarget(Target::PostgreSQL, "PostgreSQL", cases, pg, work, repeat, holds);
        else std::printf("\nPostgreSQL: nessun server (--pg o CRVXML_BENCH_PG), misure saltate\n");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "crvxml-bench-tools: %s\n", error.what());
        return 1;
    }
    if (ownWork) std::filesystem::remove_all(work);
    return 0;
}
