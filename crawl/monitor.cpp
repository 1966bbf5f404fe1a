// Monitor grid model and registry lines.
#include "crawl/monitor.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "settings/texts.h"

namespace korvane {

MonitorGrid::MonitorGrid() {
  rows_.push_back({std::string(texts::kGridHeader[0]), std::string(texts::kGridHeader[1]),
                   std::string(texts::kGridHeader[2])});
  rows_.push_back({});
}

std::optional<size_t> MonitorGrid::Find(int32_t id) const {
  const std::string key = std::to_string(id);
  for (size_t r = 0; r < rows_.size(); ++r) {
    if (rows_[r][0] == key) return r;
  }
  return std::nullopt;
}

void MonitorGrid::ShowState(int32_t id, std::string_view state, double work_time) {
  ++version_;
  if (auto r = Find(id)) {
    rows_[*r][1] = state;
    rows_[*r][2] = FormatWorkTime(work_time);
    return;
  }
  rows_.back() = {std::to_string(id), std::string(state), "0"};
  rows_.push_back({});
}

void MonitorGrid::RemoveRow(int32_t id) {
  const auto r = Find(id);
  // The header row is never removed, nor the empty last row that keeps the grid's shape.
  if (!r || *r == 0 || *r + 1 == rows_.size()) return;
  ++version_;
  rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(*r));
}

std::string FormatWorkTime(double seconds) {
  if (seconds == 0) return "0";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15G", seconds);
  std::string text = buffer;
  // "1E-05" -> "1E-5", "1E+20" -> "1E20": no plus sign and no leading exponent zeros.
  const size_t e = text.find('E');
  if (e == std::string::npos) return text;
  std::string mantissa = text.substr(0, e);
  const char sign = text[e + 1];
  std::string digits = text.substr(e + 2);
  while (digits.size() > 1 && digits[0] == '0') digits.erase(0, 1);
  return mantissa + "E" + (sign == '-' ? "-" : "") + digits;
}

std::optional<size_t> FindRegistryEntry(const ThreadRegistry& registry, int32_t id) {
  for (size_t i = 0; i < registry.size(); ++i) {
    if (registry[i].id == id) return i;
  }
  return std::nullopt;
}

}  // namespace korvane
