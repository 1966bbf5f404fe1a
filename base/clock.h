// The millisecond tick counter and the process-wide random generator.
#pragma once

#include <cstdint>

namespace korvane {

// Milliseconds of a monotonic clock, kept as unsigned 32 bits: it wraps to 0 after about
// 49.7 days, so elapsed times are always computed as `later - earlier` in uint32_t.
[[nodiscard]] uint32_t TickCount();

// Seeds the one generator that every random pick of the program uses, from the clock.
void SeedRandomFromClock();
// Seeds it with a fixed value, for repeatable tests.
void SeedRandom(uint64_t seed);
// A uniformly random integer from 0 to bound - 1; 0 when bound is 0 or less. Any thread.
[[nodiscard]] int32_t RandomBelow(int32_t bound);

}  // namespace korvane
