#include "support/background_run.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace crv::test {

BackgroundRun::BackgroundRun(const std::vector<std::string>& args, const std::string& locale,
                             const std::string& program)
{
    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return;
    std::vector<std::string> words{program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    // The environment is made here: after fork only async-signal-safe calls.
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('='));
        if (name == "LANG" || name == "LANGUAGE" || name.starts_with("LC_")) continue;
        environment.push_back(entry);
    }
    if (!locale.empty()) environment.push_back("LANG=" + locale);
    std::vector<char*> envp;
    for (std::string& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
        const int devNull = ::open("/dev/null", O_RDONLY);
        ::dup2(devNull, 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        // SIGINT comes through: the test's own mask may block it.
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    out_ = out[0];
    err_ = err[0];
}

BackgroundRun::~BackgroundRun()
{
    if (pid_ > 0 && !reaped_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
    if (err_ >= 0) ::close(err_);
}

bool BackgroundRun::readSome(std::chrono::milliseconds wait)
{
    pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    const int open = (out_ >= 0) + (err_ >= 0);
    if (open == 0) return false;
    if (::poll(fds, 2, static_cast<int>(wait.count())) <= 0) return true;
    int* const ends[2] = {&out_, &err_};
    std::string* const texts[2] = {&run_.out, &run_.err};
    for (int i = 0; i < 2; ++i) {
        if (*ends[i] < 0 || fds[i].revents == 0) continue;
        char buf[4096];
        const ssize_t n = ::read(*ends[i], buf, sizeof buf);
        if (n > 0) {
            texts[i]->append(buf, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            ::close(*ends[i]);
            *ends[i] = -1;
        }
    }
    return true;
}

bool BackgroundRun::waitForErr(const std::string& text, std::chrono::seconds patience)
{
    const auto until = std::chrono::steady_clock::now() + patience;
    while (run_.err.find(text) == std::string::npos) {
        if (err_ < 0 || std::chrono::steady_clock::now() >= until) return false;
        readSome(std::chrono::milliseconds(500));
    }
    return true;
}

bool BackgroundRun::waitUntilItHandles(int signal, std::chrono::seconds patience)
{
    const auto until = std::chrono::steady_clock::now() + patience;
    const std::string status = "/proc/" + std::to_string(pid_) + "/status";
    while (!ended() && std::chrono::steady_clock::now() < until) {
        const std::string text = readFile(status);
        if (const auto at = text.find("\nSigBlk:\t"); at != std::string::npos) {
            const unsigned long long blocked = std::strtoull(text.c_str() + at + 9, nullptr, 16);
            if (blocked & (1ULL << (signal - 1))) return true;
        }
        readSome(std::chrono::milliseconds(20));
    }
    return false;
}

void BackgroundRun::interrupt(int signal)
{
    if (pid_ > 0 && !reaped_) ::kill(pid_, signal);
}

bool BackgroundRun::ended()
{
    // What the program wrote meanwhile is taken, so that a full pipe never
    // holds it up.
    for (std::size_t before = run_.out.size() + run_.err.size() + 1; before != run_.out.size() + run_.err.size();) {
        before = run_.out.size() + run_.err.size();
        if (!readSome(std::chrono::milliseconds(0))) break;
    }
    if (reaped_) return true;
    if (pid_ <= 0) return true;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) != pid_) return false;
    reaped_ = true;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return true;
}

ProgramRun BackgroundRun::finish()
{
    while (readSome(std::chrono::milliseconds(1000))) {
    }
    if (!reaped_ && pid_ > 0) {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        reaped_ = true;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    run_.status = status_;
    return run_;
}

}  // namespace crv::test
