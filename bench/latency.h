#pragma once
// How soon the operator sees the first case and how soon a stop ends the
// run: `crvxml import` started as a process on a terminal of its own (a
// pseudo-terminal, so that its lines come as a terminal shows them), the
// first case's listing line timed from the start, and Ctrl-C (SIGINT) sent
// at chosen moments of a normal run, timed to the end of the process, with
// the archive checked to be as it was.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "workloads.h"

namespace crv::bench {

struct Fermata {
    std::string quando;        // the moment the signal was sent
    double secondi = 0;        // from the signal to the end of the process
    int stato = -1;            // its exit status
    bool archivioIntatto = false;
};

struct Latenze {
    std::optional<double> primaRigaProva;   // first case line of a test run, seconds from the start
    std::optional<double> primaRigaNormale; // the same in a normal run
    std::vector<Fermata> fermate;
    std::string errore;        // why a measurement could not be taken
};

// `cases`: the file's cases (the middle of the run is counted in them).
Latenze misuraLatenze(const WorkOptions& options, long cases);

}  // namespace crv::bench
