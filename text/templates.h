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
// finished by `options`. The content is ExtractBetween(start, stop, page); with the all flag,
// CR LF and such a fragment for every start marker, each taken from the page with the start
// markers before it deleted (a missing start marker gives an empty content); with the clean
// flag, that content through CleanFragment. Finishing: without mark-up ">Error<" becomes "><"
// and the output goes through CleanFragment; without keep-br every "<br>" goes; with
// elementary cleaning the output goes through DropBlankLines. No template lines give "".
//   page "x<b>word</b>y", line "[blockname]t[/blockname][start]<b>[/start][stop]</b>[/stop]":
//     mark-up on            -> "<t>word</t>\r\n"
//     defaults              -> " word \r\n"
//   page "x", same line:  mark-up on -> "<t>Error</t>\r\n";  defaults -> ""
[[nodiscard]] std::string ApplyTemplates(std::string_view page, const Lines& template_lines,
                                         const TemplateOptions& options);

// In this order, each loop replacing every copy of the first span's text until no span is
// left: "<script" ... "</script>" becomes "<br>"; "<" ... ">" becomes "[BR]" when it holds
// "<br", "<BR" or "<Br", else a space; "&#" ... ";" becomes a space. Then every space run
// becomes one space and every "[BR]" becomes "<br>". A loop stops early at a span that has no
// end, or whose end follows its start at once ("<script</script>", "<>", "&#;"), and leaves
// the rest of the text to the later steps.
//   "a<script>x</script>b" -> "a<br>b";  "<p>one</p>  two" -> " one two";
//   "a<BR/>b&#169;c&nbsp;" -> "a<br>b c&nbsp;";  "a<bR>b" -> "a b";  "<p>a<>b<i>" -> " a<>b<i>"
[[nodiscard]] std::string CleanFragment(std::string_view text);

// The lines (split at CR, LF or CR LF, up to a NUL byte) that hold anything but spaces and
// TABs, unchanged and each followed by CR LF.
//   "  a \n\t\r\n\nb" -> "  a \r\nb\r\n";  " \r\n" -> ""
[[nodiscard]] std::string DropBlankLines(std::string_view text);

}  // namespace korvane
