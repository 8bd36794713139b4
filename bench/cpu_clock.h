#pragma once
// Processor time (user + system) of this process since construction: on a
// machine shared with builds the wall clock alone says little.
#include <sys/resource.h>

namespace crv::bench {

class CpuClock {
public:
    CpuClock() : start_(now()) {}
    double elapsed() const { return now() - start_; }

    static double now()
    {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }

private:
    double start_;
};

}  // namespace crv::bench
