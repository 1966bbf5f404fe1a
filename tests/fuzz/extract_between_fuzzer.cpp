// ExtractBetween and its marker searches on any three byte strings.
// Input: start marker \x1f end marker \x1f text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "text/extract_between.h"

namespace korvane::fuzz {
namespace {

constexpr size_t kNone = std::string_view::npos;

// Whatever the result, it is "Error", "Zero" or the bytes right after the first start marker,
// and it never holds the end marker.
void CheckResultShape(std::string_view start, std::string_view stop, std::string_view text,
                      const std::string& result) {
  if (result == kError || result == kZero) return;
  const size_t at = text.find(start);
  Check(!start.empty() && at != kNone, "a real result needs a start marker in the text");
  Check(text.substr(at + start.size(), result.size()) == result,
        "the result follows the first start marker");
  Check(result.find(stop) == kNone, "the result holds no end marker");
}

// The copy-free form gives the same bytes, and a result other than the fixed ones is a view
// of the text itself. (Where a fixed result points is not checked: a string literal may have
// a copy in every object file.)
void CheckView(std::string_view view, std::string_view text, const std::string& result) {
  CheckSame("ExtractBetweenView", result, view);
  if (view == kError || view == kZero) return;
  const bool inside =
      view.data() >= text.data() && view.data() + view.size() <= text.data() + text.size();
  Check(inside, "a view points into the text");
}

// FindMarkerAcrossJoin, for every cut of `text` whose head holds no whole marker, finds the
// first occurrence exactly when that one straddles the cut.
void CheckJoins(std::string_view marker, std::string_view text) {
  if (marker.empty()) return;
  const size_t first = text.find(marker);
  const size_t step = text.size() > 256 ? text.size() / 64 : 1;
  for (size_t cut = 0; cut <= text.size(); cut += step) {
    const std::string_view kept = text.substr(0, cut);
    if (kept.find(marker) != kNone) break;
    const size_t expected = first != kNone && first < cut ? first : kNone;
    Check(FindMarkerAcrossJoin(kept, text.substr(cut), marker) == expected,
          "FindMarkerAcrossJoin finds the marker made by the join");
  }
}

void CheckFindMarker(std::string_view marker, std::string_view text) {
  for (size_t from : {size_t{0}, text.size() / 3, text.size(), text.size() + 1}) {
    const size_t expected = marker.empty() || from > text.size() ? kNone : text.find(marker, from);
    Check(FindMarker(text, marker, from) == expected, "FindMarker is the first occurrence");
  }
}

}  // namespace
}  // namespace korvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvane::fuzz;
  FuzzInput input(data, size);
  const std::string_view start = input.TakeField();
  const std::string_view stop = input.TakeField();
  const std::string_view text = input.Rest();

  const std::string result = korvane::ExtractBetween(start, stop, text);
  CheckResultShape(start, stop, text, result);
  CheckView(korvane::ExtractBetweenView(start, stop, text), text, result);
  CheckFindMarker(start, text);
  CheckJoins(start, text);
  CheckJoins(stop, text);
  return 0;
}
