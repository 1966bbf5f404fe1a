// Code page 1251 conversion tables and case folding.
#include "base/cp1251.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace korvane {

namespace {

// Unicode code points of bytes 0x80..0xBF; 0xC0..0xFF map to U+0410..U+044F. 0 marks the
// unassigned byte.
constexpr std::array<char16_t, 64> kHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

constexpr char32_t CodePoint(unsigned char c) {
  if (c < 0x80) return c;
  if (c >= 0xC0) return 0x0410 + (c - 0xC0);
  return kHigh[c - 0x80];
}

constexpr std::array<unsigned char, 256> MakeFoldTable() {
  std::array<unsigned char, 256> table{};
  for (int i = 0; i < 256; ++i) table[i] = static_cast<unsigned char>(i);
  for (int c = 'A'; c <= 'Z'; ++c) table[c] = static_cast<unsigned char>(c + 32);
  for (int c = 0xC0; c <= 0xDF; ++c) table[c] = static_cast<unsigned char>(c + 32);
  // Capitals outside the two contiguous ranges, paired with their small letters.
  constexpr unsigned char pairs[][2] = {{0x80, 0x90}, {0x81, 0x83}, {0x8A, 0x9A}, {0x8C, 0x9C},
                                        {0x8D, 0x9D}, {0x8E, 0x9E}, {0x8F, 0x9F}, {0xA1, 0xA2},
                                        {0xA3, 0xBC}, {0xA5, 0xB4}, {0xA8, 0xB8}, {0xAA, 0xBA},
                                        {0xAF, 0xBF}, {0xB2, 0xB3}, {0xBD, 0xBE}};
  for (const auto& pair : pairs) table[pair[0]] = pair[1];
  return table;
}

constexpr auto kFold = MakeFoldTable();

char FromCodePoint(char32_t cp) {
  const int byte = CodePointToCp1251(cp);
  return byte < 0 ? '?' : static_cast<char>(byte);
}

// Decodes one UTF-8 sequence at `i`, advancing it; a malformed sequence yields U+FFFD and
// consumes one byte.
char32_t DecodeUtf8(std::string_view s, size_t& i) {
  const auto lead = static_cast<unsigned char>(s[i]);
  size_t length = lead < 0x80           ? 1
                  : (lead >> 5) == 0x6  ? 2
                  : (lead >> 4) == 0xE  ? 3
                  : (lead >> 3) == 0x1E ? 4
                                        : 0;
  if (length == 0 || i + length > s.size()) {
    ++i;
    return 0xFFFD;
  }
  char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    const auto c = static_cast<unsigned char>(s[i + k]);
    if ((c & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    cp = (cp << 6) | (c & 0x3F);
  }
  i += length;
  return cp;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

char32_t Cp1251CodePoint(unsigned char c) {
  return CodePoint(c);
}

int CodePointToCp1251(char32_t cp) {
  if (cp < 0x80) return static_cast<int>(cp);
  if (cp >= 0x0410 && cp <= 0x044F) return static_cast<int>(0xC0 + (cp - 0x0410));
  for (size_t i = 0; i < kHigh.size(); ++i) {
    if (kHigh[i] != 0 && kHigh[i] == cp) return static_cast<int>(0x80 + i);
  }
  return -1;
}

std::string Cp1251ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) {
    const char32_t cp = CodePoint(static_cast<unsigned char>(c));
    AppendUtf8(out, cp == 0 && c != '\0' ? U'?' : cp);
  }
  return out;
}

std::string Utf8ToCp1251(std::string_view utf8) {
  // Every sequence, and every byte that starts none, becomes one byte.
  std::string out(utf8.size(), '\0');
  char* to = out.data();
  const char* from = utf8.data();
  const size_t size = utf8.size();
  for (size_t i = 0; i < size;) {
    // Runs of ASCII stay as they are, copied eight bytes at a time.
    uint64_t word = 0;
    while (i + 8 <= size && (std::memcpy(&word, from + i, 8), (word & 0x8080808080808080) == 0)) {
      std::memcpy(to, &word, 8);
      to += 8;
      i += 8;
    }
    if (i == size) break;
    if (static_cast<unsigned char>(from[i]) < 0x80) {
      *to++ = from[i++];
    } else {
      *to++ = FromCodePoint(DecodeUtf8(utf8, i));
    }
  }
  out.resize(static_cast<size_t>(to - out.data()));
  return out;
}

unsigned char FoldCase1251(unsigned char c) {
  return kFold[c];
}

int CompareNoCase1251(std::string_view a, std::string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  size_t i = 0;
  while (i < n) {
    // Equal bytes fold equally, so runs of them (the long common prefixes of sorted
    // addresses) are skipped eight at a time; only a differing byte is folded.
    while (i + 8 <= n && std::memcmp(a.data() + i, b.data() + i, 8) == 0) i += 8;
    while (i < n && a[i] == b[i]) ++i;
    if (i == n) break;
    const int x = kFold[static_cast<unsigned char>(a[i])];
    const int y = kFold[static_cast<unsigned char>(b[i])];
    if (x != y) return x - y;
    ++i;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

}  // namespace korvane
