#pragma once
// Which case codes [Tabella Pratiche] already holds, compared by the database
// itself: a column that ignores letter case or trailing blanks (a collation,
// citext, a blank-padded type) finds what the suite's own searches find.
#include <cstddef>
#include <functional>
#include <string_view>
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

// The codes to look up, by their index, in UTF-8: millions of them are
// read from where they are kept, not copied into a string each.
class CodiciDaCercare {
public:
    virtual ~CodiciDaCercare() = default;
    virtual std::size_t size() const = 0;
    virtual std::string_view codice(std::size_t i) const = 0;
};

// Looks every code up; `trovata` gets one entry per code and batch that
// holds it, in no particular order. The rows of batch `escludiLotto` are
// left out. On SQLite and PostgreSQL the codes go to the database whole, in
// one join that reads the archive once at most, with or without an index on
// posizione; elsewhere a few hundred codes per statement. Throws DbError.
void cercaPosizioni(Database& db, const CodiciDaCercare& codici, std::optional<qint64> escludiLotto,
                    const std::function<void(const PosizioneTrovata&)>& trovata);
// The same for a few codes, the entries gathered.
std::vector<PosizioneTrovata> cercaPosizioni(Database& db, const std::vector<QString>& codici,
                                             std::optional<qint64> escludiLotto = {});

// Whether [Tabella Pratiche] has an index whose first column is posizione;
// nothing when the database does not tell (Access).
std::optional<bool> posizioneIndicizzata(Database& db);

// The statement that gives posizione the index `crvxml init-db` makes, for
// the database in use.
QString istruzioneIndicePosizione(Database& db);

}  // namespace crv::db
