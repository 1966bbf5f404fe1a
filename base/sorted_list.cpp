// The sorted, case-insensitive, duplicate-free text list.
#include "base/sorted_list.h"

#include <algorithm>

#include "base/cp1251.h"

namespace korvane {

namespace {
constexpr std::string_view kLineEnd = "\r\n";
}  // namespace

bool SortedList::Less::operator()(std::string_view a, std::string_view b) const {
  return CompareNoCase1251(a, b) < 0;
}

std::string_view SortedList::LineAt(const Block& block, size_t i) {
  const uint64_t begin = block.starts[i] & ~kMarkBit;
  const uint64_t end =
      i + 1 < block.starts.size() ? block.starts[i + 1] & ~kMarkBit : block.text->size();
  return std::string_view(*block.text).substr(begin, end - begin - kLineEnd.size());
}

size_t SortedList::LowerBound(const Block& block, std::string_view line) {
  const std::string_view text = *block.text;
  const std::vector<uint64_t>& starts = block.starts;
  size_t low = 0;
  size_t high = starts.size();
  while (low < high) {
    const size_t middle = low + (high - low) / 2;
    const uint64_t begin = starts[middle] & ~kMarkBit;
    const uint64_t end = middle + 1 < starts.size() ? starts[middle + 1] & ~kMarkBit : text.size();
    if (Less{}(text.substr(begin, end - begin - kLineEnd.size()), line)) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low;
}

size_t SortedList::BlockFor(std::string_view line) const {
  // The last block whose first line is not above `line`; before every block, the first.
  const auto it = std::partition_point(blocks_.begin(), blocks_.end(), [&](const Block& block) {
    return !Less{}(line, block.first);
  });
  return it == blocks_.begin() ? 0 : static_cast<size_t>(it - blocks_.begin()) - 1;
}

SortedList::Place SortedList::Find(std::string_view line) const {
  if (count_ == 0) return {0, 0, false};
  const size_t b = BlockFor(line);
  const Block& block = blocks_[b];
  const size_t i = LowerBound(block, line);
  const bool found = i < block.starts.size() && !Less{}(line, LineAt(block, i));
  return {b, i, found};
}

std::string& SortedList::WritableText(Block& block, size_t extra) {
  std::string& text = *block.text;
  const size_t needed = text.size() + extra;
  if (block.text.use_count() > 1) {
    // A snapshot reads this text: change a copy and leave the snapshot its own.
    auto copy = std::make_shared<std::string>();
    copy->reserve(needed + needed / 8);
    copy->append(text);
    block.text = std::move(copy);
  } else if (needed > text.capacity()) {
    // Grow by an eighth rather than double: the texts are most of the list's memory.
    text.reserve(needed + needed / 8);
  }
  return *block.text;
}

void SortedList::Refresh(Block& block) {
  block.first = block.starts.empty() ? std::string_view() : LineAt(block, 0);
}

bool SortedList::Add(std::string_view line, bool marked) {
  const Place place = Find(line);
  if (place.found) return false;
  Insert(place, line, marked);
  return true;
}

void SortedList::Insert(const Place& place, std::string_view line, bool marked) {
  if (blocks_.empty()) blocks_.emplace_back();
  Block& block = blocks_[place.block];
  const size_t size = line.size() + kLineEnd.size();
  std::string& text = WritableText(block, size);
  const uint64_t at =
      place.index < block.starts.size() ? block.starts[place.index] & ~kMarkBit : text.size();
  text.insert(at, size, '\n');
  line.copy(text.data() + at, line.size());
  text[at + line.size()] = '\r';
  for (size_t i = place.index; i < block.starts.size(); ++i) block.starts[i] += size;
  block.starts.insert(block.starts.begin() + static_cast<std::ptrdiff_t>(place.index),
                      marked ? at | kMarkBit : at);
  ++count_;
  if (marked) {
    ++block.marked;
    ++marked_;
    marked_from_ = std::min(marked_from_, place.block);
  }
  Refresh(block);
  SplitIfFull(place.block);
}

void SortedList::SplitIfFull(size_t b) {
  if (blocks_[b].starts.size() < 2 * kBlockLines) return;
  Block upper;
  {
    const Block& lower = blocks_[b];
    const uint64_t cut = lower.starts[kBlockLines] & ~kMarkBit;
    upper.text->reserve(lower.text->size() - cut + (lower.text->size() - cut) / 8);
    upper.text->append(*lower.text, cut);
    upper.starts.reserve(2 * kBlockLines);
    for (size_t i = kBlockLines; i < lower.starts.size(); ++i) {
      upper.starts.push_back(lower.starts[i] - cut);
      if (lower.starts[i] & kMarkBit) ++upper.marked;
    }
  }
  Block& lower = blocks_[b];
  const uint64_t cut = lower.starts[kBlockLines] & ~kMarkBit;
  WritableText(lower, 0).resize(cut);
  lower.starts.resize(kBlockLines);
  lower.marked -= upper.marked;
  Refresh(lower);
  Refresh(upper);
  blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(b) + 1, std::move(upper));
  if (marked_from_ > b) ++marked_from_;
}

void SortedList::Erase(size_t b, size_t i) {
  Block& block = blocks_[b];
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
  for (size_t k = i; k < block.starts.size(); ++k) block.starts[k] -= size;
  Refresh(block);
  --count_;
  if (block.starts.empty()) {
    blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(b));
    if (marked_from_ > b) --marked_from_;
  }
}

void SortedList::AddAll(const Lines& lines) {
  for (const auto& line : lines) Add(line);
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
  Block& block = blocks_[place.block];
  uint64_t& start = block.starts[place.index];
  if (start & kMarkBit) return false;
  start |= kMarkBit;
  ++block.marked;
  ++marked_;
  marked_from_ = std::min(marked_from_, place.block);
  return true;
}

size_t SortedList::FirstMarkedBlock() const {
  while (blocks_[marked_from_].marked == 0) ++marked_from_;
  return marked_from_;
}

std::string_view SortedList::FirstMarked() const {
  const Block& block = blocks_[FirstMarkedBlock()];
  size_t i = 0;
  while (!(block.starts[i] & kMarkBit)) ++i;
  return LineAt(block, i);
}

std::string SortedList::TakeFirstMarked() {
  Block& block = blocks_[FirstMarkedBlock()];
  size_t i = 0;
  while (!(block.starts[i] & kMarkBit)) ++i;
  block.starts[i] &= ~kMarkBit;
  --block.marked;
  --marked_;
  return std::string(LineAt(block, i));
}

void SortedList::ClearMarks() {
  for (Block& block : blocks_) {
    for (uint64_t& start : block.starts) start &= ~kMarkBit;
    block.marked = 0;
  }
  marked_ = 0;
  marked_from_ = 0;
}

Lines SortedList::MarkedLines() const {
  Lines lines;
  lines.reserve(marked_);
  for (const Block& block : blocks_) {
    for (size_t i = 0; i < block.starts.size(); ++i) {
      if (block.starts[i] & kMarkBit) lines.emplace_back(LineAt(block, i));
    }
  }
  return lines;
}

std::vector<std::string_view> SortedList::TextPieces() const {
  std::vector<std::string_view> pieces;
  pieces.reserve(blocks_.size());
  for (const Block& block : blocks_) pieces.emplace_back(*block.text);
  return pieces;
}

SortedList::Snapshot SortedList::TakeSnapshot() const {
  Snapshot snapshot;
  snapshot.texts_.reserve(blocks_.size());
  snapshot.pieces_.reserve(blocks_.size());
  for (const Block& block : blocks_) {
    snapshot.texts_.push_back(block.text);
    snapshot.pieces_.emplace_back(*block.text);
  }
  return snapshot;
}

std::string SortedList::Text() const {
  std::string text;
  size_t size = 0;
  for (const Block& block : blocks_) size += block.text->size();
  text.reserve(size);
  for (const Block& block : blocks_) text += *block.text;
  return text;
}

Lines SortedList::ToLines() const {
  Lines lines;
  lines.reserve(count_);
  for (const Block& block : blocks_) {
    for (size_t i = 0; i < block.starts.size(); ++i) lines.emplace_back(LineAt(block, i));
  }
  return lines;
}

}  // namespace korvane
