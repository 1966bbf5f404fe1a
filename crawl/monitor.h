// The thread monitor: the grid model of running workers and the watchdog's registry behind it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// Seconds in the shortest general decimal form with at most 15 significant digits and "." as
// the separator: 2.5 -> "2.5", 3 -> "3", 0 -> "0", 0.00001 -> "1E-5".
[[nodiscard]] std::string FormatWorkTime(double seconds);

// A running worker as the watchdog sees it: its number, its thread id and the tick
// (TickCount) of its last sign of life.
struct RegistryEntry {
  int32_t id = 0;
  int32_t handle = 0;
  uint32_t tick = 0;
};
using ThreadRegistry = std::vector<RegistryEntry>;

// Index of the first entry of worker `id`.
[[nodiscard]] std::optional<size_t> FindRegistryEntry(const ThreadRegistry& registry, int32_t id);

}  // namespace korvane
