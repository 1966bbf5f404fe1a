// Recoding page bodies with iconv, their character set declared or detected by uchardet.
#include "net/recode.h"

#include <iconv.h>
#include <uchardet.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>
#include <type_traits>

#include "base/cp1251.h"
#include "base/strings.h"
#include "net/http_answer.h"

namespace korvane {
namespace {

// uchardet decides on far fewer bytes; a bound keeps a huge page cheap.
constexpr size_t kDetectReach = 64 * 1024;

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
  return name == nullptr ? std::string() : AsciiLowered(name);
}

// `text` from `charset` to UTF-8, every invalid or cut-off sequence as "?": calls
// `emit(piece, read)` for each piece of whole characters, `read` being how many bytes of
// `text` are consumed once it is written. False when iconv does not know the character set.
template <class Emit>
bool ToUtf8(std::string_view text, const std::string& charset, Emit emit) {
  const iconv_t converter = ::iconv_open("UTF-8", charset.c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  char buffer[4096];
  char* in = const_cast<char*>(text.data());
  size_t in_left = text.size();
  while (in_left > 0) {
    char* to = buffer;
    size_t to_left = sizeof buffer;
    const size_t result = ::iconv(converter, &in, &in_left, &to, &to_left);
    emit(std::string_view(buffer, static_cast<size_t>(to - buffer)), text.size() - in_left);
    if (result != static_cast<size_t>(-1) || errno == E2BIG) continue;
    // EILSEQ: a byte that starts no character here; EINVAL: the text ends inside one.
    ++in;
    --in_left;
    emit(std::string_view("?"), text.size() - in_left);
  }
  ::iconv_close(converter);
  return true;
}

// The code page 1251 text of `body` from `charset`, written piece by piece to `sink(bytes,
// read)`; false when `body` stays as it is.
template <class Sink>
bool Recode(std::string_view body, const std::string& charset, Sink sink) {
  const std::string name = AsciiLowered(charset);
  if (IsCp1251(name)) return false;
  // The pieces end at whole characters, so converting them one by one is converting the
  // whole text.
  return ToUtf8(body, name, [&](std::string_view utf8, size_t read) {
    if (!utf8.empty()) sink(Utf8ToCp1251(utf8), read);
  });
}

}  // namespace

std::string PageCharset(std::string_view answer) {
  std::string charset = DeclaredCharset(answer);
  if (!charset.empty()) return charset;
  return DetectCharset(answer.substr(BodyStart(answer)));
}

std::string RecodeText(std::string_view body, const std::string& charset) {
  std::string out;
  if (!Recode(body, charset, [&](const std::string& bytes, size_t) { out += bytes; })) {
    return std::string(body);
  }
  return out;
}

std::string RecodePage(std::string_view answer) {
  std::string page(answer);
  RecodePageInPlace(page);
  return page;
}

void RecodePageInPlace(std::string& answer) {
  const size_t body = BodyStart(answer);
  // A character becomes one byte, and a byte that is none becomes one "?", so the recoded
  // text stays behind the bytes read; should a character set make more, the rest goes to a
  // buffer of its own.
  size_t written = body;
  bool spilled = false;
  std::string spill;
  const bool recoded = Recode(std::string_view(answer).substr(body), PageCharset(answer),
                              [&](const std::string& bytes, size_t read) {
                                if (!spilled && written + bytes.size() > body + read) {
                                  spill.assign(answer, 0, written);
                                  spilled = true;
                                }
                                if (spilled) {
                                  spill += bytes;
                                  return;
                                }
                                std::memcpy(answer.data() + written, bytes.data(), bytes.size());
                                written += bytes.size();
                              });
  if (!recoded) return;
  if (!spilled) {
    answer.resize(written);
  } else {
    answer.swap(spill);
  }
}

}  // namespace korvane
