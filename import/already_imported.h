#pragma once
// Cases of a delivery that the archive already holds, codes the delivery
// itself repeats, and its cases without a code: counted once every case is
// read, before a run's verdict (the operator decides whether to import them
// anyway).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "db/batch_list.h"
#include "import/case_codes.h"
#include "numbers/regional.h"

namespace crv {

namespace db {
class Database;
}

// The file's cases found in one batch.
struct LottoGiaPresente {
    std::optional<std::int64_t> lotto;  // lottoimportazione; nothing when Null
    std::optional<db::Lotto> riga;      // its row of TabellaLottiImp, when there is one
    int pratiche = 0;                   // the file's cases whose code stands in it
};

struct GiaPresenti {
    int praticheFile = 0;        // the file's cases that have a code
    int presenti = 0;            // of those, the ones whose code the archive holds
    int codiciPresenti = 0;      // the distinct codes among them
    std::vector<LottoGiaPresente> lotti;   // where, by batch counter (Null first)
    int codiciRipetuti = 0;      // codes carried by more than one case of the file
    int praticheRipetute = 0;    // the cases that carry them
    int senzaCodice = 0;         // the file's cases without a code, which the archive cannot be asked about
    std::vector<std::string> esempiPresenti;   // a few codes of each kind, for the message
    std::vector<std::string> esempiRipetuti;
    // When the archive has no index on posizione: what that costs and how to
    // add it, for the operator (the check never adds it). Empty otherwise.
    std::string avvisoIndice;

    bool nessuno() const { return presenti == 0 && codiciRipetuti == 0 && senzaCodice == 0; }
};

// The repeats and the cases without a code inside the file (no database needed).
GiaPresenti ripetuteNelFile(const CodiciFile& codici);

// The same with the cases the archive holds, looked up by the database
// itself; the rows of batch `escludiLotto` (a run's own, already written)
// do not count. Throws db::DbError.
GiaPresenti giaPresenti(db::Database& db, const CodiciFile& codici,
                        std::optional<std::int64_t> escludiLotto = std::nullopt);

// The facts as the operator reads them, one line each, without a final line break.
std::string testoGiaPresenti(const GiaPresenti& fatti, const Regional& regional);

}  // namespace crv
