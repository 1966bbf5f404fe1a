// The sorted, case-insensitive, duplicate-free text list.
#include "base/sorted_list.h"

#include <algorithm>

#include "base/cp1251.h"

namespace korvane {

bool SortedList::Less::operator()(std::string_view a, std::string_view b) const {
  return CompareNoCase1251(a, b) < 0;
}

size_t SortedList::BlockFor(std::string_view line) const {
  // The first block whose last line is not below `line`; past the end, the last block.
  const auto it = std::partition_point(blocks_.begin(), blocks_.end(), [&](const Block& block) {
    return Less{}(block.lines.back(), line);
  });
  return it == blocks_.end() ? blocks_.size() - 1 : static_cast<size_t>(it - blocks_.begin());
}

bool SortedList::Add(std::string_view line) {
  if (blocks_.empty()) blocks_.emplace_back();
  const size_t b = count_ == 0 ? 0 : BlockFor(line);
  Block& block = blocks_[b];
  const auto at = std::lower_bound(block.lines.begin(), block.lines.end(), line, Less{});
  if (at != block.lines.end() && !Less{}(line, *at)) return false;
  block.lines.emplace(at, line);
  block.dirty = true;
  ++count_;
  if (block.lines.size() >= 2 * kBlockLines) {
    Block upper;
    const auto middle = block.lines.begin() + static_cast<std::ptrdiff_t>(kBlockLines);
    upper.lines.assign(std::make_move_iterator(middle), std::make_move_iterator(block.lines.end()));
    block.lines.erase(middle, block.lines.end());
    blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(b) + 1, std::move(upper));
  }
  return true;
}

void SortedList::AddAll(const Lines& lines) {
  for (const auto& line : lines) Add(line);
}

bool SortedList::Contains(std::string_view line) const {
  if (count_ == 0) return false;
  const auto& lines = blocks_[BlockFor(line)].lines;
  const auto at = std::lower_bound(lines.begin(), lines.end(), line, Less{});
  return at != lines.end() && !Less{}(line, *at);
}

std::string SortedList::TakeFirst() {
  Block& block = blocks_.front();
  std::string line = std::move(block.lines.front());
  block.lines.erase(block.lines.begin());
  block.dirty = true;
  if (block.lines.empty()) blocks_.erase(blocks_.begin());
  --count_;
  return line;
}

void SortedList::Clear() {
  blocks_.clear();
  count_ = 0;
}

std::vector<std::string_view> SortedList::TextPieces() const {
  std::vector<std::string_view> pieces;
  pieces.reserve(blocks_.size());
  for (const Block& block : blocks_) {
    if (block.dirty) {
      block.text = JoinLines(block.lines);
      block.dirty = false;
    }
    pieces.emplace_back(block.text);
  }
  return pieces;
}

std::string SortedList::Text() const {
  const auto pieces = TextPieces();
  size_t size = 0;
  for (auto piece : pieces) size += piece.size();
  std::string text;
  text.reserve(size);
  for (auto piece : pieces) text += piece;
  return text;
}

Lines SortedList::ToLines() const {
  Lines lines;
  lines.reserve(count_);
  for (const Block& block : blocks_)
    lines.insert(lines.end(), block.lines.begin(), block.lines.end());
  return lines;
}

}  // namespace korvane
