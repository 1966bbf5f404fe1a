// ExtractPlainText: header, scripts and tags removed, entities replaced, prose lines kept.
#include "text/plain_text.h"

#include <cstring>

#include "base/text_lines.h"
#include "text/extract_between.h"

namespace korvane {
namespace {

constexpr size_t kNone = std::string_view::npos;
constexpr std::string_view kHeaderEnd = "\r\n\r\n";
constexpr std::string_view kScriptOpen = "<script";
constexpr std::string_view kScriptClose = "</script>";

// A line is prose when it has at least this many bytes other than spaces...
constexpr size_t kMinOtherBytes = 11;
// ...and at least this many spaces, counted after entities and space runs are reduced.
constexpr size_t kMinSpaces = 4;

// Deletes the first "<script" ... "</script>" span again and again. A deletion can join the
// bytes on its two sides into a new "<script", which is then the first one; otherwise the next
// first one lies after the deleted span. So the kept text is never searched again, only the
// join. The loop ends at a "<script" that has no "</script>" after it or that "</script>"
// follows at once; the text from there on stays as it is.
std::string RemoveScripts(std::string_view text) {
  std::string kept;
  kept.reserve(text.size());
  size_t pos = 0;  // `kept` followed by text[pos..] is the text of the step-by-step loop
  for (;;) {
    const size_t joined = FindMarkerAcrossJoin(kept, text.substr(pos), kScriptOpen);
    size_t open = kNone;
    size_t open_end;
    if (joined != kNone) {
      open_end = pos + kScriptOpen.size() - (kept.size() - joined);
    } else {
      open = FindMarker(text, kScriptOpen, pos);
      if (open == kNone) break;
      open_end = open + kScriptOpen.size();
    }
    const size_t close = FindMarker(text, kScriptClose, open_end);
    if (close == kNone || close == open_end) break;
    if (joined != kNone) {
      kept.resize(joined);
    } else {
      kept.append(text.substr(pos, open - pos));
    }
    pos = close + kScriptClose.size();
  }
  kept.append(text.substr(pos));
  return kept;
}

// Deletes the first "<" ... ">" span again and again, in place. Deleting cannot make a new
// "<", so the next first "<" always lies after the deleted span. The loop ends at a "<" with no
// ">" after it, or at "<>"; the text from there on stays as it is.
void RemoveTags(std::string& text) {
  size_t kept = 0;
  size_t pos = 0;
  for (;;) {
    const size_t open = text.find('<', pos);
    if (open == kNone) break;
    const size_t close = text.find('>', open + 1);
    if (close == kNone || close == open + 1) break;
    std::memmove(text.data() + kept, text.data() + pos, open - pos);
    kept += open - pos;
    pos = close + 1;
  }
  std::memmove(text.data() + kept, text.data() + pos, text.size() - pos);
  text.resize(kept + text.size() - pos);
}

struct Entity {
  std::string_view text;
  char replacement;
};

// No entity contains '&' after its first byte, so their occurrences never overlap and one
// left-to-right pass gives what replacing each of them in turn over the whole line gives; the
// replacement characters occur in none of them, so no replacement makes a new occurrence.
constexpr Entity kEntities[] = {
    {"&nbsp;", ' '}, {"&gt;", ' '}, {"&amp;", ' '}, {"&quot;", '"'}, {"&#8217;", '\''},
};

// Keeps, in place, the prose lines of `lines`, a normalised text (each line free of CR, LF
// and NUL and followed by CR LF). Each line is first rewritten: entities and TABs become their
// characters and every space run one space. Rewriting only ever shortens a line, so the
// rewritten bytes never overtake the bytes still to be read.
void KeepProseLines(std::string& lines) {
  char* const data = lines.data();
  size_t out = 0;
  for (size_t begin = 0; begin < lines.size();) {
    const size_t end = lines.find('\r', begin);
    const std::string_view line(data + begin, end - begin);
    const size_t line_out = out;
    size_t spaces = 0;
    size_t others = 0;
    const auto emit = [&](char c) {
      if (c == ' ') {
        if (out > line_out && data[out - 1] == ' ') return;
        ++spaces;
      } else {
        ++others;
      }
      data[out++] = c;
    };
    for (size_t i = 0; i < line.size(); ++i) {
      const char c = line[i];
      if (c == '\t') {
        emit(' ');
        continue;
      }
      if (c == '&') {
        const Entity* found = nullptr;
        for (const Entity& entity : kEntities) {
          if (line.substr(i, entity.text.size()) == entity.text) {
            found = &entity;
            break;
          }
        }
        if (found != nullptr) {
          i += found->text.size() - 1;
          emit(found->replacement);
          continue;
        }
      }
      emit(c);
    }
    if (others >= kMinOtherBytes && spaces >= kMinSpaces) {
      data[out++] = '\r';
      data[out++] = '\n';
    } else {
      out = line_out;
    }
    begin = end + 2;
  }
  lines.resize(out);
}

}  // namespace

std::string ExtractPlainText(std::string_view page) {
  // Deleting up to the first CR of the separator leaves the text starting with LF CR LF.
  const size_t header_end = FindMarker(page, kHeaderEnd);
  if (header_end != kNone) page.remove_prefix(header_end + 1);
  std::string text = RemoveScripts(page);
  RemoveTags(text);
  // Lines as the line list splits them: at CR, LF or CR LF, and nothing after a NUL byte.
  std::string lines = NormalizeLines(text);
  KeepProseLines(lines);
  return lines;
}

}  // namespace korvane
