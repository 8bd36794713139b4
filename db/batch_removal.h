#pragma once
// Taking an import batch back: its case rows and their instalment rows go in
// one transaction, the batch row stays with NumPratiche 0 as the record that
// the delivery came and was taken back. Nothing outside the batch is touched.
#include <functional>
#include <optional>
#include <stdexcept>

#include "db/batch_list.h"

namespace crv::db {

class Database;

// What taking a batch back removes (or removed).
struct ContenutoLotto {
    Lotto lotto;
    qint64 pratiche = 0;  // rows of [Tabella Pratiche] with its lottoimportazione
    qint64 rate = 0;      // rows of [tabella fatture] whose conta is one of those rows' contatore
};

// A batch that cannot be taken back: counter 0, no such batch, no case row left.
class LottoRifiutato : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What taking batch `lotto` back would remove; removes nothing. Throws
// LottoRifiutato or DbError.
ContenutoLotto esaminaLotto(Database& db, qint64 lotto);

// Removes it in one transaction (no transaction of the caller's may be open),
// under the archive's import lock: another removal of the same batch, or an
// import, is waited for (`inAttesa` is called once then), and the batch is
// looked at only afterwards. `continua` is asked between the steps and
// before the commit; false rolls everything back and gives nothing. Any
// failure rolls back and throws: every row stays in place.
std::optional<ContenutoLotto> annullaLotto(Database& db, qint64 lotto, const std::function<bool()>& continua = {},
                                           const std::function<void()>& inAttesa = {});

}  // namespace crv::db
