// The millisecond tick counter, the wall clock and its UTC texts, and the process-wide random
// generator.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// Milliseconds of a monotonic clock, kept as unsigned 32 bits: it wraps to 0 after about
// 49.7 days, so elapsed times are always computed as `later - earlier` in uint32_t.
[[nodiscard]] uint32_t TickCount();

// Milliseconds since 1970 (UTC) now.
[[nodiscard]] int64_t WallClockMs();

// "2026-12-09T09:22:32.123Z" for the ms since 1970, and back (nothing for other text).
[[nodiscard]] std::string UtcTimeText(int64_t ms);
[[nodiscard]] std::optional<int64_t> UtcTimeOfText(std::string_view text);

// Seeds the one generator that every random pick of the program uses, from the clock.
void SeedRandomFromClock();
// Seeds it with a fixed value, for repeatable tests.
void SeedRandom(uint64_t seed);
// A uniformly random integer from 0 to bound - 1; 0 when bound is 0 or less. Any thread.
[[nodiscard]] int32_t RandomBelow(int32_t bound);

}  // namespace korvane
