// Reading and writing the extensions file over the option table.
#include "settings/extensions_file.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "base/files.h"
#include "base/strings.h"
#include "settings/option_table.h"
#include "settings/texts.h"

namespace korvane {

namespace {

// Calls `visit(name, control, is_number, value)` for every extension row, check boxes first.
template <class Visit>
void ForEachExtension(const CrawlOptions& options, const Visit& visit) {
  for (const CheckOption& row : kCheckOptions) {
    if (row.tab != ExtensionTab::kNone) {
      visit(row.flag.substr(2), row.control, false, int64_t{(options.*row.member).load()});
    }
  }
  for (const NumberOption& row : kNumberOptions) {
    visit(row.flag.substr(2), row.control, true, (options.*row.member).load());
  }
}

// The value of one line for the row named `name`, or nothing when the line is rejected.
std::optional<ExtensionValue> ParseLine(std::string_view name, std::string_view value) {
  static const CrawlOptions rows;  // only the table's rows are visited, not their values
  std::optional<ExtensionValue> found;
  ForEachExtension(
      rows, [&](std::string_view row, std::string_view control, bool is_number, int64_t) {
        if (row != name) return;
        if (!is_number) {
          if (value == "true" || value == "false") found = ExtensionValue{control, value == "true"};
          return;
        }
        const auto number =
            value.empty() || value[0] == '+' || value[0] == '-' ? std::nullopt : ParseInt32(value);
        if (number) found = ExtensionValue{control, *number};
      });
  return found;
}

}  // namespace

std::string ExtensionsText(const CrawlOptions& options) {
  std::string text;
  ForEachExtension(options,
                   [&](std::string_view name, std::string_view, bool is_number, int64_t value) {
                     text += name;
                     text += " = ";
                     text += is_number ? std::to_string(value) : (value != 0 ? "true" : "false");
                     text += '\n';
                   });
  return text;
}

ExtensionsRead ParseExtensions(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  ExtensionsRead read;
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (Trim(line).empty()) continue;
    const size_t equals = line.find('=');
    const auto value = equals == std::string_view::npos
                           ? std::nullopt
                           : ParseLine(Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)));
    if (value) {
      read.values.push_back(*value);
    } else {
      read.rejected.emplace_back(line);
    }
  }
  return read;
}

std::string ExtensionsFilePath() {
  return WorkingPath(texts::kExtensionsFile);
}

std::vector<ExtensionValue> LoadExtensions(const std::string& path) {
  if (!FileExists(path)) return {};
  ExtensionsRead read = ParseExtensions(LoadFile(path));
  for (const std::string& line : read.rejected) {
    std::fprintf(stderr, "korvane: %s: ignored the line \"%s\"\n", path.c_str(), line.c_str());
  }
  return std::move(read.values);
}

void SaveExtensions(const std::string& path, const CrawlOptions& options) {
  const std::string text = ExtensionsText(options);
  if (!FileExists(path) && text == ExtensionsText(CrawlOptions{})) return;
  SaveFileAtomic(path, text);
}

}  // namespace korvane
