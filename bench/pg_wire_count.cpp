#include "pg_wire_count.h"

#include <algorithm>
#include <cstring>

namespace crv::bench {

namespace {

// Request codes of the untyped packets a client may send before its start-up packet.
constexpr std::uint32_t kSslRequest = 80877103;
constexpr std::uint32_t kGssEncRequest = 80877104;

}  // namespace

void PgWireCounter::fromClient(const char* data, std::size_t size)
{
    while (size > 0 && counts_.readable) {
        if (client_.bodyLeft > 0) {
            const auto take = static_cast<std::size_t>(std::min<std::uint64_t>(client_.bodyLeft, size));
            client_.bodyLeft -= take;
            data += take;
            size -= take;
            continue;
        }
        // Before the start-up packet: length and request code, no type byte.
        const std::size_t need = clientStarted_ ? 5 : 8;
        const std::size_t take = std::min(need - client_.headerHave, size);
        std::memcpy(client_.header.data() + client_.headerHave, data, take);
        client_.headerHave += take;
        data += take;
        size -= take;
        if (client_.headerHave < need) return;
        client_.headerHave = 0;
        if (clientStarted_) {
            const std::uint32_t length = be32(client_.header.data() + 1);
            if (length < 4) {
                counts_.readable = false;
                return;
            }
            client_.bodyLeft = length - 4;
            switch (client_.header[0]) {
            case 'Q': ++counts_.queries; break;
            case 'S': ++counts_.syncs; break;
            case 'H': ++counts_.flushes; break;
            default: break;
            }
        } else {
            const std::uint32_t length = be32(client_.header.data());
            const std::uint32_t code = be32(client_.header.data() + 4);
            if (length < 8) {
                counts_.readable = false;
                return;
            }
            client_.bodyLeft = length - 8;
            if (code == kSslRequest || code == kGssEncRequest)
                ++singleByteAnswers_;
            else
                clientStarted_ = true;  // the start-up packet (or a cancel request, which ends the connection)
        }
    }
}

void PgWireCounter::fromServer(const char* data, std::size_t size)
{
    while (size > 0 && counts_.readable) {
        if (singleByteAnswers_ > 0) {
            // 'N': go on in the clear; 'S' or 'G': what follows is encrypted.
            if (*data == 'S' || *data == 'G') {
                counts_.readable = false;
                return;
            }
            --singleByteAnswers_;
            ++data;
            --size;
            continue;
        }
        if (server_.bodyLeft > 0) {
            const auto take = static_cast<std::size_t>(std::min<std::uint64_t>(server_.bodyLeft, size));
            server_.bodyLeft -= take;
            data += take;
            size -= take;
            continue;
        }
        const std::size_t take = std::min(5 - server_.headerHave, size);
        std::memcpy(server_.header.data() + server_.headerHave, data, take);
        server_.headerHave += take;
        data += take;
        size -= take;
        if (server_.headerHave < 5) return;
        server_.headerHave = 0;
        const std::uint32_t length = be32(server_.header.data() + 1);
        if (length < 4) {
            counts_.readable = false;
            return;
        }
        server_.bodyLeft = length - 4;
        if (server_.header[0] == 'Z') ++counts_.readyForQuery;
        if (server_.header[0] == 'G') ++counts_.copyInResponse;
    }
}

}  // namespace crv::bench
