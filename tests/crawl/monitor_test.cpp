// The monitor grid model, the watchdog's registry and work-time text.
#include <gtest/gtest.h>

#include "crawl/monitor.h"

namespace korvane {
namespace {

std::vector<std::string> Column(const MonitorGrid& grid, size_t c) {
  std::vector<std::string> cells;
  for (const auto& row : grid.Rows()) cells.push_back(row[c]);
  return cells;
}

TEST(MonitorGrid, StartsWithHeaderAndOneEmptyRow) {
  MonitorGrid grid;
  ASSERT_EQ(grid.RowCount(), 2);
  EXPECT_EQ(grid.Rows()[0], (MonitorGrid::Row{"id", "state", "worktime"}));
  EXPECT_EQ(grid.Rows()[1], MonitorGrid::Row{});
}

TEST(MonitorGrid, NewWorkerTakesTheEmptyLastRowAndLaterStatesUpdateIt) {
  MonitorGrid grid;
  grid.ShowState(3, "[get] http://h/", 0);
  grid.ShowState(5, "[get] http://h/a", 0);
  grid.ShowState(3, "[parse] links http://h/", 2.5);
  EXPECT_EQ(Column(grid, 0), (std::vector<std::string>{"id", "3", "5", ""}));
  EXPECT_EQ(grid.Rows()[1], (MonitorGrid::Row{"3", "[parse] links http://h/", "2.5"}));
  EXPECT_EQ(grid.Rows()[2], (MonitorGrid::Row{"5", "[get] http://h/a", "0"}));
}

TEST(MonitorGrid, RemovingTheMiddleWorkerMovesTheRowsBelowUp) {
  MonitorGrid grid;
  for (int id : {1, 2, 3}) grid.ShowState(id, "s" + std::to_string(id), 0);
  ASSERT_EQ(grid.RowCount(), 5);
  grid.RemoveRow(2);
  EXPECT_EQ(grid.RowCount(), 4);
  EXPECT_EQ(Column(grid, 0), (std::vector<std::string>{"id", "1", "3", ""}));
  EXPECT_EQ(grid.Rows().back(), MonitorGrid::Row{});
  grid.RemoveRow(42);  // no such row: nothing changes
  EXPECT_EQ(grid.RowCount(), 4);
}

TEST(WorkTimeText, ShortestGeneralDecimal) {
  EXPECT_EQ(FormatWorkTime(0), "0");
  EXPECT_EQ(FormatWorkTime(3), "3");
  EXPECT_EQ(FormatWorkTime(2.5), "2.5");
  EXPECT_EQ(FormatWorkTime(1.5), "1.5");
  EXPECT_EQ(FormatWorkTime(0.001), "0.001");
  EXPECT_EQ(FormatWorkTime(4294967.295), "4294967.295");
  EXPECT_EQ(FormatWorkTime(0.00001), "1E-5");
  EXPECT_EQ(FormatWorkTime(1e20), "1E20");
}

TEST(Registry, EntriesNeverConfuseWorker1With12) {
  const ThreadRegistry registry = {{12, 1, 5}, {1, 2, 6}};
  EXPECT_EQ(FindRegistryEntry(registry, 1), 1u);
  EXPECT_EQ(FindRegistryEntry(registry, 12), 0u);
  EXPECT_EQ(FindRegistryEntry(registry, 2), std::nullopt);
}

}  // namespace
}  // namespace korvane
