#pragma once
// Cases for the benchmark of the utilities: rows of [Tabella Pratiche] with
// memos of the length the import writes, and common notes for half of them,
// put straight into a scratch database.
#include <cstdint>

namespace crv::db {
class Database;
}

namespace crv::bench {

struct ToolsData {
    long cases = 0;
    long notes = 0;            // rows of notecomuni
    std::uint64_t memoBytes = 0;  // memo texts, all cases together
};

// Adds `cases` cases in four import batches of equal size (lottoimportazione
// 1 to 4), in one transaction. The same seed gives the same rows.
ToolsData fillToolsData(db::Database& db, long cases, unsigned seed = 20261207);

}  // namespace crv::bench
