// The robots.txt parser and matcher on any file and any path.
// Input: the path \x1f the file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "policy/robots.h"

namespace korvane::fuzz {
namespace {

// A path that a Disallow line carries unchanged: it begins with "/", holds no pattern
// character, comment or line break and has no blank at either end.
bool PlainPath(std::string_view path) {
  return path.starts_with('/') && path.find_first_of("*$#\r\n\x1f") == std::string_view::npos &&
         path.find('\0') == std::string_view::npos && path.back() != ' ' && path.back() != '\t';
}

void CheckPath(std::string_view path, std::string_view file) {
  const RobotsRules rules = RobotsRules::Parse(file);
  static_cast<void>(rules.Allows(path));
  Check(rules.Allows("/robots.txt"), "robots.txt itself is always allowed");
  Check(rules.CrawlDelayMs() >= 0 && rules.CrawlDelayMs() <= kMaxCrawlDelayMs,
        "the delay stays in its bounds");

  const std::string once = NormalizeRobotsPath(path);
  CheckSame("normalising twice changes nothing", once, NormalizeRobotsPath(once));

  if (!PlainPath(path) || once == "/robots.txt") return;
  const std::string rule = "User-agent: *\nDisallow: " + std::string(path) + "\n";
  Check(!RobotsRules::Parse(rule).Allows(path), "a path is disallowed by its own rule");
  Check(RobotsRules::Parse(rule + "Allow: " + std::string(path) + "\n").Allows(path),
        "an equal Allow wins over a Disallow");
  Check(!RobotsRules::Parse("User-agent: *\nDisallow: /*\n").Allows(path),
        "/* disallows every path");
}

}  // namespace
}  // namespace korvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvane::fuzz;
  FuzzInput input(data, size);
  const std::string_view path = input.TakeField();
  CheckPath(path, input.Rest());
  return 0;
}
