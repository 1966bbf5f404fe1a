// Guarded: a value that one thread replaces while others read it.
#pragma once

#include <memory>
#include <mutex>

namespace korvane {

// A value that one thread replaces and others read, each read seeing a whole value. Reads
// return a shared snapshot, so a reader never copies a long list.
template <class T>
class Guarded {
 public:
  Guarded() : value_(std::make_shared<const T>()) {}
  explicit Guarded(T value) : value_(std::make_shared<const T>(std::move(value))) {}

  [[nodiscard]] std::shared_ptr<const T> Get() const {
    std::lock_guard lock(mutex_);
    return value_;
  }
  void Set(T value) {
    auto fresh = std::make_shared<const T>(std::move(value));
    std::lock_guard lock(mutex_);
    value_ = std::move(fresh);
  }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<const T> value_;  // guarded by mutex_
};

}  // namespace korvane
