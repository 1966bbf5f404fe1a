// Step-by-step versions of the text functions, written as the loops read, for comparison with
// the fast code. Slow on purpose: every loop searches the whole text again after each change.
#pragma once

#include <string>
#include <string_view>

#include "base/text_lines.h"
#include "text/admission.h"
#include "text/templates.h"

namespace korvane::reference {

[[nodiscard]] std::string ExtractBetween(std::string_view start, std::string_view stop,
                                         std::string_view text);
[[nodiscard]] std::string ExtractPlainText(std::string_view page);
[[nodiscard]] TemplateBlock ParseTemplateBlock(std::string_view line);
[[nodiscard]] std::string ApplyTemplates(std::string_view page, const Lines& template_lines,
                                         const TemplateOptions& options);
[[nodiscard]] std::string CleanFragment(std::string_view text);
[[nodiscard]] std::string DropBlankLines(std::string_view text);
[[nodiscard]] bool AdmitPage(std::string_view url, std::string_view page,
                             const AdmissionOptions& options);
[[nodiscard]] bool PageMatchesTemplates(std::string_view page, const Lines& template_lines);

}  // namespace korvane::reference
