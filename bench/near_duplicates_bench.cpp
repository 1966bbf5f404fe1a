// The duplicate index at 1,000,000 saved texts: what one check costs on the main thread, the
// index's size, and the folder tool's speed over 100,000 files of 10 KB.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>
#include <random>
#include <string>

#include "base/files.h"
#include "text/near_duplicates.h"
#include "tools/tools.h"

namespace korvane {
namespace {

constexpr uint32_t kSavedTexts = 1'000'000;
constexpr int kSavedWords = 200;    // the texts the index is filled with
constexpr int kQueryWords = 1'500;  // about 10 KB, a page's text

// Text `seed` of `words` words from a vocabulary of 200,000, the same for the same seed.
std::string Text(uint64_t seed, int words) {
  std::mt19937_64 random(seed);
  std::string text;
  for (int i = 0; i < words; ++i) text += "w" + std::to_string(random() % 200'000) + ' ';
  return text;
}

// Text `seed` with `changes` of its words replaced.
std::string Changed(uint64_t seed, int words, int changes) {
  std::string text = Text(seed, words);
  std::mt19937_64 random(seed ^ 0x5bd1e995);
  for (int i = 0; i < changes; ++i) text.insert(random() % text.size(), " new" + std::to_string(i));
  return text;
}

NearDuplicateIndex& FullIndex() {
  static NearDuplicateIndex* index = [] {
    auto* built = new NearDuplicateIndex;
    for (uint32_t i = 0; i < kSavedTexts; ++i) {
      built->Add(MakeTextPrint(Text(i, kSavedWords), built->Measure()));
    }
    return built;
  }();
  return *index;
}

// The saved texts the queries repeat, as their files would hold them.
std::map<uint32_t, std::string>& SavedFiles() {
  static std::map<uint32_t, std::string> files;
  return files;
}

// The saved texts' shingles, as a crawl takes them from their files (the read aside).
std::optional<std::vector<uint64_t>> SavedShingles(uint32_t id) {
  const auto file = SavedFiles().find(id);
  return ShingleSet(file != SavedFiles().end() ? file->second : Text(id, kSavedWords));
}

void Report(benchmark::State& state, const NearDuplicateIndex& index) {
  state.counters["texts"] = static_cast<double>(index.Count());
  state.counters["index_MB"] = static_cast<double>(index.MemoryBytes()) / 1e6;
  state.counters["bytes_per_text"] =
      static_cast<double>(index.MemoryBytes()) / static_cast<double>(index.Count());
}

// Arg 0: a new text of 10 KB; 1: an exact copy of a saved text; 2: a near copy (2 words added
// to 200: resemblance about 0.97), whose check reads the saved text's shingles back.
void BM_CheckAgainstMillionTexts(benchmark::State& state) {
  NearDuplicateIndex& index = FullIndex();
  std::vector<TextPrint> queries;
  for (uint64_t i = 0; i < 256; ++i) {
    const uint32_t saved = static_cast<uint32_t>(i * 3'907);
    SavedFiles()[saved] = Text(saved, kSavedWords);
    const std::string text = state.range(0) == 0   ? Text(kSavedTexts + i, kQueryWords)
                             : state.range(0) == 1 ? Text(saved, kSavedWords)
                                                   : Changed(saved, kSavedWords, 2);
    queries.push_back(MakeTextPrint(text, index.Measure()));
  }
  size_t i = 0, found = 0;
  for (auto _ : state) {
    found += index.FindDuplicate(queries[i++ % queries.size()], SavedShingles).has_value();
  }
  state.counters["found_share"] = static_cast<double>(found) / static_cast<double>(i);
  Report(state, index);
}
BENCHMARK(BM_CheckAgainstMillionTexts)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// The worker's share: the fingerprint of a 10 KB text.
void BM_FingerprintOfTenKilobytes(benchmark::State& state) {
  const std::string text = Text(1, kQueryWords);
  const DuplicateMeasure measure;
  for (auto _ : state) benchmark::DoNotOptimize(MakeTextPrint(text, measure));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_FingerprintOfTenKilobytes)->Unit(benchmark::kMicrosecond);

// korvane-cli dedupe over 100,000 files of about 10 KB, one in ten a near copy of the one
// before; the files are fresh in the page cache, so this is the tool's own speed.
void BM_DedupeHundredThousandFiles(benchmark::State& state) {
  const std::string folder =
      std::filesystem::temp_directory_path() / ("korvane-dedupe-bench-" + std::to_string(getpid()));
  size_t bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    bytes = 0;
    for (uint64_t i = 0; i < 100'000; ++i) {
      const std::string text = i % 10 == 9 ? Changed(i - 1, kQueryWords, 3) : Text(i, kQueryWords);
      SaveFileAtomic(folder + "/" + std::to_string(i) + ".txt", text);
      bytes += text.size();
    }
    state.ResumeTiming();
    const auto groups = RemoveDuplicateTexts({folder}, [](ToolLabel, std::string_view) {});
    state.counters["groups"] = static_cast<double>(groups.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_DedupeHundredThousandFiles)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace korvane
