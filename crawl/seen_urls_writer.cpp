// The background save of the seen list.
#include "crawl/seen_urls_writer.h"

#include <utility>

#include "base/files.h"

namespace korvane {

namespace {
// The writer rests this many times as long as its last write took.
constexpr int kRestFactor = 9;
}  // namespace

SeenUrlsWriter::SeenUrlsWriter(std::string path, const SortedList& list)
    : path_(std::move(path)), list_(list) {}

SeenUrlsWriter::~SeenUrlsWriter() {
  Stop();
}

void SeenUrlsWriter::Save() {
  CheckReplaceable(path_);
  {
    std::lock_guard lock(mutex_);
    if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
  }
  wanted_ = true;
  Poll();
}

void SeenUrlsWriter::Poll() {
  // A written snapshot is dropped at once: while one is held, every block the list changes is
  // copied first, and during the rest that copying would buy nothing.
  if (held_ && !Collect()) return;
  if (!wanted_) return;
  {
    std::lock_guard lock(mutex_);
    if (std::chrono::steady_clock::now() < rested_at_) return;
  }
  held_ = list_.TakeSnapshot();
  wanted_ = false;
  {
    std::lock_guard lock(mutex_);
    job_ = &held_->Pieces();
    writing_ = true;
  }
  wake_.notify_all();
  if (!thread_.joinable()) thread_ = std::thread(&SeenUrlsWriter::Run, this);
}

bool SeenUrlsWriter::Collect() {
  {
    std::lock_guard lock(mutex_);
    if (writing_) return false;
  }
  held_.reset();
  return true;
}

void SeenUrlsWriter::Stop() {
  if (thread_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  std::lock_guard lock(mutex_);
  stopping_ = false;
  writing_ = false;
  job_ = nullptr;
  rested_at_ = {};
  error_ = nullptr;
  held_.reset();
  wanted_ = false;
}

void SeenUrlsWriter::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return job_ != nullptr || stopping_; });
    // A snapshot handed over before Stop is still written: it is newer than the file.
    if (job_ == nullptr) return;
    const std::vector<std::string_view>& pieces = *job_;
    lock.unlock();
    const auto start = std::chrono::steady_clock::now();
    std::exception_ptr error;
    try {
      SaveFileAtomic(path_, pieces);
    } catch (...) {
      error = std::current_exception();
    }
    const auto end = std::chrono::steady_clock::now();
    lock.lock();
    job_ = nullptr;
    writing_ = false;
    rested_at_ = end + kRestFactor * (end - start);
    if (error) error_ = error;
    if (stopping_) return;
  }
}

}  // namespace korvane
