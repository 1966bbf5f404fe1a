// The folder tools on korvane-cli: progress on stderr, the final text on stdout.
#include <unistd.h>

#include <chrono>
#include <iostream>

#include "base/cp1251.h"
#include "cli/commands.h"

namespace korvane::cli {

namespace {

// Shows progress texts on stderr: on a terminal one line rewritten in place, elsewhere one
// line per text, both at most a few times a second so that printing never slows a tool.
// Remembers the last text, which the command prints on stdout when the tool has finished.
class ProgressPrinter {
 public:
  ProgressPrinter() : terminal_(::isatty(STDERR_FILENO) == 1) {}
  ~ProgressPrinter() {
    if (shown_on_line_) std::cerr << "\r\x1b[K" << std::flush;
  }

  void Show(std::string_view text) {
    last_text_ = text;
    const auto now = std::chrono::steady_clock::now();
    const auto interval =
        terminal_ ? std::chrono::milliseconds(50) : std::chrono::milliseconds(250);
    if (printed_once_ && now - last_print_ < interval) return;
    printed_once_ = true;
    last_print_ = now;
    if (terminal_) {
      std::cerr << '\r' << Cp1251ToUtf8(text) << "\x1b[K" << std::flush;
      shown_on_line_ = true;
    } else {
      std::cerr << Cp1251ToUtf8(text) << '\n' << std::flush;
    }
  }

  [[nodiscard]] ToolProgress Callback() {
    return [this](ToolLabel, std::string_view text) { Show(text); };
  }
  [[nodiscard]] const std::string& last_text() const { return last_text_; }

 private:
  bool terminal_;
  bool printed_once_ = false;
  bool shown_on_line_ = false;
  std::chrono::steady_clock::time_point last_print_;
  std::string last_text_;
};

// Runs `tool` with a printer; prints the last text on stdout when it returns true.
template <class Tool>
int RunTool(Tool tool) {
  std::string final_text;
  bool finished = false;
  {
    ProgressPrinter printer;
    finished = tool(printer.Callback());
    final_text = printer.last_text();
  }
  if (!finished) return 1;
  std::cout << Cp1251ToUtf8(final_text) << std::endl;
  return 0;
}

}  // namespace

// A tool that always runs to its end; what it returns is in its final text.
template <class Tool, class Fields>
int RunToEnd(const Tool& tool, const Fields& fields) {
  return RunTool([&](const ToolProgress& progress) {
    tool(fields, progress);
    return true;
  });
}

int RunFilter(const FilterFields& fields) {
  return RunToEnd(FilterSmallFiles, fields);
}

int RunJoin(const JoinFields& fields) {
  return RunToEnd(JoinTexts, fields);
}

int RunCleanFromTo(const CleanFields& fields) {
  return RunToEnd(CleanFromTo, fields);
}

int RunCleanWords(const CleanFields& fields) {
  return RunToEnd(CleanWords, fields);
}

int RunSplit(const SplitFields& fields) {
  return RunTool([&](const ToolProgress& progress) {
    if (SplitIntoFolders(fields, progress)) return true;
    std::cerr << "korvane-cli: " << Cp1251ToUtf8(kNoFilesText) << std::endl;
    return false;
  });
}

int RunDedupe(const DedupeFields& fields) {
  std::vector<DuplicateGroup> groups;
  return RunTool([&](const ToolProgress& progress) {
    groups = RemoveDuplicateTexts(fields, progress);
    for (const DuplicateGroup& group : groups) {
      std::string line = "kept " + group.kept + ": removed ";
      for (size_t i = 0; i < group.removed.size(); ++i) {
        line += (i > 0 ? ", " : "") + group.removed[i];
      }
      std::cout << line << '\n';
    }
    return true;
  });
}

}  // namespace korvane::cli
