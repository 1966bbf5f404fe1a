// The texts a crawl has saved.
#include "crawl/duplicate_claims.h"

#include "base/error.h"
#include "base/files.h"
#include "crawl/worker.h"  // ResultFilePath

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

int32_t DuplicateClaims::Claim(int32_t worker_id, const std::shared_ptr<const TextPrint>& print) {
  if (!print) return -1;
  const auto source = [this](uint32_t id) -> std::optional<std::vector<uint64_t>> {
    const auto bytes = ReadResultFile(numbers_[id]);
    if (!bytes) return std::nullopt;
    return ShingleSet(ResultText(*bytes));
  };
  if (const auto original = index_.FindDuplicate(*print, source)) {
    ++duplicates_;
    return numbers_[*original];
  }
  pending_[worker_id] = index_.Add(*print, print);
  numbers_.push_back(worker_id);
  return -1;
}

void DuplicateClaims::Settle(int32_t worker_id, bool written) {
  const auto it = pending_.find(worker_id);
  if (it == pending_.end()) return;
  if (written) {
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
