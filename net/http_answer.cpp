// The head of a received answer.
#include "net/http_answer.h"

#include <cctype>

#include "base/strings.h"

namespace korvane {
namespace {

// How far into the body a <meta> charset is looked for.
constexpr size_t kMetaReach = 4096;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// The charset name after "charset" in `lowered` from `from` on: "charset", blanks, "=",
// blanks, an optional quote, then letters, digits and "-_.:".
std::string CharsetAfter(std::string_view lowered, size_t from) {
  for (size_t at = lowered.find("charset", from); at != std::string_view::npos;
       at = lowered.find("charset", at + 1)) {
    size_t i = at + 7;
    while (i < lowered.size() && IsBlank(lowered[i])) ++i;
    if (i >= lowered.size() || lowered[i] != '=') continue;
    ++i;
    while (i < lowered.size() && IsBlank(lowered[i])) ++i;
    if (i < lowered.size() && (lowered[i] == '"' || lowered[i] == '\'')) ++i;
    const size_t start = i;
    while (i < lowered.size() &&
           (std::isalnum(static_cast<unsigned char>(lowered[i])) != 0 || lowered[i] == '-' ||
            lowered[i] == '_' || lowered[i] == '.' || lowered[i] == ':')) {
      ++i;
    }
    if (i > start) return std::string(lowered.substr(start, i - start));
  }
  return {};
}

}  // namespace

std::optional<int> AnswerStatus(std::string_view answer) {
  // "HTTP/", the version, one space, then three digits.
  if (!answer.starts_with("HTTP/")) return std::nullopt;
  const size_t space = answer.find(' ');
  if (space == std::string_view::npos || answer.size() < space + 4) return std::nullopt;
  int code = 0;
  for (size_t i = space + 1; i < space + 4; ++i) {
    if (answer[i] < '0' || answer[i] > '9') return std::nullopt;
    code = code * 10 + (answer[i] - '0');
  }
  return code;
}

size_t HeadEnd(std::string_view answer) {
  const size_t crlf = answer.find("\r\n\r\n");
  const size_t lf = answer.find("\n\n");
  if (crlf == std::string_view::npos && lf == std::string_view::npos) return std::string_view::npos;
  return crlf < lf ? crlf + 4 : lf + 2;
}

size_t BodyStart(std::string_view answer) {
  if (!answer.starts_with("HTTP/")) return 0;
  const size_t end = HeadEnd(answer);
  return end == std::string_view::npos ? answer.size() : end;
}

std::optional<std::string> AnswerHeader(std::string_view answer, std::string_view name) {
  const std::string_view head = answer.substr(0, BodyStart(answer));
  const std::string wanted = AsciiLowered(name);
  size_t line_start = head.find('\n');  // the status line carries no field
  while (line_start != std::string_view::npos && line_start + 1 < head.size()) {
    ++line_start;
    const size_t line_end = head.find('\n', line_start);
    const std::string_view line =
        head.substr(line_start, line_end == std::string_view::npos ? std::string_view::npos
                                                                   : line_end - line_start);
    const size_t colon = line.find(':');
    if (colon != std::string_view::npos && AsciiLowered(line.substr(0, colon)) == wanted) {
      return std::string(Trim(line.substr(colon + 1), " \t", " \t\r"));
    }
    line_start = line_end;
  }
  return std::nullopt;
}

std::optional<std::string> RedirectLocation(std::string_view answer) {
  const std::optional<int> status = AnswerStatus(answer);
  if (!status ||
      !(*status == 301 || *status == 302 || *status == 303 || *status == 307 || *status == 308)) {
    return std::nullopt;
  }
  std::optional<std::string> location = AnswerHeader(answer, "Location");
  if (!location || location->empty()) return std::nullopt;
  return location;
}

std::string DeclaredCharset(std::string_view answer) {
  if (const auto type = AnswerHeader(answer, "Content-Type")) {
    std::string charset = CharsetAfter(AsciiLowered(*type), 0);
    if (!charset.empty()) return charset;
  }
  const std::string body = AsciiLowered(answer.substr(BodyStart(answer), kMetaReach));
  for (size_t meta = body.find("<meta"); meta != std::string::npos;
       meta = body.find("<meta", meta + 1)) {
    const size_t end = body.find('>', meta);
    const std::string_view tag =
        std::string_view(body).substr(0, end == std::string::npos ? std::string::npos : end);
    std::string charset = CharsetAfter(tag, meta);
    if (!charset.empty()) return charset;
  }
  return {};
}

}  // namespace korvane
