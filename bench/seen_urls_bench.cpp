// What the two main-thread hooks of every crawled page cost once the seen list is large:
// adding a found link to it, and saving it whole as parsed_urls.txt.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/files.h"
#include "base/sorted_list.h"

namespace korvane {
namespace {

constexpr size_t kLargeList = 1'000'000;
constexpr int64_t kAddIterations = 200'000;

uint64_t Mix(uint64_t x) {
  x += 0x9e3779b97f4a7c15;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9;
  x = (x ^ (x >> 27)) * 0x94d049bb133111eb;
  return x ^ (x >> 31);
}

// Address number `i` of a large shop-like site, about 60 bytes, in no sorted order:
//   "http://www.example-store.ru/catalog/s41/Item-7730912-18277.html"
std::string Address(uint64_t i) {
  const uint64_t h = Mix(i);
  return "http://www.example-store.ru/catalog/s" + std::to_string(h % 97) +
         (h & 1 ? "/Item-" : "/item-") + std::to_string(h % 10'000'000) + "-" + std::to_string(i) +
         ".html";
}

// The seen list of `count` addresses, built once per size.
const SortedList& SeenList(size_t count) {
  static std::map<size_t, std::unique_ptr<SortedList>> lists;
  auto& list = lists[count];
  if (!list) {
    list = std::make_unique<SortedList>();
    for (size_t i = 0; i < count; ++i) list->Add(Address(i));
  }
  return *list;
}

// A fresh folder for the saves; removed with everything in it at the end of the benchmark.
class ScratchFolder {
 public:
  ScratchFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/korvane-bench-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  [[nodiscard]] std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// AddFoundLink of a link not seen before, into a list of a million addresses. The list grows
// by one per iteration (by at most a fifth over the run).
void BM_SeenListAddNew(benchmark::State& state) {
  SortedList list = SeenList(kLargeList);
  std::vector<std::string> fresh;
  fresh.reserve(kAddIterations);
  for (int64_t i = 0; i < kAddIterations; ++i) fresh.push_back(Address(kLargeList + i));
  size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(list.Add(fresh[next % fresh.size()]));
    ++next;
  }
  state.counters["list"] = static_cast<double>(list.Count());
}
BENCHMARK(BM_SeenListAddNew)->Iterations(kAddIterations);

// AddFoundLink of a link seen before (most links of a page are): a lookup that adds nothing.
void BM_SeenListAddKnown(benchmark::State& state) {
  SortedList list = SeenList(kLargeList);
  std::vector<std::string> known;
  for (uint64_t i = 0; i < 100'000; ++i) known.push_back(Address(Mix(i) % kLargeList));
  size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(list.Add(known[next % known.size()]));
    ++next;
  }
}
BENCHMARK(BM_SeenListAddKnown);

// SaveSeenUrls after a page: a new address found (one block changed), then the whole list
// written over parsed_urls.txt from its cached pieces.
void BM_SaveSeenUrls(benchmark::State& state) {
  SortedList list = SeenList(static_cast<size_t>(state.range(0)));
  const ScratchFolder folder;
  const std::string path = folder.File("parsed_urls.txt");
  size_t bytes = 0;
  uint64_t next = 0;
  for (auto _ : state) {
    list.Add(Address(kLargeList * 2 + next++));
    const auto pieces = list.TextPieces();
    SaveFileAtomic(path, pieces);
    bytes = 0;
    for (auto piece : pieces) bytes += piece.size();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
  state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_SaveSeenUrls)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0)
    ->UseRealTime();

}  // namespace
}  // namespace korvane
