// Tick counter, wall clock, UTC time texts and shared random generator.
#include "base/clock.h"

#include <chrono>
#include <cstdio>
#include <ctime>
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

int64_t WallClockMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string UtcTimeText(int64_t ms) {
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm utc{};
  ::gmtime_r(&seconds, &utc);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                static_cast<int>(ms % 1000));
  return text;
}

std::optional<int64_t> UtcTimeOfText(std::string_view text) {
  std::tm utc{};
  int ms = 0;
  const std::string copy(text);
  if (std::sscanf(copy.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%3dZ", &utc.tm_year, &utc.tm_mon,
                  &utc.tm_mday, &utc.tm_hour, &utc.tm_min, &utc.tm_sec, &ms) != 7) {
    return std::nullopt;
  }
  utc.tm_year -= 1900;
  utc.tm_mon -= 1;
  return static_cast<int64_t>(::timegm(&utc)) * 1000 + ms;
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
