// From-to cleaning of one large file: the one-pass engine against the pass-by-pass loop.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "cleaner_reference.h"
#include "tools/tools.h"

namespace korvane {
namespace {

// Prose lines with character references, a quarter of them numeric among 2,000 distinct
// numbers: every distinct stretch costs the pass-by-pass loop one more scan of the text.
std::string ProseWithReferences(size_t bytes) {
  static constexpr const char* kWords[] = {"the",  "river", "runs",   "past", "old",
                                           "mill", "and",   "slowly", "into", "town"};
  static constexpr const char* kNamed[] = {"&amp;", "&nbsp;", "&quot;", "&laquo;", "&raquo;"};
  std::mt19937 engine(1251);
  std::string text;
  text.reserve(bytes + 64);
  while (text.size() < bytes) {
    for (int word = 0; word < 12; ++word) {
      text += kWords[engine() % std::size(kWords)];
      text += ' ';
      if (engine() % 8 == 0) {
        text += engine() % 4 == 0 ? "&#" + std::to_string(1000 + engine() % 2000) + ";"
                                  : kNamed[engine() % std::size(kNamed)];
        text += ' ';
      }
    }
    text += "\r\n";
  }
  return text;
}

void BM_FromToCleaning(benchmark::State& state) {
  const std::string text = ProseWithReferences(static_cast<size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(CleanFromToText(text, "&", ";"));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_FromToCleaning)
    ->Arg(1 << 20)
    ->Arg(20 << 20)
    ->Arg(200 << 20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_FromToCleaningPassByPass(benchmark::State& state) {
  const std::string text = ProseWithReferences(static_cast<size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(reference::CleanFromToText(text, "&", ";"));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_FromToCleaningPassByPass)
    ->Arg(1 << 20)
    ->Arg(20 << 20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace
}  // namespace korvane
