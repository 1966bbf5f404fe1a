// The thread monitor: the grid model of running workers and the registry lines behind it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/text_lines.h"

namespace korvane {

// The monitor grid as rows of three cells: id, state, work time. Row 0 is the header, the
// last row is always empty, and the rows between are workers in the order they first showed
// a state. Main thread only; the front end renders it.
class MonitorGrid {
 public:
  using Row = std::array<std::string, 3>;

  // The header row and one empty row.
  MonitorGrid();

  [[nodiscard]] const std::vector<Row>& Rows() const { return rows_; }
  [[nodiscard]] int RowCount() const { return static_cast<int>(rows_.size()); }
  // Raised by every change, so a front end can tell when to repaint.
  [[nodiscard]] uint64_t Version() const { return version_; }

  // The first row whose id cell reads `id` (header and empty row included) gets `state` and
  // FormatWorkTime(work_time); without one, the empty last row takes id, state and "0" and a
  // new empty row is added.
  void ShowState(int32_t id, std::string_view state, double work_time);

  // Removes the first row whose id cell reads `id`; the rows below move up. No such row: no
  // change.
  void RemoveRow(int32_t id);

 private:
  [[nodiscard]] std::optional<size_t> Find(int32_t id) const;

  std::vector<Row> rows_;
  uint64_t version_ = 0;
};

// The monitor switch: the window's new outer height for its current one. 275 shows only the
// tabs, the counters and the monitor row; 630 shows the grid too. 275 -> 630, else -> 275.
[[nodiscard]] int MonitorSwitchHeight(int outer_height);

// Seconds in the shortest general decimal form with at most 15 significant digits and "." as
// the separator: 2.5 -> "2.5", 3 -> "3", 0 -> "0", 0.00001 -> "1E-5".
[[nodiscard]] std::string FormatWorkTime(double seconds);

// The registry line of a worker: "[id=7][handle=404][tic=1000]".
[[nodiscard]] std::string RegistryLine(int32_t id, int32_t handle, uint32_t tick);
// The key that finds a worker's line anywhere in it: "[id=7]" (so worker 1 never finds 12).
[[nodiscard]] std::string RegistryKey(int32_t id);
// Index of the first line holding `id`'s key.
[[nodiscard]] std::optional<size_t> FindRegistryLine(const Lines& registry, int32_t id);

}  // namespace korvane
