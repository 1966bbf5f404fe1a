// The texts a crawl has saved.
#include "crawl/duplicate_claims.h"

#include "base/error.h"
#include "base/files.h"
#include "crawl/worker.h"

namespace korvane {

namespace {

std::optional<std::string> ReadResultFile(int32_t number) {
  try {
    return LoadFile(ResultFilePath(number));
  } catch (const KorvaneError&) {
    return std::nullopt;  // deleted or unreadable: it repeats nothing
  }
}

}  // namespace

void DuplicateClaims::Start(bool on, const std::set<int32_t>& saved) {
  index_.Clear();
  numbers_.clear();
  pending_.clear();
  duplicates_ = 0;
  if (!on) return;
  for (const int32_t number : saved) {
    const auto bytes = ReadResultFile(number);
    if (!bytes) continue;
    index_.Add(MakeTextPrint(ResultText(*bytes), index_.Measure()));
    numbers_.push_back(number);
  }
}

void DuplicateClaims::Claim(TmyThread& worker) {
  worker.DuplicateOf = -1;
  if (!worker.ClaimedPrint) return;
  const auto source = [this](uint32_t id) -> std::optional<std::vector<uint64_t>> {
    const auto bytes = ReadResultFile(numbers_[id]);
    if (!bytes) return std::nullopt;
    return ShingleSet(ResultText(*bytes));
  };
  if (const auto original = index_.FindDuplicate(*worker.ClaimedPrint, source)) {
    worker.DuplicateOf = numbers_[*original];
    ++duplicates_;
    return;
  }
  pending_[worker.WorkerId] = index_.Add(*worker.ClaimedPrint, worker.ClaimedPrint);
  numbers_.push_back(worker.WorkerId);
}

void DuplicateClaims::Settle(TmyThread& worker) {
  const auto it = pending_.find(worker.WorkerId);
  if (it == pending_.end()) return;
  if (worker.TextWritten) {
    index_.Release(it->second);
  } else {
    index_.Withdraw(it->second);
  }
  pending_.erase(it);
}

void DuplicateClaims::Abandon(int32_t worker_id) {
  const auto it = pending_.find(worker_id);
  if (it == pending_.end()) return;
  index_.Withdraw(it->second);
  pending_.erase(it);
}

}  // namespace korvane
