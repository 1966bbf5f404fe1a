// Placeholder until the extractor lands: the plain text.
#include "text/main_text.h"

#include "text/plain_text.h"

namespace korvane {

std::string ExtractMainText(std::string_view page, PageBytes /*charset*/) {
  return ExtractPlainText(page);
}

}  // namespace korvane
