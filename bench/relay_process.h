#pragma once
// A crvxml-relay started for a measurement or a test: a slow link between
// this machine's clients and a PostgreSQL server, which also counts how
// often the clients waited for the server.
#include <string>

#include <QProcess>

namespace crv::bench {

// What the relay counted over every connection it passed.
struct RelayCounts {
    long connections = 0;
    long waits = 0;      // ReadyForQuery + CopyInResponse: the exchanges a client waited for
    long queries = 0;    // simple-protocol statements
    long syncs = 0;      // extended-protocol sync points (a pipeline's end among them)
    unsigned long long bytesToServer = 0;
};

class RelayProcess {
public:
    // Starts `program` (crvxml-relay) towards the server of `pgUri`
    // (postgresql://user@host:port/db...), holding every chunk `holdMicros`
    // each way. Throws std::runtime_error when it does not start.
    RelayProcess(const std::string& program, const std::string& pgUri, long holdMicros);
    // Stops the relay at once if stop() was not called.
    ~RelayProcess();
    RelayProcess(const RelayProcess&) = delete;
    RelayProcess& operator=(const RelayProcess&) = delete;

    // `pgUri` with the relay's port in place of the server's, unencrypted
    // (the relay reads the protocol as it passes).
    const std::string& uri() const { return uri_; }

    // Waits for every connection to end (their clients closed them) and
    // returns the counts. Throws std::runtime_error when the relay fails.
    RelayCounts stop();

    // crvxml-relay beside the running program (the benchmarks' folder).
    static std::string besideThisProgram();

private:
    QProcess process_;
    std::string uri_;
};

}  // namespace crv::bench
