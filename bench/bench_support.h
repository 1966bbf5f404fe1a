// What the benchmarks share: the CPU time they measure by, and the saved pages they read.
#pragma once

#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace korvane::bench {

// This thread's CPU time in seconds: on a machine shared with other work the wall time says
// little.
inline double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Every file of `folder` as an HTTP answer: `head`, then the file's bytes. `total` gets the
// bytes of all of them.
inline std::vector<std::string> ReadAnswers(const std::string& folder, std::string_view head,
                                            size_t& total) {
  std::vector<std::string> pages;
  total = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream body;
    body << in.rdbuf();
    pages.push_back(std::string(head) + body.str());
    total += pages.back().size();
  }
  return pages;
}

}  // namespace korvane::bench
