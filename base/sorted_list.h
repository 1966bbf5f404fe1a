// The sorted text list: ascending order ignoring letter case, duplicates dropped.
#pragma once

#include <set>
#include <string>
#include <string_view>

#include "base/text_lines.h"

namespace korvane {

// Lines kept in ascending order under CompareNoCase1251. Adding a line equal to one present
// (letter case ignored) changes nothing, so the spelling that came first stays. Add, lookup
// and removal of the first line are O(log n).
class SortedList {
 public:
  struct Less {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };
  using Set = std::set<std::string, Less>;

  // Returns true when the line was new and has been added.
  bool Add(std::string_view line);
  void AddAll(const Lines& lines);
  [[nodiscard]] bool Contains(std::string_view line) const { return set_.contains(line); }
  [[nodiscard]] size_t Count() const { return set_.size(); }
  [[nodiscard]] bool Empty() const { return set_.empty(); }
  // Line 0, the alphabetically first. The list must not be empty.
  [[nodiscard]] const std::string& First() const { return *set_.begin(); }
  // Removes and returns line 0. The list must not be empty.
  std::string TakeFirst();
  void Clear() { set_.clear(); }

  // Every line followed by CR LF, the last one included: what a save writes.
  [[nodiscard]] std::string Text() const;
  [[nodiscard]] Lines ToLines() const { return Lines(set_.begin(), set_.end()); }

  [[nodiscard]] Set::const_iterator begin() const { return set_.begin(); }
  [[nodiscard]] Set::const_iterator end() const { return set_.end(); }

 private:
  Set set_;
  size_t text_bytes_ = 0;  // sum of line lengths, to size Text() in one allocation
};

}  // namespace korvane
