// The sorted, case-insensitive, duplicate-free text list.
#include "base/sorted_list.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "base/cp1251.h"

namespace korvane {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// The folded bytes of `line` from `from` on, four of them packed with the first highest, 0
// past its end. When two lines fold alike before `from`, different keys order them as the
// lines compare; equal keys decide nothing (a line may hold a 0 byte, or go on beyond).
uint32_t KeyAt(std::string_view line, size_t from) {
  uint32_t key = 0;
  for (size_t p = from; p < from + 4; ++p) {
    key = key << 8 | (p < line.size() ? FoldCase1251(static_cast<unsigned char>(line[p])) : 0u);
  }
  return key;
}

// How many leading bytes of `a` and `b` fold alike, counting no further than `limit`.
size_t FoldedCommonPrefix(std::string_view a, std::string_view b, size_t limit) {
  const size_t n = std::min({a.size(), b.size(), limit});
  size_t i = 0;
  while (i < n && (a[i] == b[i] || FoldCase1251(static_cast<unsigned char>(a[i])) ==
                                       FoldCase1251(static_cast<unsigned char>(b[i])))) {
    ++i;
  }
  return i;
}

}  // namespace

SortedList::SortedList(const SortedList& other)
    : heads_(other.heads_),
      count_(other.count_),
      marked_(other.marked_),
      marked_from_(other.marked_from_) {
  blocks_.reserve(other.blocks_.size());
  for (const auto& block : other.blocks_) blocks_.push_back(std::make_unique<Block>(*block));
}

SortedList& SortedList::operator=(const SortedList& other) {
  if (this != &other) *this = SortedList(other);
  return *this;
}

bool SortedList::Less::operator()(std::string_view a, std::string_view b) const {
  return CompareNoCase1251(a, b) < 0;
}

SortedList::Probe::Probe(std::string_view text) : line(text) {
  const size_t n = std::min(line.size(), Head::kBytes);
  for (size_t i = 0; i < n; ++i) {
    folded[i] = static_cast<char>(FoldCase1251(static_cast<unsigned char>(line[i])));
  }
}

std::string_view SortedList::LineAt(const Block& block, size_t i) {
  const uint64_t begin = block.starts[i] & ~kMarkBit;
  const uint64_t end =
      i + 1 < block.starts.size() ? block.starts[i + 1] & ~kMarkBit : block.text->size();
  return std::string_view(*block.text).substr(begin, end - begin - kLineEnd.size());
}

std::pair<size_t, bool> SortedList::Locate(size_t b, const Probe& probe) const {
  const std::string_view line = probe.line;
  const Block& block = *blocks_[b];
  const size_t n = block.starts.size();
  if (n == 0) return {0, false};
  // A line that does not fold like the block's common prefix is none of its lines and sorts
  // before or after all of them. The head holds the prefix, folded, unless it is long.
  const bool shares_prefix =
      block.prefix <= Head::kBytes
          ? line.size() >= block.prefix &&
                std::memcmp(probe.folded.data(), heads_[b].bytes.data(), block.prefix) == 0
          : FoldedCommonPrefix(line, block.first, block.prefix) == block.prefix;
  if (!shares_prefix) return {CompareToFirst(probe, b) < 0 ? 0 : n, false};
  const uint32_t key = KeyAt(line, block.prefix);
  size_t low = 0;
  size_t high = n;
  while (low < high) {
    const size_t middle = low + (high - low) / 2;
    const uint32_t other = block.keys[middle];
    if (other != key ? other < key : Less{}(LineAt(block, middle), line)) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  // Equal lines have equal keys, so a different key needs no look at the line.
  const bool found = low < n && block.keys[low] == key && !Less{}(line, LineAt(block, low));
  return {low, found};
}

size_t SortedList::BlockFor(const Probe& probe) const {
  // The last block whose first line is not above `line`; before every block, the first.
  size_t low = 0;
  size_t high = blocks_.size();
  while (low < high) {
    const size_t middle = low + (high - low) / 2;
    if (CompareToFirst(probe, middle) >= 0) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low == 0 ? 0 : low - 1;
}

SortedList::Place SortedList::Find(std::string_view line) const {
  if (count_ == 0) return {0, 0, false};
  const Probe probe(line);
  const size_t b = BlockFor(probe);
  const auto [i, found] = Locate(b, probe);
  return {b, i, found};
}

std::string& SortedList::WritableText(Block& block, size_t extra) {
  std::string& text = *block.text;
  const size_t needed = text.size() + extra;
  const bool shared = block.text.use_count() > 1;
  if (!shared && needed <= text.capacity()) return text;
  // A snapshot reads this text, or it is full: go on in a copy. The copy grows by an eighth,
  // not twice over as a string's own growth would: the texts are most of the list's memory.
  auto copy = std::make_shared<std::string>();
  copy->reserve(needed + needed / 8);
  copy->append(text);
  block.text = std::move(copy);
  return *block.text;
}

void SortedList::Rekey(Block& block) {
  const size_t lines = block.starts.size();
  block.prefix = FoldedCommonPrefix(LineAt(block, 0), LineAt(block, lines - 1), SIZE_MAX);
  block.keys.resize(lines);
  for (size_t i = 0; i < lines; ++i) block.keys[i] = KeyAt(LineAt(block, i), block.prefix);
}

void SortedList::Refresh(size_t b) {
  Block& block = *blocks_[b];
  block.first = block.starts.empty() ? std::string_view() : LineAt(block, 0);
  Head& head = heads_[b];
  head.size = block.first.size();
  const size_t n = std::min(block.first.size(), Head::kBytes);
  for (size_t i = 0; i < n; ++i) {
    head.bytes[i] = static_cast<char>(FoldCase1251(static_cast<unsigned char>(block.first[i])));
  }
}

int SortedList::CompareToFirst(const Probe& probe, size_t b) const {
  // Folded bytes compare as the lines do; an equal run leaves the shorter line first.
  const Head& head = heads_[b];
  const size_t held = std::min<uint64_t>(head.size, Head::kBytes);
  const size_t n = std::min(probe.line.size(), held);
  const int result = std::memcmp(probe.folded.data(), head.bytes.data(), n);
  if (result != 0) return result;
  if (probe.line.size() < held) return -1;
  // The line begins as the head does: a whole first line is shorter or equal, a longer one
  // must be read.
  if (head.size == held) return probe.line.size() > held ? 1 : 0;
  return CompareNoCase1251(probe.line, blocks_[b]->first);
}

bool SortedList::Add(std::string_view line, bool marked) {
  const Place place = Find(line);
  if (place.found) return false;
  Insert(place, line, marked);
  return true;
}

void SortedList::Insert(const Place& place, std::string_view line, bool marked) {
  if (blocks_.empty()) {
    blocks_.push_back(std::make_unique<Block>());
    heads_.emplace_back();
  }
  Block& block = *blocks_[place.block];
  // A line between two others folds like them as far as they fold alike; one at either end
  // may shorten the common prefix, and then every key is taken afresh.
  const size_t lines = block.starts.size();
  size_t prefix = line.size();
  if (lines > 0) {
    prefix = block.prefix;
    if (place.index == 0 || place.index == lines) {
      const std::string_view end = LineAt(block, place.index == 0 ? 0 : lines - 1);
      prefix = FoldedCommonPrefix(line, end, prefix);
    }
  }
  const size_t size = line.size() + kLineEnd.size();
  const char* const held = block.text->data();
  std::string& text = WritableText(block, size);
  const uint64_t at =
      place.index < block.starts.size() ? block.starts[place.index] & ~kMarkBit : text.size();
  text.insert(at, size, '\n');
  line.copy(text.data() + at, line.size());
  text[at + line.size()] = '\r';
  for (size_t i = place.index; i < block.starts.size(); ++i) block.starts[i] += size;
  block.starts.insert(block.starts.begin() + static_cast<std::ptrdiff_t>(place.index),
                      marked ? at | kMarkBit : at);
  if (lines > 0 && prefix == block.prefix) {
    block.keys.insert(block.keys.begin() + static_cast<std::ptrdiff_t>(place.index),
                      KeyAt(line, prefix));
  } else {
    Rekey(block);
  }
  ++count_;
  if (marked) {
    ++block.marked;
    ++marked_;
    marked_from_ = std::min(marked_from_, place.block);
  }
  // Line 0 and its bytes stay put unless the new line is line 0 or the text moved.
  if (place.index == 0 || text.data() != held) Refresh(place.block);
  SplitIfFull(place.block);
}

void SortedList::SplitIfFull(size_t b) {
  if (blocks_[b]->starts.size() < 2 * kBlockLines) return;
  Block upper;
  {
    const Block& lower = *blocks_[b];
    const uint64_t cut = lower.starts[kBlockLines] & ~kMarkBit;
    upper.text->reserve(lower.text->size() - cut + (lower.text->size() - cut) / 8);
    upper.text->append(*lower.text, cut);
    upper.starts.reserve(2 * kBlockLines);
    for (size_t i = kBlockLines; i < lower.starts.size(); ++i) {
      upper.starts.push_back(lower.starts[i] - cut);
      if (lower.starts[i] & kMarkBit) ++upper.marked;
    }
  }
  Block& lower = *blocks_[b];
  const uint64_t cut = lower.starts[kBlockLines] & ~kMarkBit;
  // The lower half moves to a text of its own size, so no half keeps the whole's room.
  auto text = std::make_shared<std::string>();
  text->reserve(cut + cut / 8);
  text->append(*lower.text, 0, cut);
  lower.text = std::move(text);
  lower.starts.resize(kBlockLines);
  lower.marked -= upper.marked;
  // Each half spans a narrower range than the whole, so its lines may fold alike for longer.
  Rekey(lower);
  Rekey(upper);
  blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(b) + 1,
                 std::make_unique<Block>(std::move(upper)));
  heads_.insert(heads_.begin() + static_cast<std::ptrdiff_t>(b) + 1, Head{});
  Refresh(b);
  Refresh(b + 1);
  if (marked_from_ > b) ++marked_from_;
}

void SortedList::Erase(size_t b, size_t i) {
  Block& block = *blocks_[b];
  const std::string_view line = LineAt(block, i);
  const size_t size = line.size() + kLineEnd.size();
  const uint64_t at = block.starts[i] & ~kMarkBit;
  std::string& text = WritableText(block, 0);
  text.erase(at, size);
  if (block.starts[i] & kMarkBit) {
    --block.marked;
    --marked_;
  }
  block.starts.erase(block.starts.begin() + static_cast<std::ptrdiff_t>(i));
  block.keys.erase(block.keys.begin() + static_cast<std::ptrdiff_t>(i));
  for (size_t k = i; k < block.starts.size(); ++k) block.starts[k] -= size;
  Refresh(b);
  --count_;
  if (block.starts.empty()) {
    blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(b));
    heads_.erase(heads_.begin() + static_cast<std::ptrdiff_t>(b));
    if (marked_from_ > b) --marked_from_;
  }
}

void SortedList::AddAll(const Lines& lines) {
  for (const auto& line : lines) Add(line);
}

size_t SortedList::AddEach(const std::vector<std::string>& lines,
                           const std::function<bool(std::string_view)>& mark_new) {
  size_t added = 0;
  for (const std::string& line : lines) {
    const Place place = Find(line);
    if (!place.found) {
      Insert(place, line, mark_new(line));
      ++added;
    }
  }
  return added;
}

bool SortedList::Contains(std::string_view line) const {
  return Find(line).found;
}

std::string SortedList::TakeFirst() {
  std::string line(First());
  Erase(0, 0);
  return line;
}

void SortedList::Clear() {
  blocks_.clear();
  heads_.clear();
  count_ = 0;
  marked_ = 0;
  marked_from_ = 0;
}

bool SortedList::Mark(std::string_view line) {
  const Place place = Find(line);
  if (!place.found) {
    Insert(place, line, true);
    return true;
  }
  Block& block = *blocks_[place.block];
  uint64_t& start = block.starts[place.index];
  if (start & kMarkBit) return false;
  start |= kMarkBit;
  ++block.marked;
  ++marked_;
  marked_from_ = std::min(marked_from_, place.block);
  return true;
}

size_t SortedList::FirstMarkedBlock() const {
  while (blocks_[marked_from_]->marked == 0) ++marked_from_;
  return marked_from_;
}

std::string_view SortedList::FirstMarked() const {
  const Block& block = *blocks_[FirstMarkedBlock()];
  size_t i = 0;
  while (!(block.starts[i] & kMarkBit)) ++i;
  return LineAt(block, i);
}

std::string SortedList::TakeFirstMarked() {
  Block& block = *blocks_[FirstMarkedBlock()];
  size_t i = 0;
  while (!(block.starts[i] & kMarkBit)) ++i;
  block.starts[i] &= ~kMarkBit;
  --block.marked;
  --marked_;
  return std::string(LineAt(block, i));
}

void SortedList::ClearMarks() {
  for (const auto& block_ptr : blocks_) {
    Block& block = *block_ptr;
    for (uint64_t& start : block.starts) start &= ~kMarkBit;
    block.marked = 0;
  }
  marked_ = 0;
  marked_from_ = 0;
}

Lines SortedList::MarkedLines() const {
  Lines lines;
  lines.reserve(marked_);
  for (const auto& block_ptr : blocks_) {
    const Block& block = *block_ptr;
    for (size_t i = 0; i < block.starts.size(); ++i) {
      if (block.starts[i] & kMarkBit) lines.emplace_back(LineAt(block, i));
    }
  }
  return lines;
}

std::vector<std::string_view> SortedList::TextPieces() const {
  std::vector<std::string_view> pieces;
  pieces.reserve(blocks_.size());
  for (const auto& block : blocks_) pieces.emplace_back(*block->text);
  return pieces;
}

SortedList::Snapshot SortedList::TakeSnapshot() const {
  Snapshot snapshot;
  snapshot.texts_.reserve(blocks_.size());
  snapshot.pieces_.reserve(blocks_.size());
  for (const auto& block_ptr : blocks_) {
    const Block& block = *block_ptr;
    snapshot.texts_.push_back(block.text);
    snapshot.pieces_.emplace_back(*block.text);
  }
  return snapshot;
}

std::string SortedList::Text() const {
  std::string text;
  size_t size = 0;
  for (const auto& block : blocks_) size += block->text->size();
  text.reserve(size);
  for (const auto& block : blocks_) text += *block->text;
  return text;
}

Lines SortedList::ToLines() const {
  Lines lines;
  lines.reserve(count_);
  for (const auto& block_ptr : blocks_) {
    const Block& block = *block_ptr;
    for (size_t i = 0; i < block.starts.size(); ++i) lines.emplace_back(LineAt(block, i));
  }
  return lines;
}

}  // namespace korvane
