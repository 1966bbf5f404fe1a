// Selective parsing: template lines, block extraction and the two filters of its output.
#include "text/templates.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/strings.h"
#include "text/extract_between.h"

namespace korvane {
namespace {

constexpr size_t kNone = std::string_view::npos;

// The next occurrence of a marker at or after a read position that only moves forward.
class MarkerCursor {
 public:
  MarkerCursor(std::string_view text, std::string_view marker)
      : text_(text), marker_(marker), next_(FindMarker(text, marker)) {}

  [[nodiscard]] size_t NextFrom(size_t pos) {
    if (next_ != kNone && next_ < pos) next_ = FindMarker(text_, marker_, pos);
    return next_;
  }

 private:
  std::string_view text_;
  std::string_view marker_;
  size_t next_;
};

// Polynomial hashing with wrap-around arithmetic: the hash of a span follows from the hashes
// of its prefixes. A collision costs a byte comparison, never a wrong result.
constexpr uint64_t kHashBase = 0x9e3779b97f4a7c15;
constexpr uint64_t kHashBase2 = kHashBase * kHashBase;
constexpr uint64_t kHashBase3 = kHashBase2 * kHashBase;
constexpr uint64_t kHashBase4 = kHashBase3 * kHashBase;

// base^exponent, by squaring.
uint64_t HashPower(size_t exponent) {
  uint64_t result = 1;
  for (uint64_t base = kHashBase; exponent != 0; exponent >>= 1, base *= base) {
    if (exponent & 1) result *= base;
  }
  return result;
}

// `hash` extended by `bytes`: hash * base^n + (b[0] + 1) * base^(n-1) + ... + (b[n-1] + 1).
uint64_t ExtendHash(uint64_t hash, std::string_view bytes) {
  const auto byte = [&](size_t i) { return uint64_t{static_cast<unsigned char>(bytes[i])} + 1; };
  size_t i = 0;
  // Four bytes per step keep the chain of dependent multiplications short.
  for (; i + 4 <= bytes.size(); i += 4) {
    hash = hash * kHashBase4 + (byte(i) * kHashBase3 + byte(i + 1) * kHashBase2 +
                                byte(i + 2) * kHashBase + byte(i + 3));
  }
  for (; i < bytes.size(); ++i) hash = hash * kHashBase + byte(i);
  return hash;
}

// Where a cleaning pass writes: a string of its own, or the front of the very buffer it reads.
// A pass never writes more than it has read (each replacement is shorter than any span it
// replaces), so writing in place never overtakes reading.
class PassOutput {
 public:
  void WriteTo(std::string& target, bool in_place) {
    target_ = &target;
    in_place_ = in_place;
    size_ = 0;
  }
  [[nodiscard]] size_t size() const { return in_place_ ? size_ : target_->size(); }
  [[nodiscard]] const char* data() const { return target_->data(); }
  void append(std::string_view bytes) {
    if (!in_place_) {
      target_->append(bytes);
      return;
    }
    std::memmove(target_->data() + size_, bytes.data(), bytes.size());
    size_ += bytes.size();
  }
  void resize(size_t size) {
    if (in_place_) {
      size_ = size;
    } else {
      target_->resize(size);
    }
  }
  void Finish() {
    if (in_place_) target_->resize(size_);
  }

 private:
  std::string* target_ = nullptr;
  bool in_place_ = false;
  size_t size_ = 0;
};

// The kind of span one loop of CleanFragment replaces.
struct SpanKind {
  std::string_view opener;
  std::string_view closer;
  std::array<std::string_view, 2> replacements;
  // Which replacement a span calls for, given the span without its closer.
  uint8_t (*classify)(std::string_view body);
};

// One loop of CleanFragment: while the text holds an opener, take the span from the first
// opener through the first closer after it, and replace every occurrence of exactly that span
// text by the replacement the span calls for. The loop ends at an opener that has no closer
// after it, or that the closer follows at once; the text from there on keeps what the earlier
// replacements made of it.
//
// Done literally, every pass rescans the whole text. Rewrite() gives the same bytes in one
// left-to-right pass:
// - Openers and closers overlap neither each other nor themselves, and no replacement text
//   holds or helps form either. So the openers and closers of every intermediate text are
//   those of the input that have not been replaced away.
// - An occurrence of a span text S starts at an opener and has no closer before its last
//   bytes; so S occurs at opener o exactly when the span of o (o through the first closer
//   after it) is S, and two occurrences of S never overlap. Replacing every occurrence of S
//   replaces exactly the openers whose span is S.
// - Nothing before the first opener ever changes again. So the output is final up to the
//   oldest opener not yet settled; the openers after it wait on a stack (`pending_`), and
//   all of their spans end at the next closer.
// - Number the loop's passes 1, 2, ... (the clock) and remember each pass's span text. A
//   waiting opener whose span is the text of pass t was replaced in pass t, provided its
//   span already was that text then: every replacement inside it happened before t. At a
//   closer, the earliest such (opener, t) happened first: it turns its span into the
//   replacement, lengthens the spans of the openers before it (their next closer is further
//   on), and none of the other candidates at that closer can happen any more.
// - When nothing is due at a closer, the oldest waiting opener is the first opener of the
//   text when the next pass begins, and its span is that pass's span.
// Spans are compared by hash first; a hit is confirmed byte by byte before it is used.
class SpanRewriter {
 public:
  explicit SpanRewriter(const SpanKind& kind)
      : opener_(kind.opener),
        closer_(kind.closer),
        replacements_(kind.replacements),
        classify_(kind.classify) {}

  // Writes the result into `out`, whose old content goes and whose capacity is reused.
  void Run(std::string_view text, std::string& out) {
    out.clear();
    out.reserve(text.size());
    out_.WriteTo(out, false);
    Rewrite(text);
  }

  // Rewrites `text` in its own buffer.
  void RunInPlace(std::string& text) {
    out_.WriteTo(text, true);
    in_place_ = true;
    Rewrite(text);
    out_.Finish();
  }

 private:
  // The span text of an earlier pass, without its closer.
  struct Entry {
    uint64_t hash;
    const char* body;  // in the input text, or in owned_bodies_
    size_t body_size;
    uint32_t first_pass;
    uint8_t replacement;
    bool found_again;  // later passes found the same text again: see later_passes_
  };
  // A waiting opener: its output position and the hash of the waiting region before it.
  struct Opener {
    size_t pos;
    uint64_t hash_before;
  };
  // A replacement made inside the waiting region: at output position `pos`, in `pass`.
  struct Made {
    size_t pos;
    uint32_t pass;
  };
  struct Due {
    size_t index;  // into pending_
    uint32_t entry;
    uint32_t pass;
  };

  // Entries live in fixed-size chunks: they never move, and growing copies nothing.
  static constexpr int kChunkBits = 10;
  Entry& At(uint32_t e) { return chunks_[e >> kChunkBits][e & ((1u << kChunkBits) - 1)]; }
  const Entry& At(uint32_t e) const {
    return chunks_[e >> kChunkBits][e & ((1u << kChunkBits) - 1)];
  }

  void Rewrite(std::string_view text);
  void StartRegion(size_t source);
  void Append(std::string_view bytes);
  void PushOpener();
  void ClearPending();
  void Replace(size_t index, std::string_view replacement, uint32_t pass);
  [[nodiscard]] std::string_view Learn(uint32_t pass);
  [[nodiscard]] std::string_view AddEntry(std::string_view body, const char* stored, uint64_t hash,
                                          uint32_t pass);
  void Index(uint32_t entry);
  [[nodiscard]] std::optional<Due> EarliestDue();
  [[nodiscard]] uint64_t SpanHash(size_t index);
  [[nodiscard]] uint32_t LatestMadeFrom(size_t pos) const;
  [[nodiscard]] bool SameBody(const Entry& entry, size_t begin, size_t end) const {
    return entry.body_size == end - begin &&
           std::memcmp(entry.body, out_.data() + begin, end - begin) == 0;
  }
  // A slot holds the upper half of the key and the entry index + 1; 0 marks a free slot.
  [[nodiscard]] static uint64_t Key(uint64_t hash, size_t size) {
    return (hash + size) * 0x9e3779b97f4a7c15;
  }
  // Calls `visit(entry)` for every entry whose hash and size are these.
  template <class Visit>
  void ForEachEntry(uint64_t hash, size_t size, Visit visit) const {
    if (slots_.empty()) return;
    const uint64_t key = Key(hash, size);
    const size_t mask = slots_.size() - 1;
    for (size_t slot = key >> (64 - slot_bits_); slots_[slot] != 0; slot = (slot + 1) & mask) {
      if ((slots_[slot] >> 32) != (key >> 32)) continue;
      const uint32_t e = static_cast<uint32_t>(slots_[slot]) - 1;
      if (At(e).hash == hash && At(e).body_size == size) visit(e);
    }
  }
  // The entry whose text is `body`, if any.
  [[nodiscard]] std::optional<uint32_t> FindEntry(uint64_t hash, std::string_view body) const {
    std::optional<uint32_t> found;
    ForEachEntry(hash, body.size(), [&](uint32_t e) {
      if (std::memcmp(At(e).body, body.data(), body.size()) == 0) found = e;
    });
    return found;
  }

  std::string_view opener_;
  std::string_view closer_;
  std::array<std::string_view, 2> replacements_;
  uint8_t (*classify_)(std::string_view body);

  std::string_view text_;
  bool in_place_ = false;  // then the input's bytes do not last: span texts are copied
  PassOutput out_;
  std::vector<Opener> pending_;    // ascending positions
  uint64_t region_hash_ = 0;       // of out_ from the oldest waiting opener on
  size_t region_source_ = 0;       // input position of the oldest waiting opener
  bool region_rewritten_ = false;  // else the region is a copy of the input from there
  std::vector<uint64_t> powers_{1};
  std::vector<Made> made_;  // positions ascending, passes descending (later ones dominate)

  uint32_t entry_count_ = 0;
  std::vector<std::unique_ptr<Entry[]>> chunks_;
  std::deque<std::string> owned_bodies_;  // bodies that are no copy of the input
  std::unordered_map<uint32_t, std::vector<uint32_t>> later_passes_;  // ascending, per entry
  std::vector<uint64_t> slots_;                                       // open addressing
  int slot_bits_ = 0;               // slots_.size() is 2^slot_bits_
  std::vector<size_t> body_sizes_;  // distinct, ascending
};

void SpanRewriter::Rewrite(std::string_view text) {
  text_ = text;
  MarkerCursor openers(text, opener_);
  MarkerCursor closers(text, closer_);
  uint32_t clock = 0;
  bool looping = true;  // false once the step-by-step loop would have ended
  size_t pos = 0;
  for (;;) {
    const size_t open = openers.NextFrom(pos);
    if (pending_.empty()) {
      if (open == kNone || (!looping && entry_count_ == 0)) break;
      out_.append(text.substr(pos, open - pos));
      const size_t close = closers.NextFrom(open + opener_.size());
      if (close != kNone && close < openers.NextFrom(open + opener_.size())) {
        // Nearly every span holds no other opener: then it is the input's own bytes, and it
        // is settled at once without being copied.
        pos = close + closer_.size();
        const std::string_view body = text.substr(open, close - open);
        const uint64_t hash = ExtendHash(0, body);
        if (const std::optional<uint32_t> e = FindEntry(hash, body)) {
          out_.append(replacements_[At(*e).replacement]);
        } else if (looping && body.size() > opener_.size()) {
          out_.append(AddEntry(body, in_place_ ? nullptr : body.data(), hash, ++clock));
        } else {
          looping = false;
          out_.append(text.substr(open, pos - open));
        }
        continue;
      }
      StartRegion(open);
      PushOpener();
      pos = open + opener_.size();
      continue;
    }
    const size_t close = closers.NextFrom(pos);
    if (close == kNone) break;  // the first opener's span never closes
    if (open < close) {
      Append(text.substr(pos, open - pos));
      PushOpener();
      pos = open + opener_.size();
      continue;
    }
    Append(text.substr(pos, close - pos));
    pos = close + closer_.size();
    if (const std::optional<Due> due = EarliestDue()) {
      Replace(due->index, replacements_[At(due->entry).replacement], due->pass);
      continue;
    }
    // An empty span is met by the shortcut above; the check keeps this path whole on its own.
    if (looping && out_.size() == pending_.front().pos + opener_.size()) looping = false;
    if (looping) {
      ++clock;
      Replace(0, Learn(clock), clock);
      continue;
    }
    // No pass will ever change these openers' spans.
    out_.append(closer_);
    ClearPending();
  }
  out_.append(text.substr(pos));
}

void SpanRewriter::StartRegion(size_t source) {
  region_hash_ = 0;
  region_source_ = source;
  region_rewritten_ = false;
}

void SpanRewriter::Append(std::string_view bytes) {
  // Hash first: writing in place can overwrite the bytes being appended.
  region_hash_ = ExtendHash(region_hash_, bytes);
  out_.append(bytes);
}

void SpanRewriter::PushOpener() {
  pending_.push_back({out_.size(), region_hash_});
  Append(opener_);
}

void SpanRewriter::ClearPending() {
  pending_.clear();
  made_.clear();
}

void SpanRewriter::Replace(size_t index, std::string_view replacement, uint32_t pass) {
  const Opener opener = pending_[index];
  out_.resize(opener.pos);
  pending_.resize(index);
  if (pending_.empty()) {
    ClearPending();
    out_.append(replacement);
    return;
  }
  region_hash_ = opener.hash_before;
  region_rewritten_ = true;
  while (!made_.empty() && made_.back().pos >= opener.pos) made_.pop_back();
  // Every replacement still inside the replaced span was earlier than this one, so an older
  // record with an earlier pass can no longer be the latest one inside any waiting span.
  while (!made_.empty() && made_.back().pass <= pass) made_.pop_back();
  made_.push_back({opener.pos, pass});
  Append(replacement);
}

uint32_t SpanRewriter::LatestMadeFrom(size_t pos) const {
  const auto it = std::lower_bound(made_.begin(), made_.end(), pos,
                                   [](const Made& made, size_t p) { return made.pos < p; });
  return it == made_.end() ? 0 : it->pass;
}

// The hash of the span of waiting opener `index` without its closer.
uint64_t SpanRewriter::SpanHash(size_t index) {
  const size_t size = out_.size() - pending_[index].pos;
  // A table for the usual short spans; a span that grows across the page is rare.
  constexpr size_t kTabulated = 4096;
  if (size < kTabulated) {
    while (powers_.size() <= size) powers_.push_back(powers_.back() * kHashBase);
  }
  const uint64_t power = size < kTabulated ? powers_[size] : HashPower(size);
  return region_hash_ - pending_[index].hash_before * power;
}

void SpanRewriter::Index(uint32_t entry) {
  if ((size_t{entry_count_} + 1) * 2 > slots_.size()) {
    slot_bits_ = std::max(6, slot_bits_ + 1);
    slots_.assign(size_t{1} << slot_bits_, 0);
    for (uint32_t e = 0; e < entry_count_; ++e) {
      if (e != entry) Index(e);
    }
  }
  const uint64_t key = Key(At(entry).hash, At(entry).body_size);
  size_t slot = key >> (64 - slot_bits_);
  while (slots_[slot] != 0) slot = (slot + 1) & (slots_.size() - 1);
  slots_[slot] = (key >> 32 << 32) | (entry + 1);
}

// The span of the oldest waiting opener is the span of pass `pass`.
std::string_view SpanRewriter::Learn(uint32_t pass) {
  const size_t begin = pending_.front().pos;
  const std::string_view body(out_.data() + begin, out_.size() - begin);
  const uint64_t hash = SpanHash(0);
  if (const std::optional<uint32_t> same = FindEntry(hash, body)) {
    At(*same).found_again = true;
    later_passes_[*same].push_back(pass);
    return replacements_[At(*same).replacement];
  }
  const bool copy = region_rewritten_ || in_place_;
  return AddEntry(body, copy ? nullptr : text_.data() + region_source_, hash, pass);
}

// A new span text, whose bytes stay at `stored`, or are copied when that is null.
std::string_view SpanRewriter::AddEntry(std::string_view body, const char* stored, uint64_t hash,
                                        uint32_t pass) {
  if (stored == nullptr) stored = owned_bodies_.emplace_back(body).data();
  const uint32_t e = entry_count_++;
  if ((e >> kChunkBits) == chunks_.size()) {
    chunks_.push_back(std::make_unique_for_overwrite<Entry[]>(size_t{1} << kChunkBits));
  }
  At(e) = {hash, stored, body.size(), pass, classify_(body), false};
  Index(e);
  const auto size_at = std::lower_bound(body_sizes_.begin(), body_sizes_.end(), body.size());
  if (size_at == body_sizes_.end() || *size_at != body.size()) {
    body_sizes_.insert(size_at, body.size());
  }
  return replacements_[At(e).replacement];
}

std::optional<SpanRewriter::Due> SpanRewriter::EarliestDue() {
  if (entry_count_ == 0) return std::nullopt;
  const size_t end = out_.size();
  std::vector<std::pair<size_t, uint32_t>> refuted;  // hash hits whose bytes differ
  for (;;) {
    std::optional<Due> best;
    const auto consider = [&](size_t index) {
      const size_t begin = pending_[index].pos;
      std::optional<uint32_t> latest_inside;
      ForEachEntry(SpanHash(index), end - begin, [&](uint32_t e) {
        if (std::find(refuted.begin(), refuted.end(), std::pair{index, e}) != refuted.end()) {
          return;
        }
        if (!latest_inside) latest_inside = LatestMadeFrom(begin);
        // The span has had its present text since the pass after `latest_inside`.
        const Entry& entry = At(e);
        uint32_t pass = entry.first_pass;
        if (pass <= *latest_inside) {
          if (!entry.found_again) return;
          const std::vector<uint32_t>& later_passes = later_passes_.at(e);
          const auto later =
              std::upper_bound(later_passes.begin(), later_passes.end(), *latest_inside);
          if (later == later_passes.end()) return;
          pass = *later;
        }
        if (!best || pass < best->pass) best = Due{index, e, pass};
      });
    };
    // Only openers whose span has the size of a known span can match one; look at whichever
    // of the two sets is smaller.
    if (pending_.size() <= body_sizes_.size()) {
      for (size_t i = 0; i < pending_.size(); ++i) consider(i);
    } else {
      for (const size_t size : body_sizes_) {
        if (size > end - pending_.front().pos) break;
        const auto it =
            std::lower_bound(pending_.begin(), pending_.end(), end - size,
                             [](const Opener& opener, size_t pos) { return opener.pos < pos; });
        if (it != pending_.end() && it->pos == end - size) {
          consider(static_cast<size_t>(it - pending_.begin()));
        }
      }
    }
    if (!best || SameBody(At(best->entry), pending_[best->index].pos, end)) return best;
    refuted.emplace_back(best->index, best->entry);
  }
}

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

// ReplaceAll(text, from, to) in place, for a replacement no longer than what it replaces.
void ReplaceAllInPlace(std::string& text, std::string_view from, std::string_view to) {
  size_t kept = 0;
  size_t pos = 0;
  for (size_t at; (at = FindMarker(text, from, pos)) != kNone; pos = at + from.size()) {
    std::memmove(text.data() + kept, text.data() + pos, at - pos);
    kept += at - pos;
    std::memcpy(text.data() + kept, to.data(), to.size());
    kept += to.size();
  }
  std::memmove(text.data() + kept, text.data() + pos, text.size() - pos);
  text.resize(kept + text.size() - pos);
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
    SpanRewriter(kCleaningSteps[step]).RunInPlace(text);
  }
  CollapseSpacesAndRestoreBreaks(text);
}

// Whether NormalizeLines would return `text` unchanged: no NUL, every break a CR LF, and a
// break at the end.
bool IsNormalized(std::string_view text) {
  if (text.empty()) return true;
  if (!text.ends_with("\r\n") || std::memchr(text.data(), '\0', text.size()) != nullptr) {
    return false;
  }
  size_t feeds = 0;
  for (size_t at = text.find('\n'); at != kNone; at = text.find('\n', at + 1)) ++feeds;
  size_t returns = 0;
  for (size_t at = text.find('\r'); at != kNone; at = text.find('\r', at + 1)) {
    if (text[at + 1] != '\n') return false;  // a CR never ends the text here
    ++returns;
  }
  return returns == feeds;  // each LF follows one of the CRs
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
    if (IsNormalized(output)) {
      DropBlankNormalizedLines(output);
    } else {
      output = DropBlankLines(output);
    }
  }
  return output;
}

std::string CleanFragment(std::string_view text) {
  // The first step that has work reads `text` itself, so nothing is copied before it.
  for (size_t step = 0; step < std::size(kCleaningSteps); ++step) {
    if (FindMarker(text, kCleaningSteps[step].opener) == kNone) continue;
    std::string cleaned;
    SpanRewriter(kCleaningSteps[step]).Run(text, cleaned);
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
