// Sitemaps: the Sitemap lines of robots.txt, the reading of sitemap and sitemap index files,
// and the walk from the first files down the indexes, within the bounds of the sitemaps
// protocol.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

inline constexpr size_t kSitemapMostAddresses = 50'000;        // per file
inline constexpr size_t kSitemapMostBytes = size_t{50} << 20;  // per file, inflated
inline constexpr size_t kSitemapMostFiles = 500;               // per run
inline constexpr int kSitemapDepth = 2;                        // indexes below the first files

// What one run read from the sitemaps and what the bounds cut.
struct SitemapCounts {
  size_t files = 0;          // files read as sitemaps or indexes
  size_t addresses = 0;      // <loc> addresses taken from them
  size_t unreadable = 0;     // missing, failed, corrupt or not a sitemap
  size_t cut_addresses = 0;  // addresses past 50,000 in a file
  size_t cut_large = 0;      // files cut at 50 MB
  size_t cut_files = 0;      // files not read: past 500, or indexes deeper than allowed
};

// One sitemap file as read.
struct SitemapFile {
  enum class Kind { kUrls, kIndex, kNone };
  Kind kind = Kind::kNone;        // <urlset>, <sitemapindex>, anything else
  std::vector<std::string> locs;  // the <loc> texts without surrounding blanks, in order
  size_t cut = 0;                 // <loc>s past `most`
};

// Reads the XML `xml` with libxml2: never from the network, no outside entity or DTD loaded,
// no entity expanded, nothing printed. Takes the <loc> of each <url> of a <urlset> or of each
// <sitemap> of a <sitemapindex> (any namespace), at most `most` of them. A document broken
// part way keeps the <loc>s before the break.
[[nodiscard]] SitemapFile ReadSitemapXml(std::string_view xml, size_t most = kSitemapMostAddresses);

// The values of the "Sitemap:" lines (key case ignored) of a robots.txt answer with a 2xx
// status, in order; none for any other answer.
[[nodiscard]] std::vector<std::string> RobotsSitemaps(std::string_view answer);

// The body of a fetched sitemap answer (head and body as received): nothing unless the status
// is 2xx; inflated when it is gzip (by its first bytes) or the head declares gzip or deflate,
// also twice (a .gz file sent gzip-encoded); at most `most` bytes, `cut` set when there were
// more. Nothing when a compressed body is corrupt.
[[nodiscard]] std::optional<std::string> SitemapBody(std::string_view answer, bool& cut,
                                                     size_t most = kSitemapMostBytes);

// The walk: reads the files `first` (depth 0), then the files their indexes name, down to
// kSitemapDepth, each address once, kSitemapMostFiles in all. `fetch` returns the answer of a
// sitemap address, or nothing to end the walk (STOP); `on_locs` receives the addresses of
// each <urlset> file. Returns the counts.
using SitemapFetch = std::function<std::optional<std::string>(const std::string& url)>;
SitemapCounts WalkSitemaps(const std::vector<std::string>& first, const SitemapFetch& fetch,
                           const std::function<void(const std::vector<std::string>&)>& on_locs);

// "sitemaps: F files, A addresses, U unreadable" and, when the bounds cut anything, "; cut:
// N addresses over 50000 per file, N files over 50 MB, N files over 500 or too deep".
[[nodiscard]] std::string SitemapSummary(const SitemapCounts& counts);

}  // namespace korvane
