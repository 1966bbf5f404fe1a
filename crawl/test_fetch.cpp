// The test fetch's wait.
#include "crawl/test_fetch.h"

#include <chrono>
#include <thread>

#include "base/files.h"
#include "settings/texts.h"

namespace korvane {

TestFetchResult RunTestFetch(CrawlController& controller, const std::string& url) {
  constexpr auto kPoll = std::chrono::milliseconds(5);
  if (controller.TestWorkerRunning()) return TestFetchResult::kBusy;
  const std::string result(texts::kTestResultFile);
  RemoveFile(result);
  const auto ended = controller.StartTestWorker(url);
  // The worker saves the file whole (a rename over the old name) before it ends.
  while (!ended->load()) {
    controller.ProcessMessages();
    std::this_thread::sleep_for(kPoll);
  }
  return FileExists(result) ? TestFetchResult::kWritten : TestFetchResult::kNothing;
}

}  // namespace korvane
