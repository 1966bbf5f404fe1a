// The background save of the seen list: "parsed_urls.txt" rewritten off the main thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/sorted_list.h"

namespace korvane {

// Saves a sorted list as one file on a thread of its own, so that the save after every page
// costs the main thread a snapshot of the list (one pointer per block) instead of a write of
// the whole list.
//
// Every write replaces the file whole and atomically (SaveFileAtomic) with the newest list the
// main thread has handed over, so a kill at any moment leaves the last whole list. After a
// write that took t the writer takes no new snapshot for 9t: it is busy at most a tenth of the
// time. A list of tens of thousands of lines is thus still written after every page; a list of
// a million lines, a few times a second.
//
// Threads: every method runs on the thread that owns the list (the main thread). The writer
// thread only reads the pieces of the snapshot it was handed; snapshots are taken and dropped
// on the owner's thread, so the list's copy-on-write bookkeeping never crosses threads.
class SeenUrlsWriter {
 public:
  SeenUrlsWriter(std::string path, const SortedList& list);
  SeenUrlsWriter(const SeenUrlsWriter&) = delete;
  SeenUrlsWriter& operator=(const SeenUrlsWriter&) = delete;
  ~SeenUrlsWriter();

  // The list has changed: save it. The writer takes a snapshot now when it is free and has
  // rested, otherwise at a later Poll. Raises CannotCreateFile at once when the file cannot be
  // replaced (a folder stands there, it is read-only), and raises the error of an earlier
  // background write that failed (once).
  void Save();
  // Hands over a save that is still wanted once the writer is free and has rested. Called at
  // every message-processing point of the main thread.
  void Poll();
  // Waits for a write in progress to end, then ends the thread. A save still wanted is
  // dropped: the caller writes the final list itself. A later Save starts afresh.
  void Stop();

 private:
  void Run();
  // Drops the snapshot of a write that has ended; false while the write goes on.
  bool Collect();

  const std::string path_;
  const SortedList& list_;
  std::thread thread_;

  // Owner's thread only.
  std::optional<SortedList::Snapshot> held_;  // the snapshot being written
  bool wanted_ = false;                       // the list has changed since the last snapshot

  std::mutex mutex_;
  // Signalled when a snapshot is handed over and when Stop asks the thread to end.
  std::condition_variable wake_;
  const std::vector<std::string_view>* job_ = nullptr;  // guarded: pieces to write next
  bool writing_ = false;   // guarded: a snapshot is handed over and not yet written
  bool stopping_ = false;  // guarded
  std::chrono::steady_clock::time_point rested_at_{};  // guarded: no new snapshot before
  std::exception_ptr error_;                           // guarded: a failed write's error
};

}  // namespace korvane
