// The rows of report/pages.csv: one page record per row, UTF-8, quoted as RFC 4180 says.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "report/page_record.h"

namespace korvane {

// The header row, CR LF included.
[[nodiscard]] std::string_view PagesCsvHeader();

// The row of `record`, CR LF included; the address, proxy and reason converted from code
// page 1251 to UTF-8, the start as UTC ("2026-12-09T09:22:32.123Z"), the status empty when
// there is none, duplicate_of empty when -1.
[[nodiscard]] std::string CsvRow(const PageRecord& record);

// `text` as one field: quoted, with its quotes doubled, when it holds a comma, a quote, CR or LF.
//   "a" -> a;  "a,b" -> "a,b";  "say \"hi\"" -> "say ""hi"""
[[nodiscard]] std::string CsvField(std::string_view text);

// Reads the record that begins at `pos` into `fields` and moves `pos` past its line end.
// False when `text` holds no whole record there (the end came first, in a quoted field or
// before the line end).
bool NextCsvRecord(std::string_view text, size_t& pos, std::vector<std::string>& fields);

// The record of a row CsvRow wrote; nothing for a row of another shape (the header).
[[nodiscard]] std::optional<PageRecord> RecordOfRow(const std::vector<std::string>& fields);

}  // namespace korvane
