// Byte-string helpers.
#include "base/strings.h"

#include <cstring>
#include <vector>

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
  text.resize(ReplaceAllIn(text.data(), text.size(), from, to, TextEnd::kStart).size());
}

std::string_view ReplaceAllIn(char* text, size_t size, std::string_view from, std::string_view to,
                              TextEnd moving) {
  const std::string_view all(text, size);
  if (from.empty()) return all;
  std::vector<size_t> hits;
  for (size_t at = FindText(all, from); at != std::string_view::npos;
       at = FindText(all, from, at + from.size())) {
    hits.push_back(at);
  }
  if (hits.empty()) return all;
  // The text is the pieces around the hits: piece i lies before hit i, the last one after the
  // last hit. One piece stays where it is, the first or the longest; those before it move
  // right and those after it left, each next to the replacement that joins it to the rest.
  const size_t count = hits.size();
  const auto piece_begin = [&](size_t i) { return i == 0 ? 0 : hits[i - 1] + from.size(); };
  const auto piece_end = [&](size_t i) { return i == count ? size : hits[i]; };
  size_t stays = 0;
  if (moving == TextEnd::kEither) {
    for (size_t i = 1; i <= count; ++i) {
      if (piece_end(i) - piece_begin(i) > piece_end(stays) - piece_begin(stays)) stays = i;
    }
  }
  // Every move is a memmove that writes only where bytes change place.
  const auto place = [&](size_t to_at, size_t i) {
    if (to_at != piece_begin(i)) {
      std::memmove(text + to_at, text + piece_begin(i), piece_end(i) - piece_begin(i));
    }
  };
  size_t begin = piece_begin(stays);
  for (size_t i = stays; i-- > 0;) {
    begin -= to.size();
    std::memcpy(text + begin, to.data(), to.size());
    begin -= piece_end(i) - piece_begin(i);
    place(begin, i);
  }
  size_t end = piece_end(stays);
  for (size_t i = stays + 1; i <= count; ++i) {
    std::memcpy(text + end, to.data(), to.size());
    end += to.size();
    place(end, i);
    end += piece_end(i) - piece_begin(i);
  }
  return {text + begin, end - begin};
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

std::string AsciiLowered(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) c = AsciiLower(c);
  return lowered;
}

std::string_view Trim(std::string_view text, std::string_view leading, std::string_view trailing) {
  const size_t first = text.find_first_not_of(leading);
  if (first == std::string_view::npos) return {};
  text.remove_prefix(first);
  return text.substr(0, text.find_last_not_of(trailing) + 1);
}

}  // namespace korvane
