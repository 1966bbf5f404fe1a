// Selective (template) parsing: named blocks cut out of a page between two markers.
#pragma once

#include <string>
#include <string_view>

#include "base/text_lines.h"

namespace korvane {

// One template line:
//   [blockname]name[/blockname][start]marker[/start][stop]marker[/stop] [-all] [-cleantext]
// Fields are found by ExtractBetween anywhere in the line, so a missing pair reads "Error" and
// an empty one "Zero"; the flags are found anywhere in the line, inside a marker too.
struct TemplateBlock {
  std::string name;
  std::string start;
  std::string stop;
  bool all = false;    // "[-all]": one fragment per occurrence of the start marker
  bool clean = false;  // "[-cleantext]": the content goes through CleanFragment

  [[nodiscard]] static TemplateBlock Parse(std::string_view line);
};

// How the assembled output is finished (the template window's three check boxes).
struct TemplateOptions {
  bool markup = false;           // keep block tags and "Error" contents
  bool keep_br = false;          // keep "<br>"
  bool elementary_clean = true;  // drop blank lines
};

// Every block of `template_lines`, in order, as "<name>" content "</name>" CR LF, then
// finished by `options`. No template lines give "".
[[nodiscard]] std::string ApplyTemplates(std::string_view page, const Lines& template_lines,
                                         const TemplateOptions& options);

// Scripts become "<br>", line-break tags stay as "<br>", other tags and numeric entities
// become one space, and space runs collapse to one space.
[[nodiscard]] std::string CleanFragment(std::string_view text);

// The lines that hold anything but spaces, TABs, CR and LF, each followed by CR LF.
[[nodiscard]] std::string DropBlankLines(std::string_view text);

}  // namespace korvane
