#pragma once
// Which case codes [Tabella Pratiche] already holds, compared by the database
// itself: a column that ignores letter case or trailing blanks (a collation,
// citext, a blank-padded type) finds what the suite's own searches find.
#include <cstddef>
#include <optional>
#include <vector>

#include <QString>

namespace crv::db {

class Database;

// The case rows of one batch whose posizione equals codici[indice].
struct PosizioneTrovata {
    std::size_t indice = 0;
    std::optional<qint64> lotto;  // lottoimportazione; nothing when Null
    qint64 righe = 0;
};

// Looks every code up, a few hundred per statement; one entry per code and
// batch that holds it, in no particular order. Throws DbError.
std::vector<PosizioneTrovata> cercaPosizioni(Database& db, const std::vector<QString>& codici);

}  // namespace crv::db
