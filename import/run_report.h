#pragma once
// The counter boxes of a run as text lines, as the command line prints them
// after the listing.
#include <string>

#include "numbers/regional.h"
#include "import/run.h"

namespace crv {

// "Pratiche importate: N", "Cap: ...", "Int: ...", "Spe: ..." and, when a
// batch was opened, "Lotto Imp: N"; each line ends with a line feed.
std::string riepilogoRun(const RunCounters& counters, const Regional& regional);
// The same for a finished run, with a closing line when it was rolled back.
std::string riepilogoRun(const RunResult& result, const Regional& regional);

// Said after a test run's counters, which read like an import's.
inline constexpr const char* kProvaSenzaModifiche = "Prova: l'archivio non è stato modificato";

// Whether the run got past its checks (the file there, the parameters
// right): only such a run has a listing and counters to show.
bool runAvviato(RunOutcome outcome);

}  // namespace crv
