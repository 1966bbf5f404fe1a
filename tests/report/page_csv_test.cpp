// The rows of report/pages.csv.
#include "report/page_csv.h"

#include <gtest/gtest.h>

#include "base/cp1251.h"

namespace korvane {
namespace {

TEST(PagesCsv, QuotesAnAddressWithACommaAndAQuoteAndReadsItBack) {
  PageRecord record;
  record.worker = 7;
  record.url = Utf8ToCp1251("http://h/a,b\"c/путь");
  record.start_ms = 1765272152123;
  record.fetch_ms = 12;
  record.total_ms = 30;
  record.bytes = 900;
  record.status = 404;
  record.reason = "";
  record.outcome = PageOutcome::kSavedEmpty;
  record.result_file = "parse/7.txt";
  const std::string row = CsvRow(record);
  EXPECT_EQ(row,
            "7,\"http://h/a,b\"\"c/путь\",2025-12-09T09:22:32.123Z,12,30,900,404,,0,0,"
            "saved empty,,,parse/7.txt,0\r\n");

  // After the header row, as the file holds it, and across a row break inside a quote.
  const std::string text = std::string(PagesCsvHeader()) + row + "1,\"a\r\nb\",x\r\n3,cut";
  size_t pos = 0;
  std::vector<std::string> fields;
  ASSERT_TRUE(NextCsvRecord(text, pos, fields));
  EXPECT_FALSE(RecordOfRow(fields));
  ASSERT_TRUE(NextCsvRecord(text, pos, fields));
  const auto back = RecordOfRow(fields);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->url, record.url);
  EXPECT_EQ(back->start_ms, record.start_ms);
  EXPECT_EQ(back->outcome, PageOutcome::kSavedEmpty);
  EXPECT_EQ(CsvRow(*back), row);
  ASSERT_TRUE(NextCsvRecord(text, pos, fields));
  EXPECT_EQ(fields, (std::vector<std::string>{"1", "a\r\nb", "x"}));
  EXPECT_FALSE(NextCsvRecord(text, pos, fields));  // a row without its line end
}

}  // namespace
}  // namespace korvane
