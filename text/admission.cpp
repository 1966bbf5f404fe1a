// Page admission: whether a fetched page's text goes into a result file.
#include "text/admission.h"

#include "base/strings.h"
#include "text/templates.h"

namespace korvane {

bool AdmitPage(std::string_view url, std::string_view page, const AdmissionOptions& options) {
  if (options.template_pages_only) {
    return options.template_lines == nullptr || PageMatchesTemplates(page, *options.template_lines);
  }
  if (options.ignore_whitelist) return true;
  if (options.whitelist == nullptr) return false;
  for (const std::string& fragment : *options.whitelist) {
    if (Contains(url, fragment)) return true;
  }
  return false;
}

bool PageMatchesTemplates(std::string_view page, const Lines& template_lines) {
  for (const std::string& line : template_lines) {
    const TemplateBlock block = TemplateBlock::Parse(line);
    if (!Contains(page, block.start) || !Contains(page, block.stop)) return false;
  }
  return true;
}

}  // namespace korvane
