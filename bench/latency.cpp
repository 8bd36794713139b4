#include "latency.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <functional>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/settings.h"
#include "scratch_db.h"
#include "workloads.h"

namespace crv::bench {
namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// A suite root whose import folder holds the file and whose settings name
// the scratch database.
std::filesystem::path suiteRoot(const WorkOptions& o, const std::string& tag, const std::string& connString)
{
    const SuitePaths paths = suiteFor(o, "latenze-" + tag);
    std::error_code ec;
    std::filesystem::remove(paths.vex32Ini(), ec);  // written anew: the database is new each time
    ScriviVex32Ini(paths.vex32Ini(), connString);
    return paths.root;
}

// crvxml on a terminal of its own; its messages (standard error) are left out.
class Process {
public:
    explicit Process(const std::vector<std::string>& args)
    {
        std::vector<std::string> argvStrings{CRVXML_BINARY};
        argvStrings.insert(argvStrings.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : argvStrings) argv.push_back(a.data());
        argv.push_back(nullptr);
        start_ = Clock::now();
        pid_ = ::forkpty(&master_, nullptr, nullptr, nullptr);
        if (pid_ < 0) throw std::runtime_error(std::string("forkpty: ") + std::strerror(errno));
        if (pid_ == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            if (null >= 0) ::dup2(null, STDERR_FILENO);
            ::execv(CRVXML_BINARY, argv.data());
            ::_exit(127);
        }
    }
    ~Process()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            wait();
        }
        if (master_ >= 0) ::close(master_);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    Clock::time_point started() const { return start_; }

    // Reads the output until `enough` says so of a line (true) or the
    // process ends (false).
    bool readUntil(const std::function<bool(const std::string&)>& enough)
    {
        const auto limit = Clock::now() + std::chrono::minutes(10);
        while (Clock::now() < limit) {
            const std::size_t end = pending_.find('\n');
            if (end != std::string::npos) {
                std::string line = pending_.substr(0, end);
                pending_.erase(0, end + 1);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                if (enough(line)) return true;
                continue;
            }
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 1000) <= 0) continue;
            char buffer[65536];
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0 && errno != EINTR) return false;  // EIO: the terminal's other end is closed
            if (n > 0) pending_.append(buffer, static_cast<std::size_t>(n));
        }
        return false;
    }

    // Signal, then drain the output until the process is gone: seconds from
    // the signal to its end, and its exit status.
    std::pair<double, int> stop(int signal)
    {
        const auto sent = Clock::now();
        ::kill(pid_, signal);
        readUntil([](const std::string&) { return false; });
        const int status = wait();
        return {seconds(Clock::now() - sent), status};
    }

private:
    int wait()
    {
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    pid_t pid_ = -1;
    int master_ = -1;
    Clock::time_point start_;
    std::string pending_;
};

bool isHeader(const std::string& line)
{
    return line.rfind("Pratica ", 0) == 0;
}

// Seconds from the start to the line after the header: the first case's.
std::optional<double> firstCase(Process& p, bool& header)
{
    header = false;
    std::optional<double> when;
    p.readUntil([&](const std::string& line) {
        if (header) {
            when = seconds(Clock::now() - p.started());
            return true;
        }
        header = isHeader(line);
        return false;
    });
    return when;
}

}  // namespace

Latenze misuraLatenze(const WorkOptions& o, long cases)
{
    Latenze out;
    try {
        const std::string tag = std::string("lat_") + (o.target == Target::PostgreSQL ? "pg" : "sqlite");
        const ScratchDatabase scratch(o.target, o.work, o.pgConn, tag);
        const std::filesystem::path root = suiteRoot(o, tag, scratch.connString());
        auto args = [&](bool normale) {
            std::vector<std::string> a{"import", "--radice", root.string(), "--no-dettagli"};
            a.emplace_back(normale ? "--no-solo-test" : "--solo-test");
            if (o.bank) a.emplace_back("--banca");
            a.emplace_back("bench.xml");
            return a;
        };
        auto intatto = [&] {
            return scratch.countRows(QStringLiteral("Tabella Pratiche")) == 0 &&
                   scratch.countRows(QStringLiteral("tabella fatture")) == 0 &&
                   scratch.countRows(QStringLiteral("TabellaLottiImp")) == 0;
        };
        bool header = false;
        {
            Process test(args(false));
            out.primaRigaProva = firstCase(test, header);
        }
        // A normal run: the first case's line, then Ctrl-C there.
        {
            Process run(args(true));
            out.primaRigaNormale = firstCase(run, header);
            const auto [s, status] = run.stop(SIGINT);
            out.fermate.push_back({"alla prima pratica", s, status, intatto()});
        }
        // Ctrl-C as soon as the header is out: the file is being opened.
        {
            Process run(args(true));
            run.readUntil(isHeader);
            const auto [s, status] = run.stop(SIGINT);
            out.fermate.push_back({"all'avvio", s, status, intatto()});
        }
        // Halfway through the cases (one line each without the memo).
        {
            Process run(args(true));
            long seen = -1;
            run.readUntil([&](const std::string& line) {
                if (seen < 0 && isHeader(line)) seen = 0;
                else if (seen >= 0) ++seen;
                return seen >= cases / 2;
            });
            const auto [s, status] = run.stop(SIGINT);
            out.fermate.push_back({"a metà", s, status, intatto()});
        }
    } catch (const std::exception& e) {
        out.errore = e.what();
    }
    return out;
}

}  // namespace crv::bench
