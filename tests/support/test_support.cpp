#include "support/test_support.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include <sys/wait.h>
#include <unistd.h>

#include "db/connection_string.h"

namespace crv::test {

TempDir::TempDir()
{
    static std::atomic<int> serial{0};
    const auto base = std::filesystem::temp_directory_path();
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = base / ("crvxml-test-" + std::to_string(::getpid()) + "-" +
                                 std::to_string(serial++) + "-" + std::to_string(rd() % 100000));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::filesystem::path dataFile(const std::string& relative)
{
    return std::filesystem::path(CRVXML_TEST_DATA) / relative;
}

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot write " + path.string());
    out << bytes;
}

std::string postgresConnString()
{
    const char* value = std::getenv("CRVXML_TEST_PG");
    return value ? std::string(value) : std::string();
}

bool postgresRequired()
{
    const char* value = std::getenv("CRVXML_REQUIRE_PG");
    return value && *value && std::string(value) != "0";
}

std::string shellWord(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

ProgramRun runCrvxmlShell(const std::string& shellArgs, const std::string& locale, const std::string& program)
{
    TempDir tmp;
    const auto errFile = tmp / "stderr";
    std::string command = "env -u LC_ALL -u LC_NUMERIC -u LC_TIME -u LC_CTYPE -u LC_MESSAGES -u LANGUAGE -u LANG";
    if (!locale.empty()) command += " LANG=" + shellWord(locale);
    command += " " + shellWord(program) + " " + shellArgs;
    command += " 2>" + shellWord(errFile.string()) + " </dev/null";
    ProgramRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return run;
    char buf[4096];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) run.out.append(buf, n);
    const int raw = ::pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.err = readFile(errFile);
    return run;
}

ProgramRun runCrvxml(const std::vector<std::string>& args, const std::string& locale, const std::string& program)
{
    std::string words;
    for (const auto& arg : args) words += (words.empty() ? "" : " ") + shellWord(arg);
    return runCrvxmlShell(words, locale, program);
}

std::string sqliteOdbcConnString(const std::filesystem::path& file)
{
    return "Driver={SQLite3};Database=" + file.string();
}

std::string postgresOdbcConnString(const std::string& server, const std::string& schema)
{
    const db::ConnectionParams parts = db::parseConnString(server);
    std::string text = "Driver={PostgreSQL Unicode};Server=" + parts.host.toStdString() +
                       ";Port=" + std::to_string(parts.port > 0 ? parts.port : 5432) +
                       ";Database=" + parts.databaseName.toStdString() + ";Uid=" + parts.user.toStdString() +
                       ";Pwd=" + parts.password.toStdString();
    if (!schema.empty()) text += ";pqopt={options=-csearch_path=" + schema + "}";
    return text;
}

}  // namespace crv::test
