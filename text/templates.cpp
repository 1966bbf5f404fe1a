// Selective parsing: template lines, block extraction and the two filters of its output.
#include "text/templates.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "base/strings.h"
#include "text/extract_between.h"
#include "text/span_rewriter.h"

namespace korvane {
namespace {

constexpr size_t kNone = std::string_view::npos;

// The three loops of CleanFragment, in order. A script becomes "<br>"; a tag becomes the
// placeholder "[BR]" when it holds "<br", "<BR" or "<Br" (the closing ">" cannot be part of
// those), else a space; a numeric entity becomes a space.
constexpr SpanKind kCleaningSteps[] = {
    {"<script", "</script>", {"<br>", ""}, [](std::string_view) -> uint8_t { return 0; }},
    {"<",
     ">",
     {" ", "[BR]"},
     [](std::string_view tag) -> uint8_t {
       return tag.find("<br") != kNone || tag.find("<BR") != kNone || tag.find("<Br") != kNone;
     }},
    {"&#", ";", {" ", ""}, [](std::string_view) -> uint8_t { return 0; }},
};

// The last two steps of CleanFragment, in place: every space run becomes one space (halving
// every pair until none is left does that), and every "[BR]" becomes "<br>". A "[BR]" holds
// no space, so collapsing neither makes nor breaks one and the order does not matter.
void CollapseSpacesAndRestoreBreaks(std::string& text) {
  // Nothing before the first pair of spaces moves.
  size_t kept = FindMarker(text, "  ");
  if (kept == kNone) kept = text.size();
  bool after_space = false;
  for (const char c : std::string_view(text).substr(kept)) {
    const bool space = c == ' ';
    text[kept] = c;
    kept += !(space && after_space);
    after_space = space;
  }
  text.resize(kept);
  constexpr std::string_view kPlaceholder = "[BR]";
  constexpr std::string_view kBreak = "<br>";
  for (size_t at = FindMarker(text, kPlaceholder); at != kNone;
       at = FindMarker(text, kPlaceholder, at + kBreak.size())) {
    text.replace(at, kPlaceholder.size(), kBreak);
  }
}

// The content of a block with the all flag: CR LF and ExtractBetween(start, stop, working
// copy) for every start marker, deleting the first start marker from the working copy after
// each fragment, for as long as the working copy holds one.
//
// The working copy is the part already passed, `kept_`, followed by page[pos_..]. Since the
// first start marker is always at or after the join, what follows it is page[after..] itself,
// and the fragment is the page up to the first stop marker from there. A deletion can join the
// bytes around it into a new first marker that starts inside `kept_`; so can it a stop marker.
// `kept_` is held as the page ranges it is made of.
inline constexpr size_t kMaxAllContent = size_t{64} << 20;

class EveryFragment {
 public:
  EveryFragment(std::string_view page, std::string_view start, std::string_view stop)
      : page_(page), start_(start), stop_(stop), starts_(page, start), stops_(page, stop) {}

  // Calls `emit(piece)` for each piece of the content in turn: CR LF, a fragment, CR LF, ...
  // The content stops at kMaxAllContent bytes: when the stop marker lies only before the
  // remaining start markers, every fragment is the whole rest of the page, and a hostile page
  // of a few hundred kilobytes would otherwise ask for gigabytes.
  template <class Emit>
  void ForEachPiece(Emit emit) {
    size_t budget = kMaxAllContent;
    const auto limited = [&](std::string_view piece) {
      piece = piece.substr(0, budget);
      budget -= piece.size();
      emit(piece);
    };
    while (budget > 0) {
      const std::string_view start_tail = KeptTail(start_.size() - 1, start_scratch_);
      const size_t joined = FindMarkerAcrossJoin(start_tail, page_.substr(pos_), start_);
      size_t open = kNone;
      size_t after;  // page index just after the first start marker
      if (joined != kNone) {
        after = pos_ + start_.size() - (start_tail.size() - joined);
      } else {
        open = starts_.NextFrom(pos_);
        if (open == kNone) break;
        after = open + start_.size();
      }
      limited(std::string_view("\r\n"));
      const size_t stop_at = stops_.NextFrom(after);
      std::string_view fragment;
      if (stop_at != kNone) {
        fragment = page_.substr(after, stop_at - after);
      } else if (HoldsStop(after)) {
        fragment = page_.substr(after);
      } else {
        fragment = kError;
      }
      limited(fragment.empty() ? kZero : fragment);
      if (joined != kNone) {
        TruncateKept(kept_size_ - (start_tail.size() - joined));
      } else if (open > pos_) {
        kept_.emplace_back(pos_, open);
        kept_size_ += open - pos_;
      }
      pos_ = after;
    }
  }

 private:
  // The last `size` bytes of the kept part (fewer if it is shorter), gathered in `scratch`.
  std::string_view KeptTail(size_t size, std::string& scratch) const {
    size = std::min(size, kept_size_);
    scratch.assign(size, '\0');
    size_t filled = 0;
    for (auto range = kept_.rbegin(); filled < size; ++range) {
      const size_t take = std::min(size - filled, range->second - range->first);
      std::memcpy(scratch.data() + size - filled - take, page_.data() + range->second - take, take);
      filled += take;
    }
    return scratch;
  }

  void TruncateKept(size_t size) {
    while (kept_size_ > size) {
      auto& [begin, end] = kept_.back();
      const size_t cut = std::min(kept_size_ - size, end - begin);
      end -= cut;
      kept_size_ -= cut;
      if (begin == end) kept_.pop_back();
    }
    kept_scanned_ = std::min(kept_scanned_, size);
    if (kept_stop_end_ != kNone && kept_stop_end_ > size) kept_stop_end_ = kNone;
  }

  // Whether the working copy holds the stop marker, given that page[after..] does not.
  bool HoldsStop(size_t after) {
    const std::string_view near = page_.substr(pos_, after - pos_ + stop_.size() - 1);
    if (FindMarker(near, stop_) != kNone) return true;
    const std::string_view stop_tail = KeptTail(stop_.size() - 1, stop_scratch_);
    if (FindMarkerAcrossJoin(stop_tail, page_.substr(pos_), stop_) != kNone) return true;
    if (kept_stop_end_ == kNone && kept_scanned_ < kept_size_) {
      // Search the kept bytes not searched yet, and the stop marker's length before them.
      const size_t from = kept_scanned_ >= stop_.size() ? kept_scanned_ - stop_.size() + 1 : 0;
      const size_t hit = FindMarker(KeptTail(kept_size_ - from, stop_scratch_), stop_);
      if (hit != kNone) kept_stop_end_ = from + hit + stop_.size();
      kept_scanned_ = kept_size_;
    }
    return kept_stop_end_ != kNone;
  }

  std::string_view page_;
  std::string_view start_;
  std::string_view stop_;
  MarkerCursor starts_;
  MarkerCursor stops_;
  size_t pos_ = 0;
  std::vector<std::pair<size_t, size_t>> kept_;  // page ranges [begin, end)
  size_t kept_size_ = 0;
  // kept bytes [0, kept_scanned_) have been searched for the stop marker; kept_stop_end_ is
  // the end of the first occurrence found there.
  size_t kept_scanned_ = 0;
  size_t kept_stop_end_ = kNone;
  std::string start_scratch_;
  std::string stop_scratch_;
};

// Runs the cleaning steps from `first_step` on, in the text's own buffer.
void CleanOwned(std::string& text, size_t first_step = 0) {
  for (size_t step = first_step; step < std::size(kCleaningSteps); ++step) {
    if (FindMarker(text, kCleaningSteps[step].opener) == kNone) continue;
    RewriteSpansInPlace(kCleaningSteps[step], text);
  }
  CollapseSpacesAndRestoreBreaks(text);
}

// Drops, in place, the lines of normalised `lines` that hold only spaces and TABs.
void DropBlankNormalizedLines(std::string& lines) {
  size_t kept = 0;
  for (size_t begin = 0; begin < lines.size();) {
    const size_t end = lines.find('\r', begin) + 2;
    const std::string_view line(lines.data() + begin, end - 2 - begin);
    if (line.find_first_not_of(" \t") != std::string_view::npos) {
      std::memmove(lines.data() + kept, lines.data() + begin, end - begin);
      kept += end - begin;
    }
    begin = end;
  }
  lines.resize(kept);
}

// One block of the output: "<name>", the content, "</name>" CR LF. The content is the cleaned
// text when the block has the clean flag, else pieces of the page (or "Error" and "Zero").
struct OutputBlock {
  TemplateBlock block;
  std::string cleaned;

  template <class Emit>
  void ForEachHeadPiece(Emit emit) const {
    emit(std::string_view("<"));
    emit(std::string_view(block.name));
    emit(std::string_view(">"));
  }

  // The pieces of the content as the page gives it, before any cleaning.
  template <class Emit>
  void ForEachPagePiece(std::string_view page, Emit emit) const {
    if (block.all) {
      EveryFragment(page, block.start, block.stop).ForEachPiece(emit);
    } else {
      emit(ExtractBetweenView(block.start, block.stop, page));
    }
  }

  template <class Emit>
  void ForEachTailPiece(Emit emit) const {
    emit(std::string_view("</"));
    emit(std::string_view(block.name));
    emit(std::string_view(">\r\n"));
  }

  template <class Emit>
  void ForEachPiece(std::string_view page, Emit emit) const {
    ForEachHeadPiece(emit);
    if (block.clean) {
      emit(std::string_view(cleaned));
    } else {
      ForEachPagePiece(page, emit);
    }
    ForEachTailPiece(emit);
  }
};

// The blocks one after another. Counting first and then writing runs the all-flag loops
// twice but builds no intermediate text. When the buffer of the largest cleaned content can
// hold the whole output, that content stays in it and the rest is written around it.
std::string Assemble(std::vector<OutputBlock>& blocks, std::string_view page) {
  std::vector<size_t> sizes;
  size_t total = 0;
  for (const OutputBlock& block : blocks) {
    size_t size = 0;
    block.ForEachPiece(page, [&](std::string_view piece) { size += piece.size(); });
    sizes.push_back(size);
    total += size;
  }
  size_t host = blocks.size();
  for (size_t i = 0; i < blocks.size(); ++i) {
    if (blocks[i].block.clean && blocks[i].cleaned.capacity() >= total &&
        (host == blocks.size() || blocks[i].cleaned.size() > blocks[host].cleaned.size())) {
      host = i;
    }
  }
  std::string output;
  if (host == blocks.size()) {
    output.reserve(total);
    for (const OutputBlock& block : blocks) {
      block.ForEachPiece(page, [&](std::string_view piece) { output += piece; });
    }
    return output;
  }
  size_t offset = blocks[host].block.name.size() + 2;  // "<" name ">" comes first
  for (size_t i = 0; i < host; ++i) offset += sizes[i];
  output.swap(blocks[host].cleaned);
  const size_t content_size = output.size();
  output.resize(total);
  std::memmove(output.data() + offset, output.data(), content_size);
  size_t at = 0;
  const auto write = [&](std::string_view piece) {
    std::memcpy(output.data() + at, piece.data(), piece.size());
    at += piece.size();
  };
  for (size_t i = 0; i < blocks.size(); ++i) {
    if (i != host) {
      blocks[i].ForEachPiece(page, write);
      continue;
    }
    blocks[i].ForEachHeadPiece(write);
    at += content_size;
    blocks[i].ForEachTailPiece(write);
  }
  return output;
}

}  // namespace

TemplateBlock TemplateBlock::Parse(std::string_view line) {
  return {ExtractBetween("[blockname]", "[/blockname]", line),
          ExtractBetween("[start]", "[/start]", line), ExtractBetween("[stop]", "[/stop]", line),
          Contains(line, "[-all]"), Contains(line, "[-cleantext]")};
}

std::string ApplyTemplates(std::string_view page, const Lines& template_lines,
                           const TemplateOptions& options) {
  std::vector<OutputBlock> blocks;
  blocks.reserve(template_lines.size());
  for (const std::string& line : template_lines) {
    OutputBlock& block = blocks.emplace_back(OutputBlock{TemplateBlock::Parse(line), {}});
    if (!block.block.clean) continue;
    if (!block.block.all) {
      block.cleaned = CleanFragment(ExtractBetweenView(block.block.start, block.block.stop, page));
      continue;
    }
    size_t size = 0;
    block.ForEachPagePiece(page, [&](std::string_view piece) { size += piece.size(); });
    std::string content;
    content.reserve(size);
    block.ForEachPagePiece(page, [&](std::string_view piece) { content += piece; });
    block.cleaned = CleanFragment(content);
  }
  std::string output = Assemble(blocks, page);
  if (!options.markup) {
    // An "Error" block becomes empty, and cleaning turns the block tags into spaces.
    ReplaceAllInPlace(output, ">Error<", "><");
    CleanOwned(output);
  }
  if (!options.keep_br) ReplaceAllInPlace(output, "<br>", "");
  if (options.elementary_clean) {
    NormalizeLinesInPlace(output);
    DropBlankNormalizedLines(output);
  }
  return output;
}

std::string CleanFragment(std::string_view text) {
  // The first step that has work reads `text` itself, so nothing is copied before it.
  for (size_t step = 0; step < std::size(kCleaningSteps); ++step) {
    if (FindMarker(text, kCleaningSteps[step].opener) == kNone) continue;
    std::string cleaned;
    RewriteSpans(kCleaningSteps[step], text, cleaned);
    CleanOwned(cleaned, step + 1);
    return cleaned;
  }
  std::string cleaned(text);
  CollapseSpacesAndRestoreBreaks(cleaned);
  return cleaned;
}

std::string DropBlankLines(std::string_view text) {
  std::string lines = NormalizeLines(text);
  DropBlankNormalizedLines(lines);
  return lines;
}

}  // namespace korvane
