#pragma once
// Runs one workload in a child process of crvxml-bench (the program starts
// itself again with --child), so that each peak memory is the child's own,
// and reads back the one result line the child prints.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "workloads.h"

namespace crv::bench {

struct ChildResult {
    bool ok = false;
    std::string error;   // why the child failed
    WorkResult work;
    long peakKb = 0;     // VmHWM of the child at its end
};

// The result line a child prints on standard output.
std::string resultLine(const WorkResult& work, long peakKb);

// Starts /proc/self/exe with the arguments (without the program name) and
// waits for it. The child's standard error passes through.
ChildResult runChild(const std::vector<std::string>& arguments);

// The fastest of `repeat` runs of a child, and the fewest waits for the
// server the relay counted when the child went through one.
struct FastestRun {
    ChildResult result;
    std::optional<long> waits;
};
// With `hold` >= 0 each run goes through a crvxml-relay towards the server of
// `pg`, holding every chunk `hold` microseconds each way; `arguments` gets the
// connection string to use. `before` runs before each run (untimed).
FastestRun fastestRun(int repeat, long hold, const std::string& pg,
                      const std::function<std::vector<std::string>(const std::string& conn)>& arguments,
                      const std::function<void()>& before = {});

}  // namespace crv::bench
