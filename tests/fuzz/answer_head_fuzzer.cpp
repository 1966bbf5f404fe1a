// The answer-head readers and page recoding on any answer: the head survives recoding byte
// for byte, and what the readers return is well formed.
// Input: the whole answer, status line and header fields included.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "net/http_answer.h"
#include "net/recode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using korvane::fuzz::Check;
  const std::string_view answer(reinterpret_cast<const char*>(data), size);
  const size_t body = korvane::BodyStart(answer);
  Check(body <= answer.size(), "the body begins inside the answer");

  const std::string recoded = korvane::RecodePage(answer);
  Check(recoded.compare(0, body, answer.substr(0, body)) == 0, "recoding keeps the head");

  for (const char c : korvane::DeclaredCharset(answer)) {
    Check((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' ||
              c == ':',
          "a charset name is lower-case letters, digits and -_.:");
  }
  if (const auto location = korvane::RedirectLocation(answer)) {
    const auto status = korvane::AnswerStatus(answer);
    Check(status && *status >= 301 && *status <= 308, "only a 3xx answer redirects");
    Check(!location->empty() && location->find('\n') == std::string::npos &&
              location->front() != ' ' && location->back() != ' ' && location->back() != '\r',
          "a location is one trimmed line");
  }
  return 0;
}
