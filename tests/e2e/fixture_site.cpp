// Fixture web sites: hand-written tables and a generated large site.
#include "e2e/fixture_site.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

namespace korvane::testing {

namespace fs = std::filesystem;

namespace {

constexpr const char* kWords[] = {
    "river",   "stone",     "garden",  "window",  "letter",  "morning", "quiet",   "market",
    "bridge",  "lantern",   "harbour", "meadow",  "winter",  "orchard", "station", "teacher",
    "copper",  "thread",    "valley",  "pocket",  "candle",  "forest",  "silver",  "ladder",
    "kitchen", "railway",   "island",  "machine", "picture", "village", "shelter", "compass",
    "evening", "painter",   "journey", "basket",  "engine",  "library", "mirror",  "harvest",
    "slowly",  "carefully", "often",   "never",   "always",  "across",  "beneath", "beside"};
constexpr size_t kWordCount = sizeof(kWords) / sizeof(kWords[0]);

// One prose paragraph on a single line: 14 to 24 words, a capital first letter, a full stop.
std::string Paragraph(std::mt19937& random) {
  const size_t words = 14 + random() % 11;
  std::string text;
  for (size_t i = 0; i < words; ++i) {
    if (i > 0) text += ' ';
    text += kWords[random() % kWordCount];
  }
  text[0] = static_cast<char>(text[0] - 'a' + 'A');
  return text + ".";
}

// A link to page `target` in one of the three forms that lead to the same address.
std::string PageLink(int target, int form, const LargeSiteShape& shape) {
  const std::string path = LargeSitePagePath(target);
  switch (form % 3) {
    case 0:
      return shape.scheme + shape.host + "/" + path;
    case 1:
      return "/" + path;
    default:
      // Relative to the site root; no generated path begins with "h" or holds "./".
      return path.empty() ? "/" : path;
  }
}

// Named address `j` of page `index`: "/z/" and eight hex digits that differ for every pair
// (k * 2654435761 is a bijection modulo 2^32), in no sorted order.
std::string NamedPath(int index, int j, const LargeSiteShape& shape) {
  const auto k = static_cast<uint32_t>(index * shape.named + j);
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(k * 2654435761u));
  return "z/" + std::string(hex) + ".html";
}

std::string LargeSitePage(int index, const LargeSiteShape& shape) {
  std::mt19937 random(shape.seed + static_cast<uint32_t>(index));
  std::vector<std::string> lines;
  lines.push_back("<div class=\"menu\">");
  lines.push_back(Anchor("/", "Home"));
  lines.push_back(Anchor("/img/logo" + std::to_string(index % 10) + ".jpg", "Logo"));
  lines.push_back("</div>");
  lines.push_back("<h1>Page " + std::to_string(index) + "</h1>");
  for (int i = 0; i < shape.paragraphs; ++i) lines.push_back("<p>" + Paragraph(random) + "</p>");

  std::vector<int> targets;
  for (int child : {2 * index + 1, 2 * index + 2}) {
    if (child < shape.pages) targets.push_back(child);
  }
  for (int i = 0; i < 3 && shape.pages > 1; ++i) {
    targets.push_back(1 + static_cast<int>(random() % static_cast<uint32_t>(shape.pages - 1)));
  }
  lines.push_back("<ul class=\"related\">");
  for (size_t i = 0; i < targets.size(); ++i) {
    const int target = targets[i];
    lines.push_back("<li>" +
                    Anchor(PageLink(target, index + static_cast<int>(i), shape),
                           "Page " + std::to_string(target)) +
                    "</li>");
  }
  const int other = targets.empty() ? 0 : targets.back();
  lines.push_back("<li>" + Anchor("/" + LargeSitePagePath(other) + "#comments", "Comments") +
                  "</li>");
  lines.push_back("<li>" + Anchor("/img/photo" + std::to_string(index) + ".jpg", "Photo") +
                  "</li>");
  lines.push_back("</ul>");
  for (int j = 0; j < shape.named; ++j)
    lines.push_back(Anchor("/" + NamedPath(index, j, shape), "n"));
  return HtmlPage("Page " + std::to_string(index), lines);
}

}  // namespace

void WriteSite(const std::string& root, const SiteTable& site) {
  for (const auto& [path, body] : site) {
    const fs::path file = fs::path(root) / path;
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(body.data(), static_cast<std::streamsize>(body.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
  }
}

std::string HtmlPage(const std::string& title, const std::vector<std::string>& lines) {
  std::string page = "<html><head><title>" + title + "</title></head>\n<body>\n";
  for (const std::string& line : lines) page += line + "\n";
  return page + "</body></html>\n";
}

std::string Anchor(const std::string& target, const std::string& label) {
  return "<a href=\"" + target + "\">" + label + "</a>";
}

std::string NamedPage(const std::string& name, const std::vector<std::string>& links) {
  std::vector<std::string> lines = {"<p>This is the page called " + name + " with its words.</p>"};
  for (const std::string& link : links) lines.push_back(Anchor(link, "go"));
  return HtmlPage(name, lines);
}

std::string CrLf(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

std::string LargeSitePagePath(int index) {
  if (index == 0) return "";
  return "s" + std::to_string(index % 7) + "/p" + std::to_string(index / 7 % 5) + "/page" +
         std::to_string(index) + ".html";
}

SiteTable MakeLargeSite(const LargeSiteShape& shape) {
  SiteTable site;
  for (int i = 0; i < shape.pages; ++i) {
    const std::string path = i == 0 ? "index.html" : LargeSitePagePath(i);
    site[path] = LargeSitePage(i, shape);
  }
  return site;
}

std::vector<std::string> LargeSiteAddresses(const LargeSiteShape& shape) {
  std::vector<std::string> addresses;
  for (int i = 0; i < shape.pages; ++i) {
    addresses.push_back(shape.scheme + shape.host + "/" + LargeSitePagePath(i));
    for (int j = 0; j < shape.named; ++j) {
      addresses.push_back(shape.scheme + shape.host + "/" + NamedPath(i, j, shape));
    }
  }
  return addresses;
}

}  // namespace korvane::testing
