// Bit masks of the places of given bytes in 64-byte blocks: the scan under the text passes
// that visit every occurrence of a few bytes, where a search call per occurrence costs more
// than the bytes between them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace korvane {

// Bit i is set when block[i] is one of `wanted`, for the 64 bytes at `block`.
template <class... Bytes>
[[nodiscard]] inline uint64_t ByteMask64(const char* block, Bytes... wanted) {
#if defined(__SSE2__)
  uint64_t mask = 0;
  for (int i = 0; i < 4; ++i) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * i));
    const __m128i hits = (_mm_cmpeq_epi8(bytes, _mm_set1_epi8(wanted)) | ...);
    mask |= uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(hits))} << (16 * i);
  }
  return mask;
#else
  uint64_t mask = 0;
  for (int i = 0; i < 64; ++i) mask |= uint64_t{((block[i] == wanted) || ...)} << i;
  return mask;
#endif
}

// Bit i is set when block[i] is one of `wanted`, for the 16 bytes at `block`.
template <class... Bytes>
[[nodiscard]] inline uint32_t ByteMask16(const char* block, Bytes... wanted) {
#if defined(__SSE2__)
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
  const __m128i hits = (_mm_cmpeq_epi8(bytes, _mm_set1_epi8(wanted)) | ...);
  return static_cast<uint16_t>(_mm_movemask_epi8(hits));
#else
  uint32_t mask = 0;
  for (int i = 0; i < 16; ++i) mask |= uint32_t{((block[i] == wanted) || ...)} << i;
  return mask;
#endif
}

// Bit i is set when block[i] is `first` and block[i + distance] is `second`, for the 64
// places at `block` (which must have 64 + distance readable bytes). Most blocks of a search
// hold no such pair: they cost one test of all four parts at once.
[[nodiscard]] inline uint64_t PairMask64(const char* block, char first, char second,
                                         size_t distance) {
#if defined(__SSE2__)
  const __m128i firsts = _mm_set1_epi8(first);
  const __m128i seconds = _mm_set1_epi8(second);
  __m128i pairs[4];
  for (int i = 0; i < 4; ++i) {
    const auto* at = reinterpret_cast<const __m128i*>(block + 16 * i);
    const auto* later = reinterpret_cast<const __m128i*>(block + 16 * i + distance);
    pairs[i] = _mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128(at), firsts),
                             _mm_cmpeq_epi8(_mm_loadu_si128(later), seconds));
  }
  const __m128i any =
      _mm_or_si128(_mm_or_si128(pairs[0], pairs[1]), _mm_or_si128(pairs[2], pairs[3]));
  if (_mm_movemask_epi8(any) == 0) return 0;
  uint64_t mask = 0;
  for (int i = 0; i < 4; ++i) {
    mask |= uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(pairs[i]))} << (16 * i);
  }
  return mask;
#else
  return ByteMask64(block, first) & ByteMask64(block + distance, second);
#endif
}

// Whether PairMask64 would find a pair in either of the two blocks at `block` (which must have
// 128 + distance readable bytes). A search tests its text 128 bytes at a time with this: one
// branch for the stretch, and the eight tests of each block half overlap.
[[nodiscard]] inline bool AnyPair128(const char* block, char first, char second, size_t distance) {
#if defined(__SSE2__)
  const __m128i firsts = _mm_set1_epi8(first);
  const __m128i seconds = _mm_set1_epi8(second);
  __m128i any = _mm_setzero_si128();
  for (int i = 0; i < 8; ++i) {
    const auto* at = reinterpret_cast<const __m128i*>(block + 16 * i);
    const auto* later = reinterpret_cast<const __m128i*>(block + 16 * i + distance);
    any = _mm_or_si128(any, _mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128(at), firsts),
                                          _mm_cmpeq_epi8(_mm_loadu_si128(later), seconds)));
  }
  return _mm_movemask_epi8(any) != 0;
#else
  return (PairMask64(block, first, second, distance) |
          PairMask64(block + 64, first, second, distance)) != 0;
#endif
}

// The number of bits set in `bits`. The build targets plain x86-64, where the compiler's
// popcount is a library call; these few shifts and adds cost less.
[[nodiscard]] constexpr uint32_t CountBits(uint64_t bits) {
  bits -= (bits >> 1) & 0x5555555555555555;
  bits = (bits & 0x3333333333333333) + ((bits >> 2) & 0x3333333333333333);
  bits = (bits + (bits >> 4)) & 0x0F0F0F0F0F0F0F0F;
  return static_cast<uint32_t>((bits * 0x0101010101010101) >> 56);
}

// Calls `visit(i)` for every index i >= `from` of `text` whose byte is one of `wanted`, in
// ascending order, until `visit` returns false. A block's places are found before any of them
// is visited, so `visit` may overwrite bytes before the index it is given, never after.
template <class Visit, class... Bytes>
void ForEachByteOf(std::string_view text, size_t from, Visit visit, Bytes... wanted) {
  const char* const data = text.data();
  size_t block = from;
  for (; block < text.size(); block += 64) {
    uint64_t mask;
    if (text.size() - block >= 64) {
      mask = ByteMask64(data + block, wanted...);
    } else {
      char tail[64] = {};
      std::memcpy(tail, data + block, text.size() - block);
      mask = ByteMask64(tail, wanted...) & ((uint64_t{1} << (text.size() - block)) - 1);
    }
    for (; mask != 0; mask &= mask - 1) {
      if (!visit(block + static_cast<size_t>(__builtin_ctzll(mask)))) return;
    }
  }
}

}  // namespace korvane
