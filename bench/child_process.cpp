#include "child_process.h"

#include "relay_process.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

#include <sys/wait.h>
#include <unistd.h>

namespace crv::bench {

namespace {
constexpr const char* kTag = "CRVBENCH";
}

std::string resultLine(const WorkResult& w, long peakKb)
{
    char line[256];
    std::snprintf(line, sizeof line, "%s %.6f %.6f %.6f %ld %ld %llu %ld\n", kTag, w.seconds, w.cpuSeconds,
                  w.loadSeconds, w.cases, w.rows, static_cast<unsigned long long>(w.extraBytes), peakKb);
    return line;
}

ChildResult runChild(const std::vector<std::string>& arguments)
{
    ChildResult result;
    int fds[2];
    if (::pipe(fds) != 0) {
        result.error = std::string("pipe: ") + std::strerror(errno);
        return result;
    }
    std::vector<std::string> argv_strings;
    argv_strings.emplace_back("crvxml-bench");
    argv_strings.insert(argv_strings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& s : argv_strings) argv.push_back(s.data());
    argv.push_back(nullptr);

    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        result.error = std::string("fork: ") + std::strerror(errno);
        ::close(fds[0]);
        ::close(fds[1]);
        return result;
    }
    if (pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        ::close(fds[0]);
        ::close(fds[1]);
        ::execv("/proc/self/exe", argv.data());
        std::fprintf(stderr, "exec: %s\n", std::strerror(errno));
        ::_exit(127);
    }
    ::close(fds[1]);
    std::string output;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n > 0) {
            output.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        result.error = WIFSIGNALED(status) ? "terminato dal segnale " + std::to_string(WTERMSIG(status))
                                           : "uscita " + std::to_string(WEXITSTATUS(status));
        return result;
    }
    const std::size_t at = output.rfind(kTag);
    if (at == std::string::npos) {
        result.error = "nessun risultato dal processo figlio";
        return result;
    }
    std::istringstream in(output.substr(at + std::strlen(kTag)));
    unsigned long long extra = 0;
    in >> result.work.seconds >> result.work.cpuSeconds >> result.work.loadSeconds >> result.work.cases >>
        result.work.rows >> extra >> result.peakKb;
    result.work.extraBytes = extra;
    if (!in) {
        result.error = "risultato illeggibile: " + output.substr(at);
        return result;
    }
    result.ok = true;
    return result;
}

FastestRun fastestRun(int repeat, long hold, const std::string& pg,
                      const std::function<std::vector<std::string>(const std::string&)>& arguments,
                      const std::function<void()>& before)
{
    FastestRun fastest;
    for (int i = 0; i < repeat; ++i) {
        if (before) before();
        std::optional<RelayProcess> relay;
        if (hold >= 0) relay.emplace(RelayProcess::besideThisProgram(), pg, hold);
        const ChildResult one = runChild(arguments(relay ? relay->uri() : pg));
        if (relay) {
            const long waits = relay->stop().waits;
            if (!fastest.waits || waits < *fastest.waits) fastest.waits = waits;
        }
        if (!one.ok) {
            fastest.result = one;
            return fastest;
        }
        if (i == 0 || one.work.seconds < fastest.result.work.seconds) fastest.result = one;
    }
    return fastest;
}

}  // namespace crv::bench
