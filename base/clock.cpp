// Tick counter and shared random generator.
#include "base/clock.h"

#include <chrono>
#include <mutex>
#include <random>

namespace korvane {

namespace {
std::mutex random_mutex;
std::mt19937_64 random_engine;  // guarded by random_mutex
}  // namespace

uint32_t TickCount() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void SeedRandomFromClock() {
  SeedRandom(static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()));
}

void SeedRandom(uint64_t seed) {
  std::lock_guard lock(random_mutex);
  random_engine.seed(seed);
}

int32_t RandomBelow(int32_t bound) {
  if (bound <= 0) return 0;
  std::lock_guard lock(random_mutex);
  return std::uniform_int_distribution<int32_t>(0, bound - 1)(random_engine);
}

}  // namespace korvane
