// The template window's test fetch, waited for on the main thread.
#pragma once

#include <string>

#include "crawl/controller.h"

namespace korvane {

// Main thread. Deletes "SelectiveParseTest/test.txt", starts the test worker for `url` and
// serves messages (controller.ProcessMessages) until that file exists or the worker has ended
// without writing it. Returns whether the file exists. The worker saves the file whole (a
// rename over the old name), so once it exists it is complete. The wait polls every few
// milliseconds instead of spinning, and its bound is the fetch's own time limits.
[[nodiscard]] bool RunTestFetch(CrawlController& controller, const std::string& url);

}  // namespace korvane
