#pragma once
// The database baseline: what storing a delivery costs at the least. The
// file is loaded and every text of every case read as in the parse
// baseline, and each case becomes one row of [Tabella Pratiche] through one
// prepared statement in one transaction, with about the columns the case
// writer fills (texts cut to their size, dates, amounts, the memo). In the
// bank format each relation of a `rapportiCC` and each instalment also
// becomes a row of [tabella fatture] through a second prepared statement.
#include "scratch_db.h"
#include "workloads.h"

namespace crv::bench {

WorkResult baselineInsert(const WorkOptions& options, const ScratchDatabase& database);

// The same rows by PostgreSQL's bulk path: one COPY into each table, in one
// transaction (the load and the walk as above).
WorkResult baselineCopy(const WorkOptions& options, const ScratchDatabase& database);

}  // namespace crv::bench
