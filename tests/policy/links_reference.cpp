// The step-by-step link scan: whole-page searches and one erased marker per pass.
#include "policy/links_reference.h"

#include <optional>

namespace korvane::reference {
namespace {

std::string LiteralExtractBetween(std::string_view start, std::string_view stop,
                                  std::string_view text) {
  if (start.empty() || stop.empty() || text.find(start) == std::string_view::npos ||
      text.find(stop) == std::string_view::npos) {
    return "Error";
  }
  std::string rest(text.substr(text.find(start) + start.size()));
  if (const size_t q = rest.find(stop); q != std::string::npos) rest.resize(q);
  return rest.empty() ? "Zero" : rest;
}

// Every occurrence of `from` (non-empty), left to right, without rescanning what was put in.
std::string ReplaceEvery(std::string text, std::string_view from, std::string_view to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
    text.replace(at, from.size(), to);
  }
  return text;
}

}  // namespace

std::vector<std::string> ExtractLinks(std::string page, const std::string& url,
                                      const std::string& host, const LinkOptions& options,
                                      bool* joined) {
  const std::string marker = "<a href=\"";
  if (options.apostrophes) {
    for (char& c : page) {
      if (c == '\'') c = '"';
    }
  }
  size_t markers = 0;
  for (size_t at = 0; (at = page.find(marker, at)) != std::string::npos; at += marker.size()) {
    ++markers;
  }
  size_t passes = 0;
  std::vector<std::string> links;
  while (page.find(marker) != std::string::npos) {
    ++passes;
    std::string l = LiteralExtractBetween(marker, "\"", page);
    std::erase_if(l, [](char c) { return c == '\t' || c == '\n' || c == '\r'; });
    std::optional<std::string> link;
    if (l.empty() || l.find('#') != std::string::npos) {
      // An anchor that leads nowhere, or to a place on a page.
    } else if (const size_t dot = l.find("./"); dot != std::string::npos) {
      link = options.site + l.erase(dot, 2);
    } else if (!host.empty() && l.find(host) != std::string::npos) {
      if (!options.exclude_subdomains || l.find("http://" + host + "/") != std::string::npos) {
        link = l;
      }
    } else if (l[0] == '/') {
      link = "http://" + host + l;
    } else if (l[0] == 'h') {
      // An absolute link to another site.
    } else if (!options.relative) {
      link = "http://" + host + "/" + l;
    } else {
      link = reference::UrlDirectory(url) + l;
    }
    if (link) {
      for (size_t at = 0; (at = link->find("&amp;", at)) != std::string::npos; ++at) {
        link->replace(at, 5, "&");
      }
      bool listed = false;
      for (const std::string& line : options.blacklist ? *options.blacklist : Lines{}) {
        if (!line.empty() && link->find(line) != std::string::npos) listed = true;
      }
      if (!listed) links.push_back(*link);
    }
    page.erase(page.find(marker), marker.size());
  }
  if (joined != nullptr) *joined = passes > markers;
  return links;
}

std::string UrlDirectory(std::string_view url) {
  std::string d(url);
  if (const size_t scheme = d.find("http://"); scheme != std::string::npos) {
    d.replace(scheme, 7, "c:\\");
  }
  d = ReplaceEvery(d, "/", "\\");
  size_t i = 0;  // counted from 1
  for (size_t k = 0; k < d.size(); ++k) {
    if (d[k] == '\\' || d[k] == ':') i = k + 1;
  }
  if (i > 1 && d[i - 1] == '\\' && d[i - 2] != '\\' && d[i - 2] != ':') --i;
  d.resize(i);
  d += '\\';
  d = ReplaceEvery(d, "\\", "/");
  return ReplaceEvery(d, "c:/", "http://");
}

}  // namespace korvane::reference
