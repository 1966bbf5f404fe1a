// ApplyTemplates, TemplateBlock::Parse and page admission on any templates and page.
// Input: one option byte (bit 0 mark-up, bit 1 keep <br>, bit 2 drop blank lines), then the
// template lines (split at LF) \x1f the page.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "text/admission.h"
#include "text/templates.h"

namespace korvane::fuzz {
namespace {

// Blank-line dropping leaves only lines with something in them, each ended by CR LF.
void CheckNoBlankLines(std::string_view text) {
  std::string_view rest = text;
  while (!rest.empty()) {
    const size_t end = rest.find("\r\n");
    Check(end != std::string_view::npos, "every line ends with CR LF");
    const std::string_view line = rest.substr(0, end);
    Check(line.find_first_not_of(" \t") != std::string_view::npos, "no blank line is kept");
    Check(line.find_first_of("\r\n") == std::string_view::npos, "no break inside a line");
    rest.remove_prefix(end + 2);
  }
}

}  // namespace
}  // namespace korvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvane::fuzz;
  FuzzInput input(data, size);
  const uint8_t bits = input.TakeByte();
  korvane::TemplateOptions options;
  options.markup = bits & 1;
  options.keep_br = bits & 2;
  options.elementary_clean = bits & 4;
  const korvane::Lines lines = SplitAtLineFeeds(input.TakeField());
  const std::string_view page = input.Rest();

  for (const std::string& line : lines) {
    const korvane::TemplateBlock block = korvane::TemplateBlock::Parse(line);
    Check(!block.name.empty() && !block.start.empty() && !block.stop.empty(),
          "a field reads as text, \"Error\" or \"Zero\", never as nothing");
  }
  const std::string output = korvane::ApplyTemplates(page, lines, options);
  if (lines.empty()) Check(output.empty(), "no templates give no output");
  if (options.elementary_clean) CheckNoBlankLines(output);

  korvane::AdmissionOptions admission;
  admission.template_pages_only = bits & 8;
  admission.ignore_whitelist = bits & 16;
  admission.whitelist = &lines;
  admission.template_lines = &lines;
  const bool matches = korvane::PageMatchesTemplates(page, lines);
  const bool admitted = korvane::AdmitPage(page.substr(0, 64), page, admission);
  if (admission.template_pages_only) Check(admitted == matches, "template mode is the match");
  if (!admission.template_pages_only && admission.ignore_whitelist) {
    Check(admitted, "without a whitelist every page is admitted");
  }
  return 0;
}
