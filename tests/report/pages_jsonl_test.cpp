// The records of pages.jsonl: their keys in order, null for what is unknown, and only the
// page's own keys outside a crawl.
#include "report/pages_jsonl.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

TEST(PagesJsonl, ARecordHoldsEveryKeyInOrderAndOutsideACrawlOnlyThePagesOwn) {
  PageMeta meta;
  meta.title = "Caf\xC3\xA9 \"quoted\"";
  meta.published = "2019-05-03";
  const PagePassport passport = MakePassport(meta, "one two\r\nthree\r\n");
  PageRecord record;
  record.url = "http://a.test/\xE6";  // code page 1251, as crawled
  record.status = 200;
  record.start_ms = 1556877600000;
  record.result_file = "parse/3.txt";
  record.found_on = "http://a.test/";
  EXPECT_EQ(PassportJson(record.url, passport, &record),
            R"({"url":"http://a.test/ж","final_url":"http://a.test/ж","canonical":null,)"
            R"("title":"Café \"quoted\"","description":null,"author":null,)"
            R"("published":"2019-05-03","modified":null,"language":null,"site_name":null,)"
            R"("status":200,"fetched_at":"2019-05-03T10:00:00Z","result_file":"parse/3.txt",)"
            R"("bytes":16,"words":3,)"
            R"("sha256":"c117cb32e82b95ca68d604bc2ff5ef53895017ddaf2e2111f6d592420c802475",)"
            R"("duplicate_of":null,"found_on":"http://a.test/"})");
  EXPECT_EQ(PassportJson("", passport, nullptr).substr(0, 30), R"({"url":null,"canonical":null,")");
}

}  // namespace
}  // namespace korvane
