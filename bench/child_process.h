#pragma once
// Runs one workload in a child process of crvxml-bench (the program starts
// itself again with --child), so that each peak memory is the child's own,
// and reads back the one result line the child prints.
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

}  // namespace crv::bench
