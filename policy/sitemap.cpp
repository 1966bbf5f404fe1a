// Sitemaps over libxml2's streaming reader and the inflater.
#include "policy/sitemap.h"

#include <deque>
#include <limits>
#include <set>
#include <utility>

#include "base/lazy_libraries.h"
#include "base/strings.h"
#include "net/http_answer.h"
#include "net/inflate.h"

namespace korvane {
namespace {

constexpr int kReaderOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
// The blanks trimmed around an address and around a robots.txt key and value.
constexpr std::string_view kBlanks = " \t\r\n";

std::string_view Name(xmlTextReaderPtr reader) {
  const xmlChar* name = Xml().xmlTextReaderConstLocalName(reader);
  return name == nullptr ? std::string_view() : reinterpret_cast<const char*>(name);
}

// Errors are neither printed nor kept.
void IgnoreError(void* /*context*/, xmlErrorPtr /*error*/) {}

bool Is2xx(std::string_view answer) {
  const std::optional<int> status = AnswerStatus(answer);
  return status && *status >= 200 && *status <= 299;
}

}  // namespace

SitemapFile ReadSitemapXml(std::string_view xml, size_t most) {
  const XmlLibrary& api = Xml();
  SitemapFile file;
  if (xml.size() > static_cast<size_t>(std::numeric_limits<int>::max())) return file;
  const std::unique_ptr<xmlTextReader, decltype(XmlLibrary::xmlFreeTextReader)> reader(
      api.xmlReaderForMemory(xml.data(), static_cast<int>(xml.size()), nullptr, nullptr,
                             kReaderOptions),
      api.xmlFreeTextReader);
  if (!reader) return file;
  api.xmlTextReaderSetStructuredErrorHandler(reader.get(), &IgnoreError, nullptr);

  std::string_view entry;  // "url" or "sitemap": the element a <loc> belongs to
  bool in_entry = false;
  std::optional<std::string> loc;  // the text of the <loc> being read
  while (api.xmlTextReaderRead(reader.get()) == 1) {
    const int type = api.xmlTextReaderNodeType(reader.get());
    const int depth = api.xmlTextReaderDepth(reader.get());
    if (type == XML_READER_TYPE_ELEMENT) {
      const std::string_view name = Name(reader.get());
      const bool empty = api.xmlTextReaderIsEmptyElement(reader.get()) == 1;
      if (depth == 0) {
        if (name == "urlset") {
          file.kind = SitemapFile::Kind::kUrls;
          entry = "url";
        } else if (name == "sitemapindex") {
          file.kind = SitemapFile::Kind::kIndex;
          entry = "sitemap";
        } else {
          return file;
        }
      } else if (depth == 1) {
        in_entry = name == entry && !empty;
      } else if (depth == 2 && in_entry && name == "loc") {
        loc.emplace();
        if (empty) loc.reset();
      }
    } else if (loc && depth == 3 &&
               (type == XML_READER_TYPE_TEXT || type == XML_READER_TYPE_CDATA ||
                type == XML_READER_TYPE_SIGNIFICANT_WHITESPACE ||
                type == XML_READER_TYPE_WHITESPACE)) {
      const xmlChar* value = api.xmlTextReaderConstValue(reader.get());
      if (value != nullptr) loc->append(reinterpret_cast<const char*>(value));
    } else if (type == XML_READER_TYPE_END_ELEMENT) {
      if (depth == 2 && loc) {
        const std::string_view text = Trim(*loc, kBlanks, kBlanks);
        if (!text.empty()) {
          if (file.locs.size() < most) {
            file.locs.emplace_back(text);
          } else {
            ++file.cut;
          }
        }
        loc.reset();
      } else if (depth == 1) {
        in_entry = false;
      }
    }
  }
  return file;
}

std::vector<std::string> RobotsSitemaps(std::string_view answer) {
  std::vector<std::string> found;
  if (!Is2xx(answer)) return found;
  std::string_view body = answer.substr(BodyStart(answer));
  while (!body.empty()) {
    const size_t end = body.find_first_of("\r\n");
    std::string_view line = body.substr(0, end);
    body.remove_prefix(end == std::string_view::npos ? body.size() : end + 1);
    line = line.substr(0, line.find('#'));
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view key = Trim(line.substr(0, colon), kBlanks, kBlanks);
    if (key.size() != 7) continue;
    bool is_sitemap = true;
    for (size_t i = 0; i < 7; ++i) {
      is_sitemap = is_sitemap && AsciiLower(key[i]) == "sitemap"[i];
    }
    const std::string_view value = Trim(line.substr(colon + 1), kBlanks, kBlanks);
    if (is_sitemap && !value.empty()) found.emplace_back(value);
  }
  return found;
}

std::optional<std::string> SitemapBody(std::string_view answer, bool& cut, size_t most) {
  cut = false;
  if (!Is2xx(answer)) return std::nullopt;
  const size_t start = BodyStart(answer);
  std::string body(answer.substr(start));
  bool declared = DeclaresCompression(answer.substr(0, start));
  for (int pass = 0; pass < 2 && (declared || LooksGzipped(body)); ++pass) {
    std::optional<std::string> inflated = InflateAll(body, most, cut);
    if (!inflated) return std::nullopt;
    body = std::move(*inflated);
    declared = false;
    if (cut) return body;
  }
  if (body.size() > most) {
    body.resize(most);
    cut = true;
  }
  return body;
}

SitemapCounts WalkSitemaps(const std::vector<std::string>& first, const SitemapFetch& fetch,
                           const std::function<void(const std::vector<std::string>&)>& on_locs) {
  SitemapCounts counts;
  std::deque<std::pair<std::string, int>> waiting;
  std::set<std::string> taken;
  const auto add = [&](const std::string& url, int depth) {
    if (taken.insert(url).second) waiting.emplace_back(url, depth);
  };
  for (const std::string& url : first) add(url, 0);
  size_t fetched = 0;
  while (!waiting.empty()) {
    auto [url, depth] = std::move(waiting.front());
    waiting.pop_front();
    if (fetched >= kSitemapMostFiles) {
      ++counts.cut_files;
      continue;
    }
    ++fetched;
    const std::optional<std::string> answer = fetch(url);
    if (!answer) break;
    bool cut = false;
    const std::optional<std::string> body = SitemapBody(*answer, cut);
    const SitemapFile file = body ? ReadSitemapXml(*body) : SitemapFile{};
    if (file.kind == SitemapFile::Kind::kNone) {
      ++counts.unreadable;
      continue;
    }
    ++counts.files;
    counts.cut_large += cut ? 1 : 0;
    counts.cut_addresses += file.cut;
    if (file.kind == SitemapFile::Kind::kUrls) {
      counts.addresses += file.locs.size();
      on_locs(file.locs);
    } else if (depth < kSitemapDepth) {
      for (const std::string& child : file.locs) add(child, depth + 1);
    } else {
      counts.cut_files += file.locs.size();
    }
  }
  return counts;
}

std::string SitemapSummary(const SitemapCounts& counts) {
  std::string line = "sitemaps: " + std::to_string(counts.files) + " files, " +
                     std::to_string(counts.addresses) + " addresses, " +
                     std::to_string(counts.unreadable) + " unreadable";
  if (counts.cut_addresses + counts.cut_large + counts.cut_files > 0) {
    line += "; cut: " + std::to_string(counts.cut_addresses) + " addresses over " +
            std::to_string(kSitemapMostAddresses) + " per file, " +
            std::to_string(counts.cut_large) + " files over 50 MB, " +
            std::to_string(counts.cut_files) + " files over " + std::to_string(kSitemapMostFiles) +
            " or too deep";
  }
  return line;
}

}  // namespace korvane
