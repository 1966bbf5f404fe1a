// The head of a received answer.
#include "net/http_answer.h"

#include <algorithm>
#include <cctype>

namespace korvane {
namespace {

// How far into the body a <meta> charset is looked for.
constexpr size_t kMetaReach = 4096;

char Lower(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), Lower);
  return out;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r')) text.remove_suffix(1);
  return text;
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
  // "HTTP/" digit "." digit " " then three digits.
  if (answer.size() < 12 || !answer.starts_with("HTTP/") || answer[8] != ' ') return std::nullopt;
  int code = 0;
  for (size_t i = 9; i < 12; ++i) {
    if (std::isdigit(static_cast<unsigned char>(answer[i])) == 0) return std::nullopt;
    code = code * 10 + (answer[i] - '0');
  }
  return code;
}

size_t BodyStart(std::string_view answer) {
  if (!answer.starts_with("HTTP/")) return 0;
  const size_t crlf = answer.find("\r\n\r\n");
  const size_t lf = answer.find("\n\n");
  if (crlf == std::string_view::npos && lf == std::string_view::npos) return answer.size();
  if (crlf != std::string_view::npos && (lf == std::string_view::npos || crlf < lf)) {
    return crlf + 4;
  }
  return lf + 2;
}

std::optional<std::string> AnswerHeader(std::string_view answer, std::string_view name) {
  const std::string_view head = answer.substr(0, BodyStart(answer));
  const std::string wanted = LowerAscii(name);
  size_t line_start = head.find('\n');  // the status line carries no field
  while (line_start != std::string_view::npos && line_start + 1 < head.size()) {
    ++line_start;
    const size_t line_end = head.find('\n', line_start);
    const std::string_view line =
        head.substr(line_start, line_end == std::string_view::npos ? std::string_view::npos
                                                                   : line_end - line_start);
    const size_t colon = line.find(':');
    if (colon != std::string_view::npos && LowerAscii(line.substr(0, colon)) == wanted) {
      return std::string(Trim(line.substr(colon + 1)));
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
    std::string charset = CharsetAfter(LowerAscii(*type), 0);
    if (!charset.empty()) return charset;
  }
  const std::string body = LowerAscii(answer.substr(BodyStart(answer), kMetaReach));
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
