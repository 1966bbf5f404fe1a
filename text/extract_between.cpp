// ExtractBetween and the marker searches shared by the text extractors.
#include "text/extract_between.h"

#include <algorithm>
#include <cstring>

#include "base/strings.h"

namespace korvane {

size_t FindMarker(std::string_view text, std::string_view marker, size_t from) {
  return FindText(text, marker, from);
}

size_t FindMarkerAcrossJoin(std::string_view kept, std::string_view rest, std::string_view marker) {
  if (marker.size() < 2 || kept.empty() || rest.empty()) return std::string_view::npos;
  // Only the last size-1 bytes of `kept` and the first size-1 bytes of `rest` can take part,
  // and an occurrence inside that window cannot lie wholly on one side.
  const size_t from_kept = std::min(kept.size(), marker.size() - 1);
  const size_t from_rest = std::min(rest.size(), marker.size() - 1);
  std::string window;
  window.reserve(from_kept + from_rest);
  window.append(kept.substr(kept.size() - from_kept));
  window.append(rest.substr(0, from_rest));
  const size_t hit = FindMarker(window, marker);
  if (hit == std::string_view::npos) return hit;
  return kept.size() - from_kept + hit;
}

std::string_view ExtractBetweenView(std::string_view start, std::string_view stop,
                                    std::string_view text) {
  const size_t start_at = FindMarker(text, start);
  if (start_at == std::string_view::npos || stop.empty()) return kError;
  const size_t tail_at = start_at + start.size();
  const size_t stop_at = FindMarker(text, stop, tail_at);
  std::string_view result;
  if (stop_at != std::string_view::npos) {
    result = text.substr(tail_at, stop_at - tail_at);
  } else {
    // `stop` is not after the first `start`; it still counts if it occurs anywhere before the
    // tail (overlapping the start marker included), and then the whole tail is the result.
    const std::string_view head = text.substr(0, std::min(text.size(), tail_at + stop.size() - 1));
    if (FindMarker(head, stop) == std::string_view::npos) return kError;
    result = text.substr(tail_at);
  }
  return result.empty() ? kZero : result;
}

std::string ExtractBetween(std::string_view start, std::string_view stop, std::string_view text) {
  return std::string(ExtractBetweenView(start, stop, text));
}

}  // namespace korvane
