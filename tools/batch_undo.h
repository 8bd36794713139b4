#pragma once
// Taking an import batch back, as `crvxml annulla-lotto` and the button
// "Annulla lotto" of the tab "Lotti" do it: first what would be removed,
// then, confirmed, its removal in one transaction.
#include <cstdint>
#include <functional>

#include "app/suite_root.h"
#include "db/batch_removal.h"
#include "numbers/regional.h"
#include "tools/varie.h"

namespace crv::tools {

// Opens the case database as the window does (ApriDB, "Access" box). Without
// `conferma` the messages say what would be removed and nothing is; with it,
// the batch's case and instalment rows are removed and its NumPratiche set
// to 0 (`avanzamento` is asked between the steps and before the commit),
// once no import or other removal runs on the archive (`inAttesa` is called
// when one does, before waiting for it).
RisultatoVarie annullaLotto(const SuitePaths& paths, bool usaAccess, std::int64_t lotto, bool conferma,
                            const Regional& regional, const Avanzamento& avanzamento = {},
                            const std::function<void()>& inAttesa = {});

// The same on a database already open (no transaction of the caller's may be open).
RisultatoVarie annullaLotto(db::Database& db, std::int64_t lotto, bool conferma, const Regional& regional,
                            const Avanzamento& avanzamento = {}, const std::function<void()>& inAttesa = {});

// What taking the batch back removes, as the confirmation shows it.
std::string testoAnnullamento(const db::ContenutoLotto& contenuto, const Regional& regional);

}  // namespace crv::tools
