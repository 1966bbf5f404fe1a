// Fingerprints of texts and the index of saved texts.
#include "text/near_duplicates.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <string>

#include "base/lazy_libraries.h"

namespace korvane {

namespace {

constexpr uint32_t kEmpty = UINT32_MAX;
constexpr uint64_t kNoValue = UINT64_MAX;
constexpr int kMaxRows = 32;
constexpr double kMaxLoad = 0.75;
constexpr int kMinSketchBins = 16;  // fewer bins in common tell too little to reject
constexpr double kSketchSigmas = 4;

constexpr std::array<bool, 256> kSpaces = [] {
  std::array<bool, 256> spaces{};
  for (const unsigned char c : {' ', '\t', '\r', '\n', '\v', '\f', '\xA0'}) spaces[c] = true;
  return spaces;
}();

bool IsSpace(char c) {
  return kSpaces[static_cast<unsigned char>(c)];
}

uint64_t Mix64(uint64_t x) {
  x ^= x >> 30;
  x *= 0xbf58476d1ce4e5b9ULL;
  x ^= x >> 27;
  x *= 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

static_assert(std::endian::native == std::endian::little, "the masked load reads bytes in order");

// The word of `n` bytes at `p`, inside a text that ends at `end`.
uint64_t HashWord(const char* p, size_t n, const char* end) {
  uint64_t h = 0x9e3779b97f4a7c15ULL ^ n;
  for (; n >= 8; p += 8, n -= 8) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    h = Mix64(h ^ v);
  }
  uint64_t tail = 0;
  if (n > 0 && end - p >= 8) {
    // One load of eight bytes, the bytes past the word masked off (little-endian).
    std::memcpy(&tail, p, 8);
    tail &= ~uint64_t{0} >> (64 - 8 * n);
  } else {
    for (size_t i = 0; i < n; ++i) tail |= uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
  }
  return Mix64(h ^ tail ^ (uint64_t{n} << 59));
}

// A value in [0, size) from the high bits of `hash`.
size_t Reduce(uint32_t hash, size_t size) {
  return static_cast<size_t>((uint64_t{hash} * size) >> 32);
}

// The hashes of the words of `text`; with `folded`, also the words joined by single blanks.
std::vector<uint64_t> WordHashes(std::string_view text, std::string* folded) {
  std::vector<uint64_t> words;
  words.reserve(text.size() / 6);
  char* out = nullptr;
  if (folded) {
    folded->resize(text.size() + 1);
    out = folded->data();
  }
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsSpace(text[i])) ++i;
    const size_t start = i;
    while (i < text.size() && !IsSpace(text[i])) ++i;
    if (i == start) break;
    words.push_back(HashWord(text.data() + start, i - start, text.data() + text.size()));
    if (out) {
      std::memcpy(out, text.data() + start, i - start);
      out += i - start;
      *out++ = ' ';
    }
  }
  // The words each followed by a blank, without the last blank.
  if (folded) folded->resize(out > folded->data() ? out - folded->data() - 1 : 0);
  return words;
}

// The shingle hashes in text order, repeats included.
std::vector<uint64_t> ShinglesOfWords(const std::vector<uint64_t>& words) {
  std::vector<uint64_t> shingles;
  if (words.empty()) return shingles;
  if (words.size() < 3) {
    shingles.push_back(Mix64(Mix64(words[0] + 0x51ed27) ^ (words.size() > 1 ? words[1] : 0)));
    return shingles;
  }
  shingles.reserve(words.size() - 2);
  for (size_t i = 0; i + 2 < words.size(); ++i) {
    // Word hashes are mixed already: rotations keep the order, one mix spreads the bits.
    shingles.push_back(Mix64(words[i] ^ std::rotl(words[i + 1], 21) ^ std::rotl(words[i + 2], 42)));
  }
  return shingles;
}

std::vector<uint64_t> SortedSet(std::vector<uint64_t> shingles) {
  std::sort(shingles.begin(), shingles.end());
  shingles.erase(std::unique(shingles.begin(), shingles.end()), shingles.end());
  return shingles;
}

std::array<uint64_t, 2> Sha256Prefix(std::string_view bytes) {
  const DigestLibrary& digests = Digests();
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  digests.EVP_Digest(bytes.data(), bytes.size(), digest, &length, digests.EVP_sha256(), nullptr);
  std::array<uint64_t, 2> prefix{};
  std::memcpy(prefix.data(), digest, sizeof prefix);
  return prefix;
}

// One-permutation MinHash: the smallest 32-bit value that falls into each of `bins` bins.
std::vector<uint64_t> OnePermutationBins(const std::vector<uint64_t>& shingles, size_t bins) {
  std::vector<uint64_t> values(bins, kNoValue);
  for (const uint64_t shingle : shingles) {
    uint64_t& value = values[Reduce(static_cast<uint32_t>(shingle >> 32), bins)];
    value = std::min<uint64_t>(value, static_cast<uint32_t>(shingle));
  }
  return values;
}

// Optimal densification of the first `count` bins: an empty bin takes the value of the first
// non-empty bin of a fixed pseudo-random sequence, the same for every text.
void Densify(std::vector<uint64_t>& values, size_t count) {
  const std::vector<uint64_t> original(values.begin(), values.end());
  for (size_t bin = 0; bin < count; ++bin) {
    if (original[bin] != kNoValue) continue;
    for (uint64_t attempt = 1;; ++attempt) {
      const size_t from = Reduce(
          static_cast<uint32_t>(Mix64((uint64_t{bin} << 32) + attempt) >> 32), original.size());
      if (original[from] != kNoValue) {
        values[bin] = original[from];
        break;
      }
      if (attempt == 100000) {  // only for a set with a handful of shingles: scan instead
        const auto it = std::find_if(original.begin(), original.end(),
                                     [](uint64_t v) { return v != kNoValue; });
        values[bin] = *it;
        break;
      }
    }
  }
}

uint64_t SketchWord(const std::array<uint8_t, kSketchBins / 4>& sketch, size_t word) {
  uint64_t v = 0;
  std::memcpy(&v, sketch.data() + word * 8, 8);
  return v;
}

}  // namespace

DuplicateMeasure::DuplicateMeasure(double t) : threshold(std::clamp(t, 1e-9, 1.0)), rows(1) {
  for (int r = kMaxRows; r >= 1; --r) {
    if (1 - std::pow(1 - std::pow(threshold, r), kDuplicateBands) >= 0.99) {
      rows = r;
      break;
    }
  }
}

std::vector<uint64_t> ShingleSet(std::string_view text) {
  return SortedSet(ShinglesOfWords(WordHashes(text, nullptr)));
}

TextPrint MakeTextPrint(std::string_view text, const DuplicateMeasure& measure) {
  TextPrint print;
  std::string folded;
  print.shingles = ShinglesOfWords(WordHashes(text, &folded));
  print.exact = Sha256Prefix(folded);
  if (print.shingles.empty()) return print;
  const size_t band_bins = size_t{kDuplicateBands} * static_cast<size_t>(measure.rows);
  std::vector<uint64_t> bins = OnePermutationBins(print.shingles, band_bins + kSketchBins);
  Densify(bins, band_bins);
  for (size_t band = 0; band < kDuplicateBands; ++band) {
    uint64_t h = Mix64(band + 0x6a09e667);
    for (size_t row = 0; row < static_cast<size_t>(measure.rows); ++row) {
      h = Mix64(h ^ bins[band * static_cast<size_t>(measure.rows) + row]);
    }
    print.band_keys[band] = static_cast<uint32_t>(h >> 32);
  }
  for (size_t i = 0; i < kSketchBins; ++i) {
    const uint64_t value = bins[band_bins + i];
    const unsigned code = value == kNoValue ? 0 : 1 + static_cast<unsigned>(value % 3);
    print.sketch[i / 4] = static_cast<uint8_t>(print.sketch[i / 4] | (code << (2 * (i % 4))));
  }
  return print;
}

double Resemblance(const std::vector<uint64_t>& a, const std::vector<uint64_t>& b) {
  if (a.empty() && b.empty()) return 1;
  size_t common = 0;
  for (size_t i = 0, j = 0; i < a.size() && j < b.size();) {
    if (a[i] < b[j]) {
      ++i;
    } else if (b[j] < a[i]) {
      ++j;
    } else {
      ++common, ++i, ++j;
    }
  }
  return static_cast<double>(common) / static_cast<double>(a.size() + b.size() - common);
}

std::string_view ResultText(std::string_view file_bytes) {
  if (!file_bytes.starts_with("<URL>")) return file_bytes;
  const size_t end = file_bytes.find("</URL>\r\n");
  if (end == std::string_view::npos ||
      file_bytes.substr(0, end).find_first_of("\r\n") != std::string_view::npos) {
    return file_bytes;
  }
  return file_bytes.substr(end + 8);
}

NearDuplicateIndex::NearDuplicateIndex(DuplicateMeasure measure) : measure_(measure) {}

bool NearDuplicateIndex::SketchAllows(const Record& saved, const TextPrint& print) const {
  constexpr uint64_t kLow = 0x5555555555555555ULL;
  int either = 0, agree = 0, differ = 0;
  for (size_t word = 0; word < kSketchBins / 32; ++word) {
    const uint64_t a = SketchWord(saved.sketch, word), b = SketchWord(print.sketch, word);
    const uint64_t in_a = (a | a >> 1) & kLow, in_b = (b | b >> 1) & kLow;
    const uint64_t same = ~(a ^ b);
    const uint64_t equal = same & (same >> 1) & in_a & in_b;
    either += std::popcount(in_a | in_b);
    agree += std::popcount(equal);
    differ += std::popcount(in_a & in_b & ~equal);
  }
  if (either < kMinSketchBins) return true;
  // Two codes of different minima agree one time in three, so half the disagreements between
  // filled bins stand for the accidental agreements: `agree - differ / 2` estimates the bins
  // whose minima agree, `either * resemblance` on average.
  const double t = measure_.threshold;
  return agree - differ / 2.0 >=
         either * t - kSketchSigmas * std::sqrt(either * (1 - t) * (t + 0.5));
}

std::optional<uint32_t> NearDuplicateIndex::FindDuplicate(const TextPrint& print,
                                                          const ShingleSource& source) const {
  if (records_.empty()) return std::nullopt;
  const size_t exact_size = exact_slots_.size();
  for (size_t i = Reduce(static_cast<uint32_t>(print.exact[0] >> 32), exact_size);
       exact_slots_[i] != kEmpty; i = (i + 1) % exact_size) {
    const Record& saved = records_[exact_slots_[i]];
    if (!saved.withdrawn && saved.exact == print.exact) return exact_slots_[i];
  }
  if (print.shingles.empty() || band_slots_.empty()) return std::nullopt;
  std::vector<uint32_t> candidates;
  const size_t band_size = band_slots_.size();
  for (const uint32_t key : print.band_keys) {
    for (size_t i = Reduce(key, band_size); band_slots_[i].id != kEmpty; i = (i + 1) % band_size) {
      if (band_slots_[i].key == key && !records_[band_slots_[i].id].withdrawn) {
        candidates.push_back(band_slots_[i].id);
      }
    }
  }
  std::sort(candidates.begin(), candidates.end());
  candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
  const double t = measure_.threshold;
  std::optional<std::vector<uint64_t>> set;  // the text's shingle set, made at the first need
  for (const uint32_t id : candidates) {
    if (!SketchAllows(records_[id], print)) continue;
    if (!set) set = SortedSet(print.shingles);
    if (const auto held = held_.find(id); held != held_.end()) {
      if (Resemblance(*set, SortedSet(held->second->shingles)) >= t) return id;
    } else if (const auto shingles = source(id)) {
      if (Resemblance(*set, *shingles) >= t) return id;
    }
  }
  return std::nullopt;
}

uint32_t NearDuplicateIndex::Add(const TextPrint& print, std::shared_ptr<const TextPrint> held) {
  const auto id = static_cast<uint32_t>(records_.size());
  if (records_.size() == records_.capacity()) {
    records_.reserve(records_.capacity() + records_.capacity() / 4 + 1024);
  }
  records_.push_back({print.exact, false, print.sketch});
  GrowTables();
  size_t i = Reduce(static_cast<uint32_t>(print.exact[0] >> 32), exact_slots_.size());
  while (exact_slots_[i] != kEmpty) i = (i + 1) % exact_slots_.size();
  exact_slots_[i] = id;
  if (!print.shingles.empty()) {
    for (const uint32_t key : print.band_keys) {
      size_t j = Reduce(key, band_slots_.size());
      while (band_slots_[j].id != kEmpty) j = (j + 1) % band_slots_.size();
      band_slots_[j] = {key, id};
    }
    band_used_ += kDuplicateBands;
  }
  if (held) held_.emplace(id, std::move(held));
  return id;
}

void NearDuplicateIndex::GrowTables() {
  if (static_cast<double>(records_.size()) > kMaxLoad * static_cast<double>(exact_slots_.size())) {
    std::vector<uint32_t> slots(std::max<size_t>(1024, exact_slots_.size() * 3 / 2), kEmpty);
    for (uint32_t id = 0; id + 1 < records_.size(); ++id) {
      size_t i = Reduce(static_cast<uint32_t>(records_[id].exact[0] >> 32), slots.size());
      while (slots[i] != kEmpty) i = (i + 1) % slots.size();
      slots[i] = id;
    }
    exact_slots_ = std::move(slots);
  }
  if (static_cast<double>(band_used_ + kDuplicateBands) >
      kMaxLoad * static_cast<double>(band_slots_.size())) {
    std::vector<BandEntry> slots(std::max<size_t>(8192, band_slots_.size() * 3 / 2),
                                 BandEntry{0, kEmpty});
    for (const BandEntry& entry : band_slots_) {
      if (entry.id == kEmpty) continue;
      size_t i = Reduce(entry.key, slots.size());
      while (slots[i].id != kEmpty) i = (i + 1) % slots.size();
      slots[i] = entry;
    }
    band_slots_ = std::move(slots);
  }
}

void NearDuplicateIndex::Release(uint32_t id) {
  held_.erase(id);
}

void NearDuplicateIndex::Withdraw(uint32_t id) {
  if (id < records_.size()) records_[id].withdrawn = true;
  held_.erase(id);
}

void NearDuplicateIndex::Clear() {
  records_ = {};
  exact_slots_ = {};
  band_slots_ = {};
  band_used_ = 0;
  held_.clear();
}

size_t NearDuplicateIndex::MemoryBytes() const {
  return records_.capacity() * sizeof(Record) + exact_slots_.capacity() * sizeof(uint32_t) +
         band_slots_.capacity() * sizeof(BandEntry);
}

}  // namespace korvane
