// The sorted, case-insensitive, duplicate-free text list.
#include "base/sorted_list.h"

#include "base/cp1251.h"

namespace korvane {

bool SortedList::Less::operator()(std::string_view a, std::string_view b) const {
  return CompareNoCase1251(a, b) < 0;
}

bool SortedList::Add(std::string_view line) {
  const auto at = set_.lower_bound(line);
  if (at != set_.end() && !Less{}(line, *at)) return false;
  set_.emplace_hint(at, line);
  text_bytes_ += line.size();
  return true;
}

void SortedList::AddAll(const Lines& lines) {
  for (const auto& line : lines) Add(line);
}

std::string SortedList::TakeFirst() {
  auto node = set_.extract(set_.begin());
  text_bytes_ -= node.value().size();
  return std::move(node.value());
}

std::string SortedList::Text() const {
  std::string text;
  text.reserve(text_bytes_ + 2 * set_.size());
  for (const auto& line : set_) {
    text += line;
    text += "\r\n";
  }
  return text;
}

}  // namespace korvane
