// The extensions file: the values of the window's "Сеть" and "Текст" tabs between runs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

struct CrawlOptions;

// One remembered value: the option table row's window control and its value (0 or 1 for a
// check box, the number for a field).
struct ExtensionValue {
  std::string_view control;  // e.g. "NetCheckBox1", "NetSpinEdit1"
  int64_t value;
  bool operator==(const ExtensionValue&) const = default;
};

struct ExtensionsRead {
  std::vector<ExtensionValue> values;  // in the file's order; a later line for a row wins
  std::vector<std::string> rejected;   // the lines that were ignored, as written
};

// The file's text: one "name = value" line per extension row of the option table (check
// boxes, then number fields), the name being the row's korvane-cli flag without its leading
// dashes, the value "true"/"false" or a whole number; UTF-8 with LF line breaks:
//   https = true
//   delay = 250
[[nodiscard]] std::string ExtensionsText(const CrawlOptions& options);

// Reads such a text. Blanks around the name, the "=" and the value, a CR before the line
// break, a UTF-8 byte order mark and blank lines are allowed. A line naming no extension row,
// or with a value of the wrong kind (a number for a check box, "true" for a field, a number
// beyond 2147483647 or below 0), is rejected:
//   "robots=true\nmax-pages = 20" -> {NetCheckBox5: 1, NetSpinEdit2: 20}
//   "--robots = true", "robots = yes", "delay = -1", "colour = red" -> rejected
[[nodiscard]] ExtensionsRead ParseExtensions(std::string_view text);

// "settings/extensions.txt" in the working folder, as a full path.
[[nodiscard]] std::string ExtensionsFilePath();

// Reads the file; a missing file gives no values. Each rejected line is named once on
// stderr. A file that exists but cannot be read raises KorvaneError.
[[nodiscard]] std::vector<ExtensionValue> LoadExtensions(const std::string& path);

// Replaces the file atomically with ExtensionsText. While every extension is at its default
// (off, 0) and no file exists, writes none, so a folder that never used an extension gains no
// file. Raises KorvaneError ("Cannot create file") when it cannot be written.
void SaveExtensions(const std::string& path, const CrawlOptions& options);

}  // namespace korvane
