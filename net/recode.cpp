// Recoding page bodies with iconv, their character set declared or detected by uchardet.
#include "net/recode.h"

#include <iconv.h>
#include <uchardet.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
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
  const std::string_view body = answer.substr(BodyStart(answer));
  // A byte order mark outweighs any declaration, as in a browser.
  if (body.starts_with("\xEF\xBB\xBF")) return "utf-8";
  if (body.starts_with("\xFF\xFE")) return "utf-16le";
  if (body.starts_with("\xFE\xFF")) return "utf-16be";
  std::string charset = DeclaredCharset(answer);
  if (!charset.empty()) return charset;
  return DetectCharset(body);
}

bool IsValidUtf8(std::string_view text) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    if (i + 8 <= n) {
      uint64_t eight = 0;
      std::memcpy(&eight, s + i, 8);
      if ((eight & 0x8080808080808080) == 0) {
        i += 8;
        continue;
      }
    }
    const unsigned char c = s[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t length = 0;
    unsigned char low = 0x80;   // the bounds of the second byte, against overlong forms,
    unsigned char high = 0xBF;  // surrogates and code points past U+10FFFF
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      if (c == 0xE0) low = 0xA0;
      if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      if (c == 0xF0) low = 0x90;
      if (c == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (i + length > n || s[i + 1] < low || s[i + 1] > high) return false;
    for (size_t k = 2; k < length; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

std::string BodyToUtf8(std::string_view body, const std::string& charset) {
  std::string name = AsciiLowered(charset);
  const bool unknown = name.empty();
  if (unknown || name == "utf-8" || name == "utf8") {
    if (IsValidUtf8(body)) {
      return std::string(body.starts_with("\xEF\xBB\xBF") ? body.substr(3) : body);
    }
    if (unknown) name = "windows-1252";
  }
  // Read as browsers read them: these names stand for code page 1252.
  if (name == "ascii" || name == "us-ascii" || name == "iso-8859-1" || name == "latin1") {
    name = "windows-1252";
  }
  std::string out;
  out.reserve(body.size() + body.size() / 4);
  if (!ToUtf8(body, name, [&](std::string_view piece, size_t) { out += piece; })) {
    return BodyToUtf8(body, "");
  }
  if (std::string_view(out).starts_with("\xEF\xBB\xBF")) out.erase(0, 3);
  return out;
}

void ConvertPageToUtf8InPlace(std::string& answer) {
  const size_t body = BodyStart(answer);
  const std::string utf8 = BodyToUtf8(std::string_view(answer).substr(body), PageCharset(answer));
  answer.resize(body);
  answer += utf8;
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
