// The texts a crawl has saved, for the option that saves no text twice.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <unordered_map>
#include <vector>

#include "text/near_duplicates.h"

namespace korvane {

// A worker computes its text's fingerprint on its own thread and then
// claims the text in one main-thread hook, which checks it against the saved texts and, when it
// repeats none, records it as saved under the worker's number before any other worker's claim
// is looked at. So of two workers with one text exactly one saves it: the one whose claim the
// main thread runs first. Which of them that is, and so which number the file gets, depends on
// timing, as the numbers of a crawl's pages do; the set of saved texts does not (for exact
// copies it is the same bytes, for near copies one text of each group).
// A claimed text is held in memory until its worker has written it; afterwards its shingles are
// read back from its result file when a later text resembles it.
// Main thread only.
class DuplicateClaims {
 public:
  // Empties the record. With `on`, fills it from the result files numbered `saved`, which a
  // continued run keeps: each counts as saved, whatever it repeats. Unreadable files are left
  // out.
  void Start(bool on, const std::set<int32_t>& saved);

  // The claim of worker `worker_id` for the text of fingerprint `print`: the number of the saved
  // text it repeats, or -1 after recording it as saved under `worker_id` (also -1, and nothing
  // recorded, without a print).
  [[nodiscard]] int32_t Claim(int32_t worker_id, const std::shared_ptr<const TextPrint>& print);
  // Worker `worker_id` has finished: its claimed text is now in its file (`written`), or, when
  // writing failed, withdrawn.
  void Settle(int32_t worker_id, bool written);
  // The worker was ended from outside: a claim it holds is withdrawn, as its file may be missing.
  void Abandon(int32_t worker_id);

  [[nodiscard]] int64_t Duplicates() const { return duplicates_; }
  [[nodiscard]] const NearDuplicateIndex& Index() const { return index_; }

 private:
  NearDuplicateIndex index_;
  std::vector<int32_t> numbers_;                   // result file number by index number
  std::unordered_map<int32_t, uint32_t> pending_;  // worker number -> index number, unwritten
  int64_t duplicates_ = 0;
};

}  // namespace korvane
