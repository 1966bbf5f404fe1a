// The span replacement loop in one left-to-right pass.
#include "text/span_rewriter.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "text/extract_between.h"

namespace korvane {
namespace {

constexpr size_t kNone = std::string_view::npos;

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

// The loop of RewriteSpans (span_rewriter.h). Done literally, every pass rescans the whole text.
// Rewrite() gives the same bytes in one left-to-right pass:
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

  [[nodiscard]] SpanLoopEnd end() const { return end_; }

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
  SpanLoopEnd end_ = SpanLoopEnd::kNoOpener;
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
      if (open == kNone || (!looping && entry_count_ == 0)) {
        if (looping) end_ = SpanLoopEnd::kNoOpener;
        break;
      }
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
          if (looping) end_ = SpanLoopEnd::kEmptySpan;
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
    if (close == kNone) {  // the first opener's span never closes
      if (looping) end_ = SpanLoopEnd::kNoCloser;
      break;
    }
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
    if (looping && out_.size() == pending_.front().pos + opener_.size()) {
      end_ = SpanLoopEnd::kEmptySpan;
      looping = false;
    }
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

}  // namespace

bool SpanMarkersAreSeparate(std::string_view opener, std::string_view closer,
                            std::string_view replacement) {
  if (opener.empty() || closer.empty()) return false;
  // Whether `b`, placed `shift` bytes after the start of `a`, agrees with it on every byte
  // they share.
  const auto agree = [](std::string_view a, std::string_view b, size_t shift) {
    const size_t shared = std::min(a.size() - shift, b.size());
    return a.substr(shift, shared) == b.substr(0, shared);
  };
  for (size_t shift = 1; shift < opener.size(); ++shift) {
    if (agree(opener, opener, shift)) return false;
  }
  for (size_t shift = 1; shift < closer.size(); ++shift) {
    if (agree(closer, closer, shift)) return false;
  }
  for (size_t shift = 0; shift < opener.size(); ++shift) {
    if (agree(opener, closer, shift)) return false;
  }
  for (size_t shift = 0; shift < closer.size(); ++shift) {
    if (agree(closer, opener, shift)) return false;
  }
  return opener.find_first_of(replacement) == std::string_view::npos &&
         closer.find_first_of(replacement) == std::string_view::npos;
}

SpanLoopEnd RewriteSpans(const SpanKind& kind, std::string_view text, std::string& out) {
  SpanRewriter rewriter(kind);
  rewriter.Run(text, out);
  return rewriter.end();
}

SpanLoopEnd RewriteSpansInPlace(const SpanKind& kind, std::string& text) {
  SpanRewriter rewriter(kind);
  rewriter.RunInPlace(text);
  return rewriter.end();
}

}  // namespace korvane
