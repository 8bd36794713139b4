#pragma once
// The benchmarks' relay between a test and its PostgreSQL server: it counts
// how often the client waited for the server, so that a test can tell waits
// that grow with the rows from waits that do not. Built with the benchmarks;
// without them such a test skips.
#include <memory>
#include <string>

#include <gtest/gtest.h>

#ifdef CRVXML_RELAY
#include "relay_process.h"
#endif

namespace crv::test {

#ifdef CRVXML_RELAY
using Relay = bench::RelayProcess;
using RelayCounts = bench::RelayCounts;

// A relay towards the server of `pgUri` that passes every chunk at once.
inline std::unique_ptr<Relay> startRelay(const std::string& pgUri)
{
    return std::make_unique<Relay>(CRVXML_RELAY, pgUri, 0);
}
#endif

}  // namespace crv::test

#ifdef CRVXML_RELAY
#define CRV_NEED_RELAY() (void)0
#else
#define CRV_NEED_RELAY() GTEST_SKIP() << "crvxml-relay is built with the benchmarks (CRVXML_BUILD_BENCH)"
#endif
