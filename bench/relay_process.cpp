#include "relay_process.h"

#include <filesystem>
#include <regex>
#include <stdexcept>

#include <QStringList>

namespace crv::bench {

namespace {

long field(const std::string& line, const char* name)
{
    const std::regex pattern(std::string(" ") + name + "=([0-9]+)");
    std::smatch m;
    return std::regex_search(line, m, pattern) ? std::stol(m[1]) : 0;
}

}  // namespace

RelayProcess::RelayProcess(const std::string& program, const std::string& pgUri, long holdMicros)
{
    // postgresql://user@host:port/db?params: host and port are taken, and
    // given back as the relay's.
    static const std::regex uriForm(R"(^(postgres(?:ql)?://(?:[^@/]*@)?)([^:/?]+)(?::([0-9]+))?(/[^?]*)?(\?.*)?$)");
    std::smatch m;
    if (!std::regex_match(pgUri, m, uriForm))
        throw std::runtime_error("il relay vuole una stringa postgresql://utente@host:porta/database, non " + pgUri);
    const std::string host = m[2];
    const std::string port = m[3].matched ? std::string(m[3]) : "5432";
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QString::fromStdString(program),
                   {QStringLiteral("--conta"), QStringLiteral("--ritardo"), QString::number(holdMicros),
                    QString::fromStdString(host + ":" + port)});
    if (!process_.waitForStarted(10000) || !process_.waitForReadyRead(10000))
        throw std::runtime_error("relay non avviato: " + program);
    const std::string first = process_.readLine().trimmed().toStdString();
    if (first.rfind("porta ", 0) != 0) throw std::runtime_error("risposta inattesa del relay: " + first);
    const std::string query = m[5].matched ? std::string(m[5]) + "&sslmode=disable" : "?sslmode=disable";
    uri_ = std::string(m[1]) + "127.0.0.1:" + first.substr(6) + (m[4].matched ? std::string(m[4]) : "/") + query;
}

RelayProcess::~RelayProcess()
{
    if (process_.state() == QProcess::NotRunning) return;
    process_.kill();
    process_.waitForFinished(10000);
}

RelayCounts RelayProcess::stop()
{
    process_.terminate();
    if (!process_.waitForFinished(60000)) throw std::runtime_error("il relay non si ferma: una connessione resta aperta");
    if (process_.exitStatus() != QProcess::NormalExit || process_.exitCode() != 0)
        throw std::runtime_error("relay terminato con errore");
    RelayCounts counts;
    for (const QByteArray& raw : process_.readAllStandardOutput().split('\n')) {
        const std::string line = raw.toStdString();
        if (line.rfind("totale ", 0) != 0) continue;
        counts.connections = field(line, "connessioni");
        counts.waits = field(line, "attese");
        counts.queries = field(line, "query");
        counts.syncs = field(line, "sync");
        counts.bytesToServer = static_cast<unsigned long long>(field(line, "byte_al_server"));
    }
    return counts;
}

std::string RelayProcess::besideThisProgram()
{
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (self.parent_path() / "crvxml-relay").string();
}

}  // namespace crv::bench
