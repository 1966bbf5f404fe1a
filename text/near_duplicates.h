// Exact and near-duplicate texts: the fingerprint of a text and the index of saved texts that
// finds the saved text a new one repeats.
//
// The measure.
// - Words are the runs of bytes between white space (blank, tab, CR, LF, VT, FF and the
//   no-break space 0xA0 of code page 1251). Letter case and every other byte count.
// - Exact duplicate: the same words in the same order, i.e. the same text once white space is
//   folded to one blank and trimmed at both ends. Compared by the first 128 bits of the SHA-256
//   of that folded text: two different texts collide with probability about 2^-128 per pair.
// - Near duplicate: resemblance (Jaccard index) of the sets of word 3-shingles at least the
//   threshold T (0.9 by default). A text of one or two words has that one shingle; a text
//   without words has none and only ever matches as an exact duplicate.
//
// How a near duplicate is found. Every shingle is hashed to 64 bits (a 2^-64 chance that two
// distinct shingles collide, which at worst raises a resemblance by one shingle's worth).
// - Candidates: one-permutation MinHash with optimal densification (every empty bin borrows the
//   value of a non-empty bin chosen by a fixed hash sequence), 12 bands of r rows, r the largest
//   with 1 - (1 - T^r)^12 >= 0.99 (r = 10 at T = 0.9). Two texts become candidates when one band
//   agrees. Probability, for the default:
//       resemblance  0.95   0.9     0.85   0.8    0.7    0.5
//       candidate    1.000  0.994   0.93   0.74   0.29   0.012
// - Sketch filter: each saved text keeps 288 further OPH bins, not densified, as 2-bit codes (0
//   for an empty bin, else 1 + value mod 3). Over the m bins filled in either text, the minima
//   agree in m * resemblance bins on average; codes of different minima agree one time in
//   three, so with A agreeing and D disagreeing filled pairs, A - D / 2 estimates that count.
//   A candidate goes on only when A - D / 2 >= m * T - 4 * sqrt(m * (1 - T) * (T + 0.5)) (the
//   largest variance the estimate can have at T); with m < 16 it always goes on. For texts of
//   1,000 words and more (m near 288) a pair at T is turned away with probability about 3e-5,
//   a pair at 0.8 passes with about 0.35, at 0.7 with about 0.001. Shorter texts fill fewer
//   bins (m is about 190 at 300 words), so more of their candidates go on; their exact check
//   is cheap. Measured (tests/text): of pairs at 0.65 to 0.75 between texts of 200 to 1,500
//   words, under 1 in 100 reaches the exact check.
// - Exact check: the resemblance of the two shingle sets, computed exactly; the candidate is a
//   duplicate only at >= T. The saved text's shingles come from the caller (a crawl re-reads the
//   result file; a text whose file is not yet written is held in memory until it is).
// So a reported near duplicate always has resemblance >= T (up to 64-bit hash collisions), a
// pair at 0.9 is reported with probability >= 0.99 (0.994 by the bands), a pair at 0.7 is never
// reported and, for texts of 1,000 words and more, reaches the exact check about 3 times in 10,000.
// Of several saved texts that match, an exact one wins, else the one added first.
//
// Size: a saved text costs 96 bytes (the exact hash, the sketch, padding) plus 4 in
// the exact table and 12 band entries of 8 bytes in the band table, both open-addressed and
// kept below 0.75 full: about 250 bytes a text at 1,000,000 texts.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace korvane {

inline constexpr int kDuplicateBands = 12;
inline constexpr int kSketchBins = 288;

// The threshold and the band shape it implies.
struct DuplicateMeasure {
  explicit DuplicateMeasure(double threshold = 0.9);
  double threshold;  // in (0, 1]
  int rows;          // rows per band
};

// A text's fingerprint, computed on any thread.
struct TextPrint {
  std::array<uint64_t, 2> exact{};  // SHA-256 of the folded text, 128 bits
  std::vector<uint64_t> shingles;   // shingle hashes in text order, repeats included
  std::array<uint32_t, kDuplicateBands> band_keys{};  // meaningful when shingles is not empty
  std::array<uint8_t, kSketchBins / 4> sketch{};      // 2-bit codes, four to a byte
};

// The sorted distinct shingle hashes of `text`.
//   "a b c d" -> two hashes;  "a  b\r\n" -> one;  " \t" -> none
[[nodiscard]] std::vector<uint64_t> ShingleSet(std::string_view text);

// The whole fingerprint of `text` under `measure`.
[[nodiscard]] TextPrint MakeTextPrint(std::string_view text, const DuplicateMeasure& measure);

// |A ∩ B| / |A ∪ B| of two sorted distinct sets; 1 for two empty sets.
[[nodiscard]] double Resemblance(const std::vector<uint64_t>& a, const std::vector<uint64_t>& b);

// The text a result file holds for comparison: the file without its leading
// "<URL>address</URL>" line, which selective parsing with mark-up writes first.
//   "<URL>http://a/</URL>\r\nText\r\n" -> "Text\r\n";  "Text" -> "Text"
[[nodiscard]] std::string_view ResultText(std::string_view file_bytes);

// The saved texts, numbered 0, 1, ... in the order they were added. Not thread-safe: one
// thread (a crawl's main thread, a folder tool) uses it.
class NearDuplicateIndex {
 public:
  // The shingle set of saved text `id`, or nothing when it cannot be had (its file is gone).
  using ShingleSource = std::function<std::optional<std::vector<uint64_t>>(uint32_t id)>;

  explicit NearDuplicateIndex(DuplicateMeasure measure = DuplicateMeasure());

  [[nodiscard]] const DuplicateMeasure& Measure() const { return measure_; }

  // The saved text that `print` repeats: an exact duplicate first, else the first added near
  // duplicate; `source` gives the shingles of saved texts that are not held (see Add).
  [[nodiscard]] std::optional<uint32_t> FindDuplicate(const TextPrint& print,
                                                      const ShingleSource& source) const;

  // Adds a saved text and returns its number. With `held` its shingles are taken from there,
  // not from the source, until Release.
  uint32_t Add(const TextPrint& print, std::shared_ptr<const TextPrint> held = nullptr);
  // The text's shingles are available from the source from now on.
  void Release(uint32_t id);
  // The text was not saved after all: it no longer matches anything.
  void Withdraw(uint32_t id);
  void Clear();

  [[nodiscard]] size_t Count() const { return records_.size(); }
  // The bytes the index holds (its tables and records, held texts not counted).
  [[nodiscard]] size_t MemoryBytes() const;

 private:
  struct Record {
    std::array<uint64_t, 2> exact;
    bool withdrawn;
    std::array<uint8_t, kSketchBins / 4> sketch;
  };
  struct BandEntry {
    uint32_t key;
    uint32_t id;  // kEmpty when the slot is free
  };

  [[nodiscard]] bool SketchAllows(const Record& saved, const TextPrint& print) const;
  void GrowTables();

  DuplicateMeasure measure_;
  std::vector<Record> records_;
  std::vector<uint32_t> exact_slots_;  // record numbers by exact hash
  std::vector<BandEntry> band_slots_;  // (band key, record) pairs, 12 per text with shingles
  size_t band_used_ = 0;
  std::unordered_map<uint32_t, std::shared_ptr<const TextPrint>> held_;
};

}  // namespace korvane
