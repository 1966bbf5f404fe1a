// korvane-fixture-site: writes the generated large site into a folder, for the crawl benchmark.
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>
#include <string_view>

#include "e2e/fixture_site.h"

namespace {

int Usage() {
  std::cerr
      << "usage: korvane-fixture-site FOLDER [--pages N] [--host HOST] [--https] [--paragraphs P]\n"
         "writes N pages (default 2000) whose absolute links name HOST (default "
         "127.0.0.3), with https:// instead of http:// when asked\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  korvane::testing::LargeSiteShape shape;
  std::string folder;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--pages" && i + 1 < argc) {
      shape.pages = std::atoi(argv[++i]);
    } else if (arg == "--host" && i + 1 < argc) {
      shape.host = argv[++i];
    } else if (arg == "--paragraphs" && i + 1 < argc) {
      shape.paragraphs = std::atoi(argv[++i]);
    } else if (arg == "--https") {
      shape.scheme = "https://";
    } else if (folder.empty() && !arg.starts_with("-")) {
      folder = arg;
    } else {
      return Usage();
    }
  }
  if (folder.empty() || shape.pages < 1) return Usage();
  try {
    korvane::testing::WriteSite(folder, korvane::testing::MakeLargeSite(shape));
  } catch (const std::exception& error) {
    std::cerr << "korvane-fixture-site: " << error.what() << "\n";
    return 1;
  }
  std::cout << shape.pages << " pages in " << folder << "\n";
  return 0;
}
