// The sorted text list: ascending order ignoring letter case, duplicates dropped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/text_lines.h"

namespace korvane {

// Lines kept in ascending order under CompareNoCase1251. Adding a line equal to one present
// (letter case ignored) changes nothing, so the spelling that came first stays.
//
// The lines live in blocks of a few hundred, each with its saved text cached: an add or a
// removal costs a binary search plus a block-sized move, and a save of a list that changed in
// a few places re-joins only the blocks that changed. Not thread-safe; the owner serialises.
class SortedList {
 public:
  struct Less {
    bool operator()(std::string_view a, std::string_view b) const;
  };

  // Returns true when the line was new and has been added.
  bool Add(std::string_view line);
  void AddAll(const Lines& lines);
  [[nodiscard]] bool Contains(std::string_view line) const;
  [[nodiscard]] size_t Count() const { return count_; }
  [[nodiscard]] bool Empty() const { return count_ == 0; }
  // Line 0, the alphabetically first. The list must not be empty.
  [[nodiscard]] const std::string& First() const { return blocks_.front().lines.front(); }
  // Removes and returns line 0. The list must not be empty.
  std::string TakeFirst();
  void Clear();

  // Every line followed by CR LF, the last one included: what a save writes.
  [[nodiscard]] std::string Text() const;
  // The same text in consecutive pieces, valid until the list next changes.
  [[nodiscard]] std::vector<std::string_view> TextPieces() const;
  [[nodiscard]] Lines ToLines() const;

 private:
  struct Block {
    std::vector<std::string> lines;
    mutable std::string text;  // the lines joined, when !dirty
    mutable bool dirty = true;
  };
  static constexpr size_t kBlockLines = 256;

  // The block that holds `line` or would receive it.
  [[nodiscard]] size_t BlockFor(std::string_view line) const;

  std::vector<Block> blocks_;
  size_t count_ = 0;
};

}  // namespace korvane
