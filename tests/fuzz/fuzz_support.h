// What every fuzz target shares: cutting one input into fields and reporting a broken check.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/text_lines.h"
#include "policy/links.h"

namespace korvane::fuzz {

// Separates the fields of a multi-field input. The ASCII unit separator keeps hand-made seeds
// readable (printf 'start\x1fstop\x1ftext') while almost never standing in real text.
inline constexpr char kFieldSeparator = '\x1f';

// Reads an input from the front: single option bytes, then fields, then the rest.
class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : rest_(reinterpret_cast<const char*>(data), size) {}

  // The next byte, 0 once the input is used up.
  uint8_t TakeByte();

  // The bytes up to the next separator, which is consumed; all the rest when none is left.
  std::string_view TakeField();

  [[nodiscard]] std::string_view Rest() const { return rest_; }

 private:
  std::string_view rest_;
};

// The pieces of `text` between LF bytes; "" gives no lines, "a\n" gives {"a", ""}. Unlike
// SplitLines this keeps CR and NUL inside lines, so the line-based functions also meet lines
// that no memo could hold.
[[nodiscard]] Lines SplitAtLineFeeds(std::string_view text);

// One link-scan case, as both link targets read it: an option byte (apostrophes, exclude
// subdomains, relative, normalise anchors first), then the page's address, the site and the
// blacklist (LF-separated) as fields, then the page.
struct LinkCase {
  std::string url;
  std::string host;  // UrlHost(url)
  Lines blacklist;
  LinkOptions options;  // its blacklist points at `blacklist`
  std::string page;
};

// Fills `out` from `input`. In place, because the options point into the case.
void DecodeLinkCase(FuzzInput& input, LinkCase& out);

// `bytes` as a C-style literal body: printable ASCII as is, everything else as \xNN.
[[nodiscard]] std::string Escaped(std::string_view bytes);

// Prints `what` and traps when `holds` is false, so that libFuzzer keeps the input.
void Check(bool holds, std::string_view what);

// Prints both results and traps when they differ.
void CheckSame(std::string_view what, std::string_view expected, std::string_view actual);

// A report line for a named input or result, for use before Check fails.
void Note(std::string_view name, std::string_view bytes);

}  // namespace korvane::fuzz
