// The test fetch's wait.
#include "crawl/test_fetch.h"

#include <chrono>
#include <thread>

#include "base/files.h"
#include "crawl/texts.h"

namespace korvane {

bool RunTestFetch(CrawlController& controller, const std::string& url) {
  constexpr auto kPoll = std::chrono::milliseconds(5);
  const std::string result(texts::kTestResultFile);
  RemoveFile(result);
  const auto ended = controller.StartTestWorker(url);
  while (!FileExists(result)) {
    // The worker writes the file before it ends, so the test after `ended` is final.
    if (ended->load()) return FileExists(result);
    controller.ProcessMessages();
    std::this_thread::sleep_for(kPoll);
  }
  return true;
}

}  // namespace korvane
