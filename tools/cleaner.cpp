// The text cleaner: from-to cleaning and word cleaning of every ".txt" file of the folder.
#include <string>

#include "base/files.h"
#include "base/folder_listing.h"
#include "base/strings.h"
#include "base/text_lines.h"
#include "text/extract_between.h"
#include "text/span_rewriter.h"
#include "tools/texts.h"
#include "tools/tools.h"

namespace korvane {

namespace {

constexpr std::string_view kBlank = " ";

// The from-to loop pass by pass, for markers the span engine cannot take: each pass
// replaces every copy of start + ExtractBetween(start, end, text) + end and puts the text
// back into the line buffer. A pass that leaves the text as it was ends the loop. Every other
// pass shortens the text, except where the buffer's re-joining mends the line breaks that a
// stretch from LF to CR cut: a pass that turns "\r\nx\r\n" into "\r\n \r\n" keeps the
// length, and the pass after it changes nothing. So the loop always ends.
std::string CleanFromToPassByPass(std::string text, std::string_view from, std::string_view to) {
  while (Contains(text, from) && Contains(text, to)) {
    std::string stretch(from);
    stretch += ExtractBetweenView(from, to, text);
    stretch += to;
    std::string next = NormalizeLines(ReplaceAll(text, stretch, kBlank));
    if (next == text) break;
    text = std::move(next);
  }
  return text;
}

// Rewrites every listed file of the folder with `clean`, reporting on `label`.
template <class Clean>
void CleanFolder(const CleanFields& fields, ToolLabel label, const ToolProgress& progress,
                 Clean clean) {
  using namespace tool_texts;
  const std::vector<FolderEntry> entries = ListTxtEntries(fields.folder);
  const std::string total = std::to_string(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::string path = fields.folder + "/" + entries[i].name;
    SaveFileAtomic(path, clean(LoadFile(path)));
    progress(label, kProgress + std::to_string(i) + " / " + total);
  }
  progress(label, kProgress + total + " / " + total + kCleanFinished);
}

}  // namespace

// The loop is the span engine's (text/span_rewriter.h) with one blank for every stretch, when
// the markers fit it (SpanMarkersAreSeparate with the blank) and hold no line break (then the
// line buffer never changes a pass's result). The engine stops where the first stretch is
// empty; there the loop's pass uses start + "Zero" + end, which is done literally, and should
// it remove something the loop goes on from the text it leaves.
std::string CleanFromToText(std::string_view text, std::string_view from, std::string_view to) {
  std::string cleaned = NormalizeLines(text);
  if (!Contains(cleaned, from) || !Contains(cleaned, to)) return cleaned;
  const bool plain_markers = from.find_first_of("\r\n") == std::string_view::npos &&
                             to.find_first_of("\r\n") == std::string_view::npos;
  if (!plain_markers || !SpanMarkersAreSeparate(from, to, kBlank)) {
    return CleanFromToPassByPass(std::move(cleaned), from, to);
  }
  const SpanKind kind{from, to, {kBlank, kBlank}, [](std::string_view) { return uint8_t{0}; }};
  const std::string zero_stretch = std::string(from) + std::string(kZero) + std::string(to);
  while (RewriteSpansInPlace(kind, cleaned) == SpanLoopEnd::kEmptySpan) {
    std::string next = ReplaceAll(cleaned, zero_stretch, kBlank);
    if (next.size() == cleaned.size()) break;  // nothing removed
    cleaned = std::move(next);
  }
  return cleaned;
}

std::string CleanWordText(std::string_view text, std::string_view word) {
  return NormalizeLines(ReplaceAll(NormalizeLines(text), word, kBlank));
}

void CleanFromTo(const CleanFields& fields, const ToolProgress& progress) {
  CleanFolder(fields, ToolLabel::kFromToProgress, progress, [&](const std::string& text) {
    return CleanFromToText(text, fields.from, fields.to);
  });
}

void CleanWords(const CleanFields& fields, const ToolProgress& progress) {
  CleanFolder(fields, ToolLabel::kWordProgress, progress,
              [&](const std::string& text) { return CleanWordText(text, fields.word); });
}

}  // namespace korvane
