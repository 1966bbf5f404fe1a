// Byte-string helpers.
#include "base/strings.h"

#include <cstring>

#include "base/byte_mask.h"

#include "base/error.h"

namespace korvane {

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  for (size_t hit; (hit = text.find(from, pos)) != std::string_view::npos;
       pos = hit + from.size()) {
    out.append(text, pos, hit - pos);
    out += to;
  }
  out.append(text, pos);
  return out;
}

size_t FindText(std::string_view text, std::string_view what, size_t from) {
  if (what.empty() || from > text.size() || text.size() - from < what.size()) {
    return std::string_view::npos;
  }
  const char* const data = text.data();
  if (what.size() == 1) {
    const void* hit = std::memchr(data + from, what[0], text.size() - from);
    return hit == nullptr ? std::string_view::npos : static_cast<const char*>(hit) - data;
  }
  const size_t last = what.size() - 1;
  size_t block = from;
  // The first match that starts in the 64 places at `at`, if any. Blocks are tested while
  // they have the bytes their pairs need; the last few places go to the plain search.
  const auto in_block = [&](size_t at) {
    uint64_t starts = PairMask64(data + at, what[0], what[last], last);
    for (; starts != 0; starts &= starts - 1) {
      const size_t start = at + static_cast<size_t>(__builtin_ctzll(starts));
      if (std::memcmp(data + start + 1, what.data() + 1, last - 1) == 0) return start;
    }
    return std::string_view::npos;
  };
  for (; block + last + 128 <= text.size(); block += 128) {
    if (!AnyPair128(data + block, what[0], what[last], last)) continue;
    if (const size_t at = in_block(block); at != std::string_view::npos) return at;
    if (const size_t at = in_block(block + 64); at != std::string_view::npos) return at;
  }
  for (; block + last + 64 <= text.size(); block += 64) {
    if (const size_t at = in_block(block); at != std::string_view::npos) return at;
  }
  return text.find(what, block);
}

void ReplaceAllInPlace(std::string& text, std::string_view from, std::string_view to) {
  if (from.empty()) return;
  // Every replacement is written no further on than the bytes it replaces, so writing never
  // overtakes the search.
  size_t kept = 0;
  size_t pos = 0;
  for (size_t at; (at = FindText(text, from, pos)) != std::string_view::npos;
       pos = at + from.size()) {
    std::memmove(text.data() + kept, text.data() + pos, at - pos);
    kept += at - pos;
    std::memcpy(text.data() + kept, to.data(), to.size());
    kept += to.size();
  }
  std::memmove(text.data() + kept, text.data() + pos, text.size() - pos);
  text.resize(kept + text.size() - pos);
}

std::string ReplaceFirst(std::string_view text, std::string_view from, std::string_view to) {
  const size_t hit = from.empty() ? std::string_view::npos : text.find(from);
  if (hit == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size() + to.size());
  out.append(text, 0, hit);
  out += to;
  out.append(text, hit + from.size());
  return out;
}

std::string DeleteFirst(std::string_view text, std::string_view what) {
  return ReplaceFirst(text, what, {});
}

std::optional<int32_t> ParseInt32(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return std::nullopt;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
    if (value > int64_t{INT32_MAX} + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
  return static_cast<int32_t>(value);
}

int32_t StrToInt(std::string_view text) {
  if (auto value = ParseInt32(text)) return *value;
  throw NotAnInteger(text);
}

int32_t StrToIntDef(std::string_view text, int32_t fallback) {
  return ParseInt32(text).value_or(fallback);
}

std::optional<uint32_t> ParseUint32(std::string_view text) {
  if (text.empty()) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > UINT32_MAX) return std::nullopt;
  }
  return static_cast<uint32_t>(value);
}

}  // namespace korvane
