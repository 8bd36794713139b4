#pragma once
// Counts the messages of PostgreSQL's wire protocol in the two streams of
// one connection, as a relay sees them pass: how often the client had to
// wait for the server (each ReadyForQuery ends an exchange the client waits
// for; each CopyInResponse is awaited before the rows of a COPY may go),
// however many rows went meanwhile. An encrypted stream is not read.
#include <array>
#include <cstddef>
#include <cstdint>

namespace crv::bench {

struct PgWireCounts {
    long readyForQuery = 0;   // 'Z' from the server
    long copyInResponse = 0;  // 'G' from the server
    long queries = 0;         // 'Q' from the client (simple protocol)
    long syncs = 0;           // 'S' from the client (extended protocol, pipelines)
    long flushes = 0;         // 'H' from the client (answers asked for, not awaited)
    bool readable = true;     // false once the stream turned out encrypted or malformed

    // The exchanges the client waited for.
    long waits() const { return readyForQuery + copyInResponse; }
};

class PgWireCounter {
public:
    // Bytes from the client, in order.
    void fromClient(const char* data, std::size_t size);
    // Bytes from the server, in order.
    void fromServer(const char* data, std::size_t size);

    const PgWireCounts& counts() const { return counts_; }

private:
    // One stream's place: inside a message's header or its body.
    struct Stream {
        std::array<unsigned char, 8> header{};
        std::size_t headerHave = 0;
        std::uint64_t bodyLeft = 0;
    };

    static std::uint32_t be32(const unsigned char* p)
    {
        return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
    }

    PgWireCounts counts_;
    Stream client_;
    Stream server_;
    bool clientStarted_ = false;  // past the start-up packet (typed messages from now on)
    int singleByteAnswers_ = 0;   // encryption requests the server answers with one byte
};

}  // namespace crv::bench
