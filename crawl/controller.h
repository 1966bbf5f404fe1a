// The crawl controller: START, STOP, HALT, the dispatch loop, the hooks and the watchdog.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "base/sorted_list.h"
#include "base/text_lines.h"
#include "crawl/call_queue.h"
#include "crawl/done_record.h"
#include "crawl/duplicate_claims.h"
#include "crawl/front_end.h"
#include "crawl/monitor.h"
#include "crawl/seen_urls_writer.h"
#include "crawl/worker.h"
#include "policy/robots.h"
#include "policy/sitemap.h"
#include "report/run_log.h"
#include "settings/options.h"

namespace korvane {

// The addresses waiting to be fetched, handed out alphabetically. They are the marked lines of
// the seen list, so each address's bytes are stored once; queuing an address the seen list
// lacks adds it there too (the crawl queues only seen addresses).
class UrlQueue {
 public:
  explicit UrlQueue(SortedList& seen) : seen_(seen) {}
  UrlQueue(const UrlQueue&) = delete;
  UrlQueue& operator=(const UrlQueue&) = delete;

  // True when `url` was not queued already.
  bool Add(std::string_view url) { return seen_.Mark(url); }
  [[nodiscard]] size_t Count() const { return seen_.MarkedCount(); }
  [[nodiscard]] bool Empty() const { return Count() == 0; }
  // The alphabetically first queued address. The queue must not be empty.
  [[nodiscard]] std::string First() const { return std::string(seen_.FirstMarked()); }
  std::string TakeFirst() { return seen_.TakeFirstMarked(); }
  void Clear() { seen_.ClearMarks(); }
  // The queued addresses in order.
  [[nodiscard]] Lines ToLines() const { return seen_.MarkedLines(); }

 private:
  SortedList& seen_;
};

// The shared state of one run. Main thread only, except the two values workers read
// directly: `proxy_list` (replaced only at START, before any worker of the run starts) and
// `first_request_pending`.
struct CrawlState {
  SortedList seen_urls;            // every address admitted, saved to "parsed_urls.txt"
  UrlQueue url_queue{seen_urls};   // addresses waiting, handed out alphabetically
  ThreadRegistry thread_registry;  // the running workers the watchdog watches
  Lines user_agents;
  std::atomic<std::shared_ptr<const Lines>> proxy_list{std::make_shared<const Lines>()};
  size_t proxy_count = 0;
  int32_t active_threads = 0;
  int32_t killed_threads = 0;
  int32_t parsed_count = 0;
  bool stop_requested = false;
  std::atomic<bool> first_request_pending{false};
};

// How START ended.
enum class StartResult {
  kFinished,  // the run ended (queue drained or STOP) and the address list was saved
  kRefused,   // selective parsing without templates: a message, nothing started
  kFailed,    // an error message was shown (a file that cannot be read or written, ...)
  kBusy,      // a run was already in progress; nothing happened
};

class CrawlController final : public WorkerHost {
 public:
  CrawlController(CrawlOptions& options, FrontEnd& front_end);
  ~CrawlController() override;

  // START: runs a whole crawl on the calling (main) thread and returns when it has ended.
  StartResult Start();
  // STOP: saves the settings, then asks the running crawl to stop. A failed save shows its
  // error and leaves the crawl running.
  void Stop();
  // HALT: ends the process at once.
  void Halt();
  // The watchdog tick: ends workers whose registry stamp is older than the time-out.
  void WatchdogTick();

  // The template window's test fetch: one test worker for `url`, outside any crawl. The flag
  // it returns is set once the worker's body has returned.
  std::shared_ptr<const std::atomic<bool>> StartTestWorker(const std::string& url);
  // Main thread: whether the last test worker started has not ended yet.
  [[nodiscard]] bool TestWorkerRunning() const { return test_ended_ && !test_ended_->load(); }

  [[nodiscard]] bool Running() const { return running_; }
  // Main thread: whether any worker thread (crawl or test) has not ended yet.
  [[nodiscard]] bool HasLiveWorkers();
  [[nodiscard]] const CrawlState& State() const { return state_; }
  [[nodiscard]] const MonitorGrid& Grid() const { return grid_; }
  // The pages of the current (or last) run.
  [[nodiscard]] const RunLog& Log() const { return log_; }
  // What the last run read from the sitemaps (all zero without the sitemaps option).
  [[nodiscard]] const SitemapCounts& Sitemaps() const { return sitemaps_; }
  // Test hook: bounds the fetches of later workers.
  void SetFetchLimits(const FetchLimits& limits) { limits_ = limits; }
  // Main thread: runs the workers' queued hooks and lets the front end handle its events.
  void ProcessMessages();

  // WorkerHost.
  bool Synchronize(TmyThread& worker, Hook hook) override;
  [[nodiscard]] const CrawlOptions& Options() const override { return options_; }
  [[nodiscard]] std::shared_ptr<const Lines> ProxyList() const override;
  [[nodiscard]] bool FirstRequestPending() const override;
  void ClearFirstRequestPending() override;
  [[nodiscard]] FetchLimits Limits() const override { return limits_; }
  [[nodiscard]] bool StopRequested() const override { return stop_pressed_.load(); }
  void ServerBusy(TmyThread& worker) override;
  void RegisterThread(TmyThread& worker) override;
  void ShowState(TmyThread& worker) override;
  void RefreshWorkTime(TmyThread& worker) override;
  void UnregisterThread(TmyThread& worker) override;
  void ThreadFinished(TmyThread& worker) override;
  void DecActiveThreads(TmyThread& worker) override;
  void AddFoundLink(TmyThread& worker) override;
  void AddFoundLinks(TmyThread& worker) override;
  void PageDone(TmyThread& worker) override;
  void SaveSeenUrls(TmyThread& worker) override;
  void PageEnded(TmyThread& worker) override;
  void ClaimText(TmyThread& worker) override;

  void RemoveMonitorRow(int32_t id);

 private:
  struct StartedWorker {
    std::shared_ptr<TmyThread> worker;
    std::shared_ptr<std::atomic<bool>> ended;  // set by the thread as its last act
  };

  void RunCrawl();
  // Fills the queue and the address list for a new run (the start address) or a continued
  // one (the saved list without the recorded pages) and returns the number of the run's
  // first worker. With the continue option the record of ended workers is opened (emptied
  // for a new run); without it the record is deleted and this run keeps none.
  int32_t FillQueue(const std::string& site);
  // Fetches the site's robots.txt while serving messages; its rules then decide what may be
  // queued. STOP during the fetch cancels it.
  void FetchRobots(const std::string& site);
  // Runs one kRobots or kSitemap worker for `url` while serving messages and returns its
  // answer ("" when the fetch failed); nothing when STOP cancelled it.
  std::optional<std::string> FetchAtStart(const std::string& url, WorkerMode mode);
  // Reads the site's sitemaps (policy/sitemap.h) and passes each address through the rules of a
  // link of the start page into the lists.
  void ReadSitemaps(const std::string& site);
  // AddFoundLinks's change of the lists for `links` found on `found_on`; returns how many
  // were new.
  size_t AddLinks(const std::vector<std::string>& links, std::string_view found_on);
  // The page that first linked `url` in this run ("" when none did).
  [[nodiscard]] std::string FoundOn(const std::string& url) const;
  // Whether robots.txt lets `url` enter the queue: the one check every queued address passes.
  [[nodiscard]] bool MayQueue(std::string_view url) const;
  void DropDisallowedFromQueue();
  // The pause due before the next dispatch has passed (the pause option, raised to the
  // robots.txt Crawl-delay).
  [[nodiscard]] bool PauseElapsed() const;
  [[nodiscard]] bool PageLimitReached(int32_t dispatched) const;
  void DispatchLoop(int32_t first_worker);
  void DispatchOne(int32_t& worker_number);
  const std::string& PickUserAgent();
  void FinalWait();
  void WriteLabel(CounterLabel label, const std::string& text);
  void WriteCount(CounterLabel label, int64_t value);
  StartedWorker StartWorker(const std::string& url, int32_t id, const std::string& user_agent,
                            WorkerMode mode);
  // Joins the threads of workers whose body has returned; with `all`, waits for every one.
  void ReapWorkers(bool all);
  // Ends the worker whose thread id is `handle`; false when no such worker runs.
  bool KillWorker(int32_t handle);

  struct WorkerThread {
    std::shared_ptr<TmyThread> worker;
    std::shared_ptr<std::atomic<bool>> ended;  // set by the thread as its last act
    std::thread thread;
  };

  CrawlOptions& options_;
  FrontEnd& front_end_;
  MainThreadQueue queue_;
  CrawlState state_;
  SeenUrlsWriter seen_writer_;  // the saves after each page; the final save is RunCrawl's
  MonitorGrid grid_;
  RunLog log_;
  FetchLimits limits_;
  bool running_ = false;
  std::shared_ptr<const std::atomic<bool>> test_ended_;  // the last test worker's flag
  std::optional<SiteRobots> robots_;                     // the rules fetched at this run's START
  std::optional<std::string> robots_answer_;             // their answer, kept for the sitemaps
  SitemapCounts sitemaps_;
  std::atomic<bool> stop_pressed_{false};  // STOP during this run; read by waiting workers
  int64_t busy_pause_ms_ = 0;              // the longest wait a busy server asked for in this run
  std::optional<std::chrono::steady_clock::time_point> last_request_;  // last dispatch
  DoneRecord done_;                  // "done_urls.txt", open in a run with the continue option
  AppendFile passports_;             // "pages.jsonl", open in a run with the metadata option
  std::set<int32_t> taken_numbers_;  // result files a continued run must not overwrite
  DuplicateClaims claims_;           // the texts saved, with the option that saves none twice
  // With the report: the page that first linked each address found in this run, as an index
  // into the pages that linked new addresses.
  std::unordered_map<std::string, uint32_t> found_on_;
  std::vector<std::string> linking_pages_;
  uint64_t next_slot_ = 0;
  std::map<uint64_t, WorkerThread> workers_;                // main thread only
  std::map<int32_t, std::weak_ptr<TmyThread>> registered_;  // by thread id; main thread only
};

}  // namespace korvane
