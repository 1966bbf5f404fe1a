// Recoding page bodies with iconv, their character set declared or detected by uchardet.
#include "crawl/recode.h"

#include <iconv.h>
#include <uchardet.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <memory>
#include <optional>
#include <type_traits>

#include "base/cp1251.h"
#include "crawl/http_answer.h"

namespace korvane {
namespace {

// uchardet decides on far fewer bytes; a bound keeps a huge page cheap.
constexpr size_t kDetectReach = 64 * 1024;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Character sets whose bytes already are code page 1251 text.
bool IsCp1251(const std::string& charset) {
  return charset.empty() || charset == "windows-1251" || charset == "cp1251" ||
         charset == "x-cp1251" || charset == "win-1251" || charset == "ascii" ||
         charset == "us-ascii";
}

std::string DetectCharset(std::string_view body) {
  const std::unique_ptr<std::remove_pointer_t<uchardet_t>, decltype(&uchardet_delete)> detector(
      uchardet_new(), &uchardet_delete);
  if (!detector) return {};
  const std::string_view sample = body.substr(0, kDetectReach);
  if (uchardet_handle_data(detector.get(), sample.data(), sample.size()) != 0) return {};
  uchardet_data_end(detector.get());
  const char* name = uchardet_get_charset(detector.get());
  return name == nullptr ? std::string() : Lower(name);
}

// `text` from `charset` to UTF-8, every invalid or cut-off sequence as "?"; nothing when iconv
// does not know the character set.
std::optional<std::string> ToUtf8(std::string_view text, const std::string& charset) {
  const iconv_t converter = ::iconv_open("UTF-8", charset.c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out;
  out.reserve(text.size() * 2);
  char buffer[4096];
  char* in = const_cast<char*>(text.data());
  size_t in_left = text.size();
  while (in_left > 0) {
    char* to = buffer;
    size_t to_left = sizeof buffer;
    const size_t result = ::iconv(converter, &in, &in_left, &to, &to_left);
    out.append(buffer, static_cast<size_t>(to - buffer));
    if (result != static_cast<size_t>(-1) || errno == E2BIG) continue;
    // EILSEQ: a byte that starts no character here; EINVAL: the text ends inside one.
    out += '?';
    ++in;
    --in_left;
  }
  ::iconv_close(converter);
  return out;
}

}  // namespace

std::string PageCharset(std::string_view answer) {
  std::string charset = DeclaredCharset(answer);
  if (!charset.empty()) return charset;
  return DetectCharset(answer.substr(BodyStart(answer)));
}

std::string RecodeText(std::string_view body, const std::string& charset) {
  const std::string name = Lower(charset);
  if (IsCp1251(name)) return std::string(body);
  const std::optional<std::string> utf8 = ToUtf8(body, name);
  if (!utf8) return std::string(body);
  return Utf8ToCp1251(*utf8);
}

std::string RecodePage(std::string_view answer) {
  const size_t body = BodyStart(answer);
  return std::string(answer.substr(0, body)) + RecodeText(answer.substr(body), PageCharset(answer));
}

}  // namespace korvane
