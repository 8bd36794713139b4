// crvxml-relay: a slow link on one machine. Listens on 127.0.0.1, connects
// each client it accepts to the target and passes the bytes both ways,
// holding every chunk it reads for a fixed time before it writes it on: a
// hold of H microseconds each way makes a round trip of 2H more than the
// loopback's. Chunks are held side by side, so the link stays as wide as the
// loopback; only the waits grow. With --conta it reads PostgreSQL's protocol
// in passing and says, for each connection, how many times the client
// waited for the server.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <list>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "pg_wire_count.h"

namespace {

using Clock = std::chrono::steady_clock;

const char* const kUsage =
    "Uso: crvxml-relay [--porta P] [--ritardo MICROSECONDI] [--conta] HOST:PORTA\n"
    "\n"
    "Ascolta su 127.0.0.1 (porta P; 0 o nessuna: una libera) e collega ogni client a\n"
    "HOST:PORTA, trattenendo ogni blocco letto per MICROSECONDI in ciascun verso\n"
    "(5000: un giro di andata e ritorno di circa 10 ms). La prima riga su standard\n"
    "output e' \"porta N\".\n"
    "  --conta   a ogni connessione chiusa, una riga con i byte, i blocchi e, per il\n"
    "            protocollo di PostgreSQL, le attese del client (ReadyForQuery +\n"
    "            CopyInResponse); alla fine il totale\n"
    "\n"
    "SIGTERM o SIGINT: non accetta piu' connessioni, aspetta che finiscano quelle aperte,\n"
    "scrive il totale ed esce (0); un secondo segnale esce subito.\n"
    "Stato d'uscita: 0 fine regolare, 1 errore (porta occupata, destinazione irraggiungibile\n"
    "all'avvio), 2 argomenti sbagliati.\n";

// Bytes read in one go, and held per direction before reading pauses.
constexpr std::size_t kReadSize = 256 * 1024;
constexpr std::size_t kMaxHeld = 64 * 1024 * 1024;

volatile std::sig_atomic_t signals = 0;

void onSignal(int)
{
    signals = signals + 1;
}

struct Chunk {
    Clock::time_point due;
    std::string bytes;
    std::size_t sent = 0;
};

// One direction of a connection.
struct Way {
    int from = -1;
    int to = -1;
    std::deque<Chunk> held;
    std::size_t heldBytes = 0;
    bool ended = false;     // the source closed its side
    bool shut = false;      // the destination was told, after the last chunk
    long chunks = 0;
    unsigned long long bytes = 0;
};

struct Link {
    long id = 0;
    Way up;    // client to server
    Way down;  // server to client
    crv::bench::PgWireCounter counter;
    bool broken = false;
};

struct Totals {
    long links = 0;
    unsigned long long upBytes = 0, downBytes = 0;
    long upChunks = 0, downChunks = 0;
    long waits = 0, ready = 0, copyIn = 0, queries = 0, syncs = 0, flushes = 0;
};

void setNonBlocking(int fd)
{
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

int connectTo(const std::string& host, const std::string& port)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0) return -1;
    int fd = -1;
    for (addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
        fd = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (fd >= 0 && ::connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    ::freeaddrinfo(found);
    if (fd >= 0) setNonBlocking(fd);
    return fd;
}

// Reads what the source has; false when the connection broke.
bool readInto(Way& way, Link& link, bool up, std::chrono::microseconds hold)
{
    // What the source has now, up to one buffer, makes one chunk: a client
    // that writes many small pieces costs the relay no more wake-ups than
    // one that writes large ones.
    static std::vector<char> space(kReadSize);
    std::size_t have = 0;
    while (have < space.size()) {
        const ssize_t n = ::read(way.from, space.data() + have, space.size() - have);
        if (n == 0) {
            way.ended = true;
            break;
        }
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) break;
            return false;
        }
        have += static_cast<std::size_t>(n);
    }
    if (have == 0) return true;
    const ssize_t n = static_cast<ssize_t>(have);
    std::string buffer(space.data(), have);
    if (up)
        link.counter.fromClient(buffer.data(), buffer.size());
    else
        link.counter.fromServer(buffer.data(), buffer.size());
    ++way.chunks;
    way.bytes += static_cast<unsigned long long>(n);
    way.heldBytes += buffer.size();
    way.held.push_back({Clock::now() + hold, std::move(buffer)});
    return true;
}

// Writes the chunks whose time has come; false when the connection broke.
bool writeDue(Way& way)
{
    const auto now = Clock::now();
    while (!way.held.empty() && way.held.front().due <= now) {
        Chunk& c = way.held.front();
        const ssize_t n = ::send(way.to, c.bytes.data() + c.sent, c.bytes.size() - c.sent, MSG_NOSIGNAL);
        if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        c.sent += static_cast<std::size_t>(n);
        if (c.sent < c.bytes.size()) return true;
        way.heldBytes -= c.bytes.size();
        way.held.pop_front();
    }
    if (way.ended && way.held.empty() && !way.shut) {
        ::shutdown(way.to, SHUT_WR);
        way.shut = true;
    }
    return true;
}

void report(const Link& link, bool count, Totals& totals)
{
    const crv::bench::PgWireCounts& c = link.counter.counts();
    ++totals.links;
    totals.upBytes += link.up.bytes;
    totals.downBytes += link.down.bytes;
    totals.upChunks += link.up.chunks;
    totals.downChunks += link.down.chunks;
    if (c.readable) {
        totals.waits += c.waits();
        totals.ready += c.readyForQuery;
        totals.copyIn += c.copyInResponse;
        totals.queries += c.queries;
        totals.syncs += c.syncs;
        totals.flushes += c.flushes;
    }
    if (!count) return;
    std::printf("connessione=%ld byte_al_server=%llu blocchi_al_server=%ld byte_al_client=%llu blocchi_al_client=%ld "
                "attese=%ld ready=%ld copy_in=%ld query=%ld sync=%ld flush=%ld leggibile=%s%s\n",
                link.id, link.up.bytes, link.up.chunks, link.down.bytes, link.down.chunks, c.waits(),
                c.readyForQuery, c.copyInResponse, c.queries, c.syncs, c.flushes, c.readable ? "si" : "no",
                link.broken ? " interrotta=si" : "");
}

void printTotals(const Totals& t)
{
    std::printf("totale connessioni=%ld byte_al_server=%llu blocchi_al_server=%ld byte_al_client=%llu "
                "blocchi_al_client=%ld attese=%ld ready=%ld copy_in=%ld query=%ld sync=%ld flush=%ld\n",
                t.links, t.upBytes, t.upChunks, t.downBytes, t.downChunks, t.waits, t.ready, t.copyIn, t.queries,
                t.syncs, t.flushes);
}

}  // namespace

int main(int argc, char** argv)
{
    long port = 0;
    long holdMicros = 0;
    bool count = false;
    std::string target;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--aiuto" || a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--porta" && hasValue) {
            port = std::strtol(argv[++i], nullptr, 10);
        } else if (a == "--ritardo" && hasValue) {
            holdMicros = std::strtol(argv[++i], nullptr, 10);
        } else if (a == "--conta") {
            count = true;
        } else if (a.rfind("--", 0) != 0 && target.empty()) {
            target = a;
        } else {
            std::fprintf(stderr, "Argomento non valido: %s\n\n%s", a.c_str(), kUsage);
            return 2;
        }
    }
    const std::size_t colon = target.rfind(':');
    if (target.empty() || colon == std::string::npos || port < 0 || port > 65535 || holdMicros < 0) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string host = target.substr(0, colon);
    const std::string targetPort = target.substr(colon + 1);
    const std::chrono::microseconds hold(holdMicros);

    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener, 64) != 0) {
        std::fprintf(stderr, "crvxml-relay: porta %ld non disponibile: %s\n", port, std::strerror(errno));
        return 1;
    }
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    setNonBlocking(listener);

    // The signals arrive only while the loop waits in ppoll.
    sigset_t blocked;
    sigset_t waiting;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGINT);
    sigprocmask(SIG_BLOCK, &blocked, &waiting);
    sigdelset(&waiting, SIGTERM);
    sigdelset(&waiting, SIGINT);
    struct sigaction action{};
    action.sa_handler = onSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf("porta %u\n", static_cast<unsigned>(ntohs(address.sin_port)));

    std::list<Link> links;
    Totals totals;
    long serial = 0;
    for (;;) {
        if (signals >= 2) break;
        const bool stopping = signals >= 1;
        if (stopping && links.empty()) break;

        std::vector<pollfd> fds;
        if (!stopping) fds.push_back({listener, POLLIN, 0});
        const auto now = Clock::now();
        auto next = Clock::time_point::max();
        for (Link& link : links) {
            pollfd client{link.up.from, 0, 0};
            pollfd server{link.down.from, 0, 0};
            for (Way* way : {&link.up, &link.down}) {
                pollfd& source = way == &link.up ? client : server;
                pollfd& destination = way == &link.up ? server : client;
                if (!way->ended && way->heldBytes < kMaxHeld) source.events |= POLLIN;
                if (!way->held.empty()) {
                    if (way->held.front().due <= now)
                        destination.events |= POLLOUT;
                    else
                        next = std::min(next, way->held.front().due);
                }
            }
            fds.push_back(client);
            fds.push_back(server);
        }
        timespec timeout{};
        timespec* wait = nullptr;
        if (next != Clock::time_point::max()) {
            const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(next - now).count();
            timeout.tv_sec = static_cast<time_t>(left / 1000000000);
            timeout.tv_nsec = static_cast<long>(left % 1000000000);
            wait = &timeout;
        }
        if (::ppoll(fds.data(), fds.size(), wait, &waiting) < 0 && errno != EINTR) {
            std::perror("crvxml-relay: ppoll");
            return 1;
        }

        std::size_t at = 0;
        if (!stopping) {
            if (fds[0].revents & POLLIN) {
                const int client = ::accept(listener, nullptr, nullptr);
                if (client >= 0) {
                    const int server = connectTo(host, targetPort);
                    if (server < 0) {
                        std::fprintf(stderr, "crvxml-relay: %s non raggiungibile\n", target.c_str());
                        ::close(client);
                    } else {
                        setNonBlocking(client);
                        Link& link = links.emplace_back();
                        link.id = ++serial;
                        link.up.from = link.down.to = client;
                        link.up.to = link.down.from = server;
                    }
                }
            }
            at = 1;
        }
        for (auto it = links.begin(); it != links.end();) {
            Link& link = *it;
            // A link accepted just now has no entry in this round's list.
            const bool polled = at + 1 < fds.size() && fds[at].fd == link.up.from;
            const short clientEvents = polled ? fds[at].revents : 0;
            const short serverEvents = polled ? fds[at + 1].revents : 0;
            if (polled) at += 2;
            bool ok = true;
            if (clientEvents & (POLLIN | POLLHUP | POLLERR)) ok = ok && readInto(link.up, link, true, hold);
            if (serverEvents & (POLLIN | POLLHUP | POLLERR)) ok = ok && readInto(link.down, link, false, hold);
            ok = ok && writeDue(link.up) && writeDue(link.down);
            const bool done = link.up.shut && link.down.shut;
            if (!ok || done) {
                link.broken = !ok;
                report(link, count, totals);
                ::close(link.up.from);
                ::close(link.down.from);
                it = links.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (Link& link : links) {
        link.broken = true;
        report(link, count, totals);
    }
    if (count) printTotals(totals);
    return 0;
}
