// Field splitting and failure reports for the fuzz targets.
#include "fuzz_support.h"

#include <cstdio>

#include "net/fetcher.h"

namespace korvane::fuzz {

uint8_t FuzzInput::TakeByte() {
  if (rest_.empty()) return 0;
  const auto byte = static_cast<uint8_t>(rest_.front());
  rest_.remove_prefix(1);
  return byte;
}

std::string_view FuzzInput::TakeField() {
  const size_t end = rest_.find(kFieldSeparator);
  const std::string_view field = rest_.substr(0, end);
  rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
  return field;
}

Lines SplitAtLineFeeds(std::string_view text) {
  Lines lines;
  if (text.empty()) return lines;
  size_t begin = 0;
  for (;;) {
    const size_t end = text.find('\n', begin);
    lines.emplace_back(text.substr(begin, end - begin));
    if (end == std::string_view::npos) break;
    begin = end + 1;
  }
  return lines;
}

std::string Escaped(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7f && c != '\\' && c != '"') {
      out += c;
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02x", byte);
      out += hex;
    }
  }
  return out;
}

void Note(std::string_view name, std::string_view bytes) {
  const std::string text = Escaped(bytes);
  std::fprintf(stderr, "%.*s (%zu bytes): \"%s\"\n", static_cast<int>(name.size()), name.data(),
               bytes.size(), text.c_str());
}

void Check(bool holds, std::string_view what) {
  if (holds) return;
  std::fprintf(stderr, "CHECK FAILED: %.*s\n", static_cast<int>(what.size()), what.data());
  __builtin_trap();
}

void CheckSame(std::string_view what, std::string_view expected, std::string_view actual) {
  if (expected == actual) return;
  std::fprintf(stderr, "DIFFERENCE in %.*s\n", static_cast<int>(what.size()), what.data());
  Note("step-by-step", expected);
  Note("fast        ", actual);
  __builtin_trap();
}

void DecodeLinkCase(FuzzInput& input, LinkCase& out) {
  const uint8_t bits = input.TakeByte();
  out.url = input.TakeField();
  out.options.apostrophes = bits & 1;
  out.options.exclude_subdomains = bits & 2;
  out.options.relative = bits & 4;
  out.options.site = input.TakeField();
  out.blacklist = SplitAtLineFeeds(input.TakeField());
  out.options.blacklist = &out.blacklist;
  out.page = bits & 8 ? NormalizeAnchors(input.Rest()) : std::string(input.Rest());
  out.host = UrlHost(out.url);
}

}  // namespace korvane::fuzz
