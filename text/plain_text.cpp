// ExtractPlainText: header, scripts and tags removed, entities replaced, prose lines kept.
#include "text/plain_text.h"

#include <algorithm>
#include <cstring>
#include <span>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/byte_mask.h"
#include "base/large_pages.h"
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

// The text the tag pass keeps, written to the front of `text`, whose capacity holds every byte
// it can keep and 16 more. Its size grows with what is written, so only the memory the kept
// bytes need is ever touched: a page's source can be far larger than what it keeps.
class KeptText {
 public:
  KeptText(std::string& text, size_t most) : text_(text) {
    text_.clear();
    text_.reserve(most + kSlack);
    data_ = text_.data();
    AskLargePages(data_, text_.capacity());
  }

  // Where `count` more bytes go after the first `kept`, with 16 bytes of room past them.
  [[nodiscard]] char* Room(size_t kept, size_t count) {
    if (kept + count + kSlack > room_) [[unlikely]]
      Grow(kept + count + kSlack);
    return data_ + kept;
  }

  [[nodiscard]] const char* data() const { return data_; }
  void Finish(size_t kept) { text_.resize(kept); }

 private:
  static constexpr size_t kSlack = 16;
  static constexpr size_t kGrowth = size_t{1} << 18;

  void Grow(size_t size) {
    text_.resize(std::min(text_.capacity(), size + kGrowth));
    room_ = text_.size();
  }

  std::string& text_;
  char* data_;       // stays: the text never grows past the capacity reserved
  size_t room_ = 0;  // text_.size(), held apart from it
};

// Copies `size` bytes from `from` to `to`, where 16 bytes of room follow; the source ends at
// `end`. The text between two tags is mostly short, and goes in 16-byte copies when they stay
// inside the source.
inline void CopyKept(char* to, const char* from, size_t size, const char* end) {
  if (static_cast<size_t>(end - from) < size + 16) {
    std::memcpy(to, from, size);
    return;
  }
  // Most runs fit in the first copy, made whatever their size.
  std::memcpy(to, from, 16);
  for (size_t done = 16; done < size; done += 16) std::memcpy(to + done, from + done, 16);
}

// Deletes the first "<script" ... "</script>" span again and again: the text is src[from..],
// and what is kept is written to `out` after its first `kept` bytes, the kept text of earlier
// steps, whose last bytes from `window` on a join can take part in. A deletion can join the
// bytes on its two sides into a new "<script", which is then the first one; otherwise the next
// first one lies after the deleted span. So the kept text is never searched again, only the
// join. The loop ends at a "<script" that has no "</script>" after it or that "</script>"
// follows at once; the text from there on stays as it is. Returns the end of what is kept.
size_t RemoveScripts(std::string_view src, KeptText& out, size_t kept, size_t window, size_t from) {
  // out[window, kept) followed by src[pos..] is the text of the loop
  size_t pos = from;
  const auto keep = [&](size_t end) {
    std::memcpy(out.Room(kept, end - pos), src.data() + pos, end - pos);
    kept += end - pos;
  };
  for (;;) {
    const size_t joined = FindMarkerAcrossJoin(std::string_view(out.data() + window, kept - window),
                                               src.substr(pos), kScriptOpen);
    size_t open = kNone;
    size_t open_end;
    if (joined != kNone) {
      open_end = pos + kScriptOpen.size() - (kept - window - joined);
    } else {
      open = FindMarker(src, kScriptOpen, pos);
      if (open == kNone) break;
      open_end = open + kScriptOpen.size();
    }
    const size_t close = FindMarker(src, kScriptClose, open_end);
    if (close == kNone || close == open_end) break;
    if (joined != kNone) {
      kept = window + joined;
    } else {
      keep(open);
    }
    pos = close + kScriptClose.size();
  }
  keep(src.size());
  return kept;
}

// Deletes the "<script" ... "</script>" spans of src[from..] as RemoveScripts does, then the
// first "<" ... ">" span again and again, in one pass, and writes what is kept to `text`.
// Deleting a tag cannot make a new "<", so the next first "<" always lies after the deleted
// span; the tag loop ends at a "<" with no ">" after it, or at "<>", and the text from there on
// stays as it is (its scripts deleted).
//
// The first "<script" of the script loop is a "<" that the pass reaches before any byte after
// it, so the pass deletes each script when it meets its "<", and goes on after it. A script
// can lie inside a tag, and its deletion can join the bytes before it, which the pass has read
// already, into a new "<script": so before reading on, the pass keeps everything before the
// script, a tag still open included, and a joined script takes back the bytes it starts with.
// Those are the last kept bytes, as a joined "<script" holds no ">": no tag closed in them.
void RemoveScriptsAndTags(std::string_view page, size_t from, std::string& text) {
  // Held apart from `page`, since the byte writes could change it as far as the compiler knows.
  const char* const data = page.data();
  const size_t size = page.size();
  const std::string_view src(data, size);
  KeptText out(text, size - from);
  size_t kept = 0;           // out[0..kept) is src[from..pos) with its spans deleted
  size_t pos = from;         // the first byte not yet kept or deleted
  size_t open = kNone;       // the "<" of the open tag, when it lies at or after `pos`
  size_t kept_open = kNone;  // the "<" of the open tag, when it has been kept (before `kept`)
  size_t untagged = 0;       // out[untagged..kept) was kept after the last tag closed
  bool scripts = true;       // the script loop has not ended
  // Keeps src[pos, end); a tag open in it is then kept open.
  const auto keep = [&](size_t end) {
    CopyKept(out.Room(kept, end - pos), data + pos, end - pos, data + size);
    if (open != kNone) kept_open = kept + (open - pos);
    open = kNone;
    kept += end - pos;
    pos = end;
  };
  // At the "<script" at `at`: deletes the script and those its deletion joins, and returns
  // true; false when the script loop ends here instead.
  const auto delete_scripts = [&](size_t at) {
    size_t open_end = at + kScriptOpen.size();
    size_t close = FindMarker(src, kScriptClose, open_end);
    if (close == kNone || close == open_end) {
      scripts = false;
      return false;
    }
    keep(at);
    for (;;) {
      pos = close + kScriptClose.size();
      const std::string_view before(out.data() + untagged, kept - untagged);
      const size_t joined = FindMarkerAcrossJoin(before, src.substr(pos), kScriptOpen);
      if (joined == kNone) return true;
      open_end = pos + kScriptOpen.size() - (before.size() - joined);
      close = FindMarker(src, kScriptClose, open_end);
      if (close == kNone || close == open_end) {
        scripts = false;
        return true;
      }
      kept = untagged + joined;
      // Its "<", the only one among the bytes taken back, may have opened the tag.
      if (kept_open != kNone && kept_open >= kept) kept_open = kNone;
    }
  };
  // At the ">" at `at`, which closes the open tag: deletes the tag, or returns false at "<>".
  const auto close_tag = [&](size_t at) {
    if (open != kNone) {
      if (at == open + 1) return false;
      CopyKept(out.Room(kept, open - pos), data + pos, open - pos, data + size);
      kept += open - pos;
      open = kNone;
    } else {
      if (kept_open + 1 == kept && at == pos) return false;
      kept = kept_open;
      kept_open = kNone;
    }
    pos = at + 1;
    untagged = kept;
    return true;
  };
  // Outside a tag the next "<" opens one, inside it the next ">" closes it: in each 64-byte
  // block the places of both bytes are found at once, and those before the last one used
  // are cleared. The places of "<s" are the scripts to look at.
  bool tags = true;  // the tag loop has not ended
  for (size_t block = from; block < size && tags;) {
    uint64_t opens;
    uint64_t closes;
    uint64_t starts;
    if (size - block >= 64) {
      opens = ByteMask64(data + block, '<');
      closes = ByteMask64(data + block, '>');
      const bool next_s = size - block > 64 && data[block + 64] == 's';
      starts = (ByteMask64(data + block, 's') >> 1) | (uint64_t{next_s} << 63);
    } else {
      char tail[65] = {};
      std::memcpy(tail, data + block, size - block);
      opens = ByteMask64(tail, '<');
      closes = ByteMask64(tail, '>');
      starts = (ByteMask64(tail, 's') >> 1) | (uint64_t{tail[64] == 's'} << 63);
    }
    starts = scripts ? starts & opens : 0;
    size_t next_block = block + 64;
    for (;;) {
      const bool inside = open != kNone || kept_open != kNone;
      // The next "<" a script can start at: outside a tag the next "<", inside it one before
      // the next ">".
      const uint64_t script = starts == 0 ? 0
                              : inside    ? starts & ((closes & (0 - closes)) - 1)
                                          : starts & opens & (0 - opens);
      if (script != 0) {
        const int bit = __builtin_ctzll(script);
        const size_t at = block + static_cast<size_t>(bit);
        starts &= ~((uint64_t{2} << bit) - 1);
        if (src.substr(at).starts_with(kScriptOpen) && delete_scripts(at)) {
          next_block = pos;
          break;
        }
        if (!scripts) starts = 0;
        continue;
      }
      if (!inside) {
        if (opens == 0) break;
        const int bit = __builtin_ctzll(opens);
        open = block + static_cast<size_t>(bit);
        closes &= ~((uint64_t{2} << bit) - 1);
        starts &= ~((uint64_t{2} << bit) - 1);
        continue;
      }
      if (closes == 0) break;
      const int bit = __builtin_ctzll(closes);
      if (!close_tag(block + static_cast<size_t>(bit))) {
        tags = false;
        break;
      }
      opens &= ~((uint64_t{2} << bit) - 1);
      starts &= ~((uint64_t{2} << bit) - 1);
    }
    block = next_block;
  }
  // The rest stays as it is: a tag never closed, or all after "<>", with its scripts deleted.
  if (!tags && scripts) {
    kept = RemoveScripts(src, out, kept, untagged, pos);
  } else {
    std::memcpy(out.Room(kept, size - pos), data + pos, size - pos);
    kept += size - pos;
  }
  out.Finish(kept);
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

// Up to 16 bytes of a line as the rewrite reads them, TABs already made spaces, with the
// places of their spaces and '&' bytes. Room follows the bytes, so that a copy of 16 bytes
// from any of them stays inside.
struct LineChunk {
  alignas(16) char bytes[32];
  uint32_t spaces;
  uint32_t amps;
};

// Loads the `size` (1 to 16) bytes at `at`, reading no byte at or after `buffer_end`.
inline void LoadChunk(LineChunk& chunk, const char* at, size_t size, const char* buffer_end) {
  const uint32_t limit = (uint32_t{1} << size) - 1;
  if (buffer_end - at < 16) {
    std::memset(chunk.bytes, 0, 16);
    std::memcpy(chunk.bytes, at, size);
    at = chunk.bytes;
  }
#if defined(__SSE2__)
  __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  const __m128i tabs = _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\t'));
  bytes = _mm_xor_si128(bytes, _mm_and_si128(tabs, _mm_set1_epi8('\t' ^ ' ')));
  _mm_store_si128(reinterpret_cast<__m128i*>(chunk.bytes), bytes);
  chunk.spaces =
      static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(' '))));
  chunk.amps = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('&'))));
#else
  std::memmove(chunk.bytes, at, 16);
  for (char& c : std::span(chunk.bytes, 16)) c = c == '\t' ? ' ' : c;
  chunk.spaces = ByteMask16(chunk.bytes, ' ');
  chunk.amps = ByteMask16(chunk.bytes, '&');
#endif
  chunk.spaces &= limit;
  chunk.amps &= limit;
}

// Replaces `text` by its prose lines, each followed by CR LF. The lines are split as the line
// list splits them (at CR, LF or CR LF, nothing after a NUL byte), then rewritten: entities
// and TABs become their characters and every space run one space. The lines are written to
// the front of the text's own buffer: rewriting only ever shortens a line, so only a line's
// CR LF, where its break was a lone CR or LF or none, can reach bytes not read yet. Before it
// would, the output moves to a buffer of its own.
void KeepProseLines(std::string& text) {
  char* const data = text.data();
  const char* const data_end = data + text.size();
  // Room past the end of the output buffer of its own, for the 16-byte copies.
  constexpr size_t kSpillRoom = 32;
  std::string spill;
  char* out_base = data;
  size_t out = 0;
  // Rewrites line data[begin..end) at the output's end and keeps it there when it is prose;
  // `next` is where the line after it starts.
  const auto take_line = [&](size_t begin, size_t end, size_t next) {
    // A prose line has at least this many bytes before rewriting shortens it.
    if (end - begin < kMinOtherBytes + kMinSpaces) return;
    char* const line_out = out_base + out;
    const bool in_place = out_base == data;
    char* w = line_out;
    const char* r = data + begin;
    const char* const line_end = data + end;
    size_t spaces = 0;
    bool after_space = false;
    const auto rewrite_byte = [&] {
      char c = *r++;
      if (c == '&') {
        const std::string_view rest(r - 1, static_cast<size_t>(line_end - r + 1));
        for (const Entity& entity : kEntities) {
          if (rest.starts_with(entity.text)) {
            r += entity.text.size() - 1;
            c = entity.replacement;
            break;
          }
        }
      }
      c = c == '\t' ? ' ' : c;
      const bool space = c == ' ';
      *w = c;
      w += !(space && after_space);
      spaces += space && !after_space;
      after_space = space;
    };
    LineChunk chunk;
    while (r < line_end) {
      const auto size = static_cast<size_t>(std::min<ptrdiff_t>(16, line_end - r));
      LoadChunk(chunk, r, size, data_end);
      if (chunk.amps != 0) [[unlikely]] {
        const char* const chunk_end = r + size;
        while (r < chunk_end) rewrite_byte();
        continue;
      }
      // The second and later spaces of a run go; the bytes of the chunk are read by now, so a
      // 16-byte copy to `w` overwrites no byte still to be read when `w` lies far enough
      // behind (always, for a whole chunk copied as it is).
      const uint32_t drop = chunk.spaces & ((chunk.spaces << 1) | uint32_t{after_space});
      spaces += CountBits(chunk.spaces & ~drop);
      after_space = ((chunk.spaces >> (size - 1)) & 1) != 0;
      const bool roomy = !in_place || r - w >= 16;
      r += size;
      if (drop == 0) {
        std::memcpy(w, chunk.bytes, roomy || size == 16 ? 16 : size);
        w += size;
        continue;
      }
      // Copies each run of kept bytes.
      for (uint32_t kept = ~drop & ((uint32_t{1} << size) - 1); kept != 0;
           kept &= kept + (kept & (0 - kept))) {
        const auto from = static_cast<size_t>(__builtin_ctz(kept));
        const auto count = static_cast<size_t>(__builtin_ctz(~(kept >> from)));
        std::memcpy(w, chunk.bytes + from, roomy ? 16 : count);
        w += count;
      }
    }
    const size_t size = static_cast<size_t>(w - line_out);
    if (size - spaces < kMinOtherBytes || spaces < kMinSpaces) return;
    if (out_base == data && out + size + 2 > next) {
      spill.resize(out + size + 2 + MostProseBytes(text.size() - next) + kSpillRoom);
      std::memcpy(spill.data(), data, out + size);
      out_base = spill.data();
    }
    out += size;
    out_base[out++] = '\r';
    out_base[out++] = '\n';
  };
  // Lines as the line list splits them: at CR, LF or CR LF, and nothing after a NUL byte.
  size_t end = text.size();
  size_t begin = 0;
  ForEachByteOf(
      std::string_view(data, end), 0,
      [&](size_t at) {
        if (at < begin) return true;  // the LF of a CR LF
        if (data[at] == '\0') {
          end = at;
          return false;
        }
        size_t next = at + 1;
        if (data[at] == '\r' && next < end && data[next] == '\n') ++next;
        take_line(begin, at, next);
        begin = next;
        return true;
      },
      '\r', '\n', '\0');
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
  // Deleting up to the first CR of the separator leaves the text starting with LF CR LF.
  const size_t header_end = FindMarker(page, kHeaderEnd);
  std::string text;
  RemoveScriptsAndTags(page, header_end == kNone ? 0 : header_end + 1, text);
  KeepProseLines(text);
  return text;
}

}  // namespace korvane
