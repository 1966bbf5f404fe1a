// The template window's test fetch, waited for on the main thread.
#pragma once

#include <string>

#include "crawl/controller.h"

namespace korvane {

enum class TestFetchResult {
  kWritten,  // the run wrote "SelectiveParseTest/test.txt"
  kNothing,  // the run ended without writing it
  kBusy,     // an earlier test fetch still runs: nothing was started, no file touched
};

// Main thread. Unless a test worker still runs, deletes "SelectiveParseTest/test.txt", starts
// the test worker for `url` and serves messages (controller.ProcessMessages) until that worker
// has ended, then tells whether the file exists. Only this run's worker can have written it:
// a second fetch asked for meanwhile (from a handler run by ProcessMessages) gets kBusy. The
// wait polls every few milliseconds instead of spinning, and its bound is the fetch's own
// time limits.
[[nodiscard]] TestFetchResult RunTestFetch(CrawlController& controller, const std::string& url);

}  // namespace korvane
