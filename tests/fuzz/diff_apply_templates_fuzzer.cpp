// ApplyTemplates, TemplateBlock::Parse and page admission against their step-by-step readings.
// Input: one option byte (bit 0 mark-up, bit 1 keep <br>, bit 2 drop blank lines, bit 3
// template pages only, bit 4 ignore the whitelist), then the template lines (split at LF,
// also used as the whitelist) \x1f the page (its first 64 bytes also stand for its URL).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "text/admission.h"
#include "text/reference.h"
#include "text/templates.h"

namespace korvane::fuzz {
namespace {

std::string Describe(const TemplateBlock& block) {
  return block.name + '|' + block.start + '|' + block.stop + '|' + (block.all ? "all" : "") + '|' +
         (block.clean ? "clean" : "");
}

std::string_view YesNo(bool yes) {
  return yes ? "yes" : "no";
}

}  // namespace
}  // namespace korvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvane::fuzz;
  namespace reference = korvane::reference;
  FuzzInput input(data, size);
  const uint8_t bits = input.TakeByte();
  korvane::TemplateOptions options;
  options.markup = bits & 1;
  options.keep_br = bits & 2;
  options.elementary_clean = bits & 4;
  const korvane::Lines lines = SplitAtLineFeeds(input.TakeField());
  const std::string_view page = input.Rest();

  for (const std::string& line : lines) {
    CheckSame("TemplateBlock::Parse", Describe(reference::ParseTemplateBlock(line)),
              Describe(korvane::TemplateBlock::Parse(line)));
  }
  CheckSame("ApplyTemplates", reference::ApplyTemplates(page, lines, options),
            korvane::ApplyTemplates(page, lines, options));

  CheckSame("PageMatchesTemplates", YesNo(reference::PageMatchesTemplates(page, lines)),
            YesNo(korvane::PageMatchesTemplates(page, lines)));
  korvane::AdmissionOptions admission;
  admission.template_pages_only = bits & 8;
  admission.ignore_whitelist = bits & 16;
  admission.whitelist = &lines;
  admission.template_lines = &lines;
  const std::string_view url = page.substr(0, 64);
  CheckSame("AdmitPage", YesNo(reference::AdmitPage(url, page, admission)),
            YesNo(korvane::AdmitPage(url, page, admission)));
  return 0;
}
