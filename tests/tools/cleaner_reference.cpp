// Step-by-step from-to cleaning over a line buffer.
#include "cleaner_reference.h"

#include "base/strings.h"
#include "base/text_lines.h"
#include "text/extract_between.h"

namespace korvane::reference {

std::string CleanFromToText(std::string_view text, std::string_view from, std::string_view to) {
  Lines buffer = SplitLines(text);
  for (;;) {
    const std::string whole = JoinLines(buffer);
    if (!Contains(whole, from) || !Contains(whole, to)) break;
    const std::string stretch =
        std::string(from) + ExtractBetween(from, to, whole) + std::string(to);
    buffer = SplitLines(ReplaceAll(whole, stretch, " "));
    if (JoinLines(buffer) == whole) break;  // the pass changed nothing
  }
  return JoinLines(buffer);
}

}  // namespace korvane::reference
