// The report files across runs.
#include "report/run_report.h"

#include "report/page_csv.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace korvane {
namespace {

PageRecord Failed(const std::string& url) {
  PageRecord record;
  record.url = url;
  record.start_ms = 1765272152000;
  record.reason = "connection refused";
  return record;
}

TEST(RunReport, AContinuedRunAddsUpEveryEarlierRowAndDropsOneCutShort) {
  testing::TempDir dir(true);
  {
    RunReport first(false, "/no/chart.js");
    first.Add(Failed("http://h/a"));
    first.Add(Failed("http://h/b"));
    first.WriteIndex();
  }
  EXPECT_NE(dir.Read("report/index.html").find("need Chart.js"), std::string::npos);
  dir.Write("report/pages.csv", dir.Read("report/pages.csv") + "0,\"http://h/cut");

  RunReport continued(true, "/no/chart.js");
  EXPECT_EQ(continued.Stats().Pages(), 2);
  EXPECT_EQ(continued.Stats().Reasons().at("connection refused"), 2);
  continued.Add(Failed("http://h/c"));
  const std::string csv = dir.Read("report/pages.csv");
  EXPECT_EQ(csv.find("cut"), std::string::npos);
  EXPECT_TRUE(
      csv.ends_with("http://h/c,2025-12-09T09:22:32.000Z,0,0,0,,,0,0,failed,"
                    "connection refused,,,\r\n"));

  RunReport fresh(false, "/no/chart.js");  // a new run starts the file again
  EXPECT_EQ(fresh.Stats().Pages(), 0);
  EXPECT_EQ(dir.Read("report/pages.csv"), std::string(PagesCsvHeader()));
}

}  // namespace
}  // namespace korvane
