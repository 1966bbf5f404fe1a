// The records of pages.jsonl, written with nlohmann-json.
#include "report/pages_jsonl.h"

#include <openssl/evp.h>

#include <ctime>
#include <nlohmann/json.hpp>

#include "base/cp1251.h"
#include "base/lazy_libraries.h"
#include "net/recode.h"

namespace korvane {
namespace {

using Json = nlohmann::ordered_json;

Json OrNull(const std::string& text) {
  return text.empty() ? Json() : Json(text);
}

// An address as crawled: code page 1251, unless its bytes are UTF-8 already.
std::string AddressUtf8(std::string_view url) {
  return IsValidUtf8(url) ? std::string(url) : Cp1251ToUtf8(url);
}

std::string Sha256Hex(std::string_view bytes) {
  const DigestLibrary& digests = Digests();
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  digests.EVP_Digest(bytes.data(), bytes.size(), digest, &length, digests.EVP_sha256(), nullptr);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex;
}

int64_t CountWords(std::string_view text) {
  int64_t words = 0;
  bool in_word = false;
  for (const char c : text) {
    const bool blank = c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
    words += !blank && !in_word;
    in_word = !blank;
  }
  return words;
}

}  // namespace

PagePassport MakePassport(PageMeta meta, std::string_view saved) {
  return PagePassport{std::move(meta), static_cast<int64_t>(saved.size()), CountWords(saved),
                      Sha256Hex(saved)};
}

std::string IsoTime(int64_t ms) {
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm utc{};
  if (::gmtime_r(&seconds, &utc) == nullptr) return {};
  char text[32];
  const size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return std::string(text, n);
}

std::string PassportJson(std::string_view url, const PagePassport& passport,
                         const PageRecord* record) {
  const PageMeta& meta = passport.meta;
  Json line;
  line["url"] = OrNull(AddressUtf8(url));
  if (record != nullptr) line["final_url"] = OrNull(AddressUtf8(record->url));
  line["canonical"] = OrNull(meta.canonical);
  line["title"] = OrNull(meta.title);
  line["description"] = OrNull(meta.description);
  line["author"] = OrNull(meta.author);
  line["published"] = OrNull(meta.published);
  line["modified"] = OrNull(meta.modified);
  line["language"] = OrNull(meta.language);
  line["site_name"] = OrNull(meta.site_name);
  if (record != nullptr) {
    line["status"] = record->status;
    line["fetched_at"] = IsoTime(record->start_ms);
    line["result_file"] = OrNull(record->result_file);
  }
  line["bytes"] = passport.bytes;
  line["words"] = passport.words;
  line["sha256"] = passport.sha256;
  if (record != nullptr) {
    line["duplicate_of"] = record->duplicate_of < 0 ? Json() : Json(record->duplicate_of);
    line["found_on"] = OrNull(AddressUtf8(record->found_on));
  }
  // Texts are UTF-8 already; a byte that is not would make the line invalid, so it is replaced.
  return line.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace korvane
