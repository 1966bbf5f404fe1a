// ExtractPlainText: header, scripts and tags removed, entities replaced, prose lines kept.
#include "text/plain_text.h"

#include <cstring>

#include "base/byte_mask.h"
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

// Deletes the first "<script" ... "</script>" span again and again, in place: the text is
// text[from..], and what is kept is written to the front of the buffer. A deletion can join
// the bytes on its two sides into a new "<script", which is then the first one; otherwise the
// next first one lies after the deleted span. So the kept text is never searched again, only
// the join. The loop ends at a "<script" that has no "</script>" after it or that "</script>"
// follows at once; the text from there on stays as it is. Returns where the text now starts
// in the buffer: at 0, or still at `from` when nothing was deleted.
size_t RemoveScripts(std::string& buffer, size_t from) {
  const std::string_view text = std::string_view(buffer).substr(from);
  char* const data = buffer.data();
  size_t kept = 0;  // data[0..kept) followed by text[pos..] is the text of the step-by-step loop
  size_t pos = 0;
  // The kept bytes are written no further on than text[pos], so the search never meets them.
  const auto keep = [&](size_t end) {
    std::memmove(data + kept, text.data() + pos, end - pos);
    kept += end - pos;
  };
  for (;;) {
    const size_t joined =
        FindMarkerAcrossJoin(std::string_view(data, kept), text.substr(pos), kScriptOpen);
    size_t open = kNone;
    size_t open_end;
    if (joined != kNone) {
      open_end = pos + kScriptOpen.size() - (kept - joined);
    } else {
      open = FindMarker(text, kScriptOpen, pos);
      if (open == kNone) break;
      open_end = open + kScriptOpen.size();
    }
    const size_t close = FindMarker(text, kScriptClose, open_end);
    if (close == kNone || close == open_end) break;
    if (joined != kNone) {
      kept = joined;
    } else {
      keep(open);
    }
    pos = close + kScriptClose.size();
  }
  if (pos == 0) return from;
  keep(text.size());
  buffer.resize(kept);
  return 0;
}

// Deletes the first "<" ... ">" span again and again, in place: the text is buffer[from..],
// and what is kept is written to the front of the buffer. Deleting cannot make a new "<", so
// the next first "<" always lies after the deleted span. The loop ends at a "<" with no ">"
// after it, or at "<>"; the text from there on stays as it is.
// Moves buffer[from, from + size) down to `to`. The text between two tags
// is mostly short: it goes as one 16-byte copy when that stays clear of the bytes not yet read.
inline void MoveDown(std::string& buffer, size_t to, size_t from, size_t size) {
  if (size <= 16 && from - to >= 16 && buffer.size() - from >= 16) {
    char bytes[16];
    std::memcpy(bytes, buffer.data() + from, 16);
    std::memcpy(buffer.data() + to, bytes, 16);
    return;
  }
  std::memmove(buffer.data() + to, buffer.data() + from, size);
}

void RemoveTags(std::string& buffer, size_t from) {
  char* const data = buffer.data();
  size_t kept = 0;    // data[0..kept) is the text before `pos` with its tags deleted
  size_t pos = from;  // the first byte not yet kept or deleted
  size_t open = kNone;
  // The tags are found by their "<" and ">" bytes: outside a tag the next "<" opens one,
  // inside it the next ">" closes it.
  ForEachByteOf(
      buffer, from,
      [&](size_t at) {
        if (open == kNone) {
          if (data[at] == '<') open = at;
          return true;
        }
        if (data[at] != '>') return true;
        if (at == open + 1) return false;
        MoveDown(buffer, kept, pos, open - pos);
        kept += open - pos;
        pos = at + 1;
        open = kNone;
        return true;
      },
      '<', '>');
  std::memmove(data + kept, data + pos, buffer.size() - pos);
  buffer.resize(kept + buffer.size() - pos);
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

// The longest a text of `size` bytes can grow to as prose lines: each such line has at least
// kMinOtherBytes + kMinSpaces bytes, and its break may grow to CR LF.
size_t MostProseBytes(size_t size) {
  return size + 2 * (size / (kMinOtherBytes + kMinSpaces) + 1);
}

// Replaces `text` by its prose lines, each followed by CR LF. The lines are split as the line
// list splits them (at CR, LF or CR LF, nothing after a NUL byte), then rewritten: entities
// and TABs become their characters and every space run one space. The lines are written to
// the front of the text's own buffer: rewriting only ever shortens a line, so only a line's
// CR LF, where its break was a lone CR or LF or none, can reach bytes not read yet. Before it
// would, the output moves to a buffer of its own.
void KeepProseLines(std::string& text) {
  char* const data = text.data();
  std::string spill;
  char* out_base = data;
  size_t out = 0;
  // Rewrites line data[begin..end) at the output's end and keeps it there when it is prose;
  // `next` is where the line after it starts.
  const auto take_line = [&](size_t begin, size_t end, size_t next) {
    // A prose line has at least this many bytes before rewriting shortens it.
    if (end - begin < kMinOtherBytes + kMinSpaces) return;
    char* w = out_base + out;
    const char* r = data + begin;
    const char* const line_end = data + end;
    size_t spaces = 0;
    bool after_space = false;
    const auto rewrite_byte = [&] {
      char c = *r++;
      if (c == '&') [[unlikely]] {
        const std::string_view rest(r - 1, static_cast<size_t>(line_end - r + 1));
        for (const Entity& entity : kEntities) {
          if (rest.starts_with(entity.text)) {
            r += entity.text.size() - 1;
            c = entity.replacement;
            break;
          }
        }
      }
      // Without branches on the bytes of prose, where spaces come and go unpredictably.
      c = c == '\t' ? ' ' : c;
      const bool space = c == ' ';
      *w = c;
      w += !(space && after_space);
      spaces += space && !after_space;
      after_space = space;
    };
    while (line_end - r >= 16) {
      // Sixteen bytes without TAB, "&" and a space run stay as they are.
      const uint32_t spaces_at = ByteMask16(r, ' ');
      if (ByteMask16(r, '\t', '&') == 0 && (spaces_at & (spaces_at << 1)) == 0 &&
          !(after_space && (spaces_at & 1) != 0)) {
        std::memmove(w, r, 16);
        w += 16;
        r += 16;
        spaces += static_cast<size_t>(__builtin_popcount(spaces_at));
        after_space = (spaces_at >> 15) != 0;
        continue;
      }
      const char* const chunk_end = r + 16;
      while (r < chunk_end) rewrite_byte();
    }
    while (r < line_end) rewrite_byte();
    const size_t size = static_cast<size_t>(w - (out_base + out));
    if (size - spaces < kMinOtherBytes || spaces < kMinSpaces) return;
    if (out_base == data && out + size + 2 > next) {
      spill.resize(out + size + 2 + MostProseBytes(text.size() - next));
      std::memcpy(spill.data(), data, out + size);
      out_base = spill.data();
    }
    out += size;
    out_base[out++] = '\r';
    out_base[out++] = '\n';
  };
  // Lines as the line list splits them: at CR, LF or CR LF, and nothing after a NUL byte.
  const void* nul = std::memchr(data, '\0', text.size());
  const size_t end = nul == nullptr ? text.size() : static_cast<const char*>(nul) - data;
  size_t begin = 0;
  ForEachByteOf(
      std::string_view(data, end), 0,
      [&](size_t at) {
        if (at < begin) return true;  // the LF of a CR LF
        size_t next = at + 1;
        if (data[at] == '\r' && next < end && data[next] == '\n') ++next;
        take_line(begin, at, next);
        begin = next;
        return true;
      },
      '\r', '\n');
  if (begin < end) take_line(begin, end, end);
  if (out_base == data) {
    text.resize(out);
  } else {
    spill.resize(out);
    text.swap(spill);
  }
}

}  // namespace

std::string ExtractPlainText(std::string_view page) {
  std::string text(page);
  ExtractPlainTextInPlace(text);
  return text;
}

void ExtractPlainTextInPlace(std::string& page) {
  // Deleting up to the first CR of the separator leaves the text starting with LF CR LF.
  const size_t header_end = FindMarker(page, kHeaderEnd);
  const size_t from = RemoveScripts(page, header_end == kNone ? 0 : header_end + 1);
  RemoveTags(page, from);
  KeepProseLines(page);
}

}  // namespace korvane
