// The CPU time the benchmarks measure by.
#pragma once

#include <ctime>

namespace korvane::bench {

// This thread's CPU time in seconds: on a machine shared with other work the wall time says
// little.
inline double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace korvane::bench
