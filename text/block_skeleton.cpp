// The template window's block skeleton.
#include "text/block_skeleton.h"

#include "base/text_lines.h"

namespace korvane {

std::string AddBlockSkeleton(std::string_view memo_text) {
  Lines lines = SplitLines(memo_text);
  const std::string n = std::to_string(lines.size());
  lines.push_back("[blockname]Name" + n + "[/blockname][start]Start" + n + "[/start][stop]Stop" +
                  n + "[/stop]");
  return JoinLines(lines);
}

}  // namespace korvane
