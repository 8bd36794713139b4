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

}  // namespace crv
