// The crawl controller.
#include "crawl/controller.h"

#include "net/address.h"

#include <chrono>
#include <cstdlib>

#include "base/clock.h"
#include "base/error.h"
#include "base/files.h"
#include "base/strings.h"
#include "settings/texts.h"

namespace korvane {

namespace {

constexpr auto kPassSleep = std::chrono::milliseconds(20);
constexpr auto kDrainSleep = std::chrono::milliseconds(1000);

// Clears a flag when the scope ends, however it ends.
class FlagGuard {
 public:
  explicit FlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
  FlagGuard(const FlagGuard&) = delete;
  FlagGuard& operator=(const FlagGuard&) = delete;
  ~FlagGuard() { flag_ = false; }

 private:
  bool& flag_;
};

}  // namespace

CrawlController::CrawlController(CrawlOptions& options, FrontEnd& front_end)
    : options_(options),
      front_end_(front_end),
      seen_writer_(std::string(texts::kSeenUrlsFile), state_.seen_urls) {}

CrawlController::~CrawlController() {
  // Workers may still be fetching (a failed START, a test fetch): end them and wait, so no
  // thread outlives the state it points at.
  for (auto& [slot, entry] : workers_) entry.worker->Cancel();
  queue_.Wake();
  ReapWorkers(true);
}

StartResult CrawlController::Start() {
  if (running_) return StartResult::kBusy;
  FlagGuard running(running_);
  SeedRandomFromClock();
  state_.first_request_pending = true;
  try {
    const bool templates_ready = front_end_.PrepareTemplates();
    if (options_.selective.load() && !templates_ready) {
      front_end_.ShowMessage(texts::kNoTemplates);
      return StartResult::kRefused;
    }
    RunCrawl();
    return StartResult::kFinished;
  } catch (const KorvaneError& error) {
    // Workers already started must still drain before the state they use goes away.
    if (state_.active_threads > 0) FinalWait();
    log_.Finish();
    done_.Close();
    passports_.Close();
    seen_writer_.Stop();
    front_end_.ShowError(error);
    return StartResult::kFailed;
  }
}

void CrawlController::RunCrawl() {
  state_.parsed_count = 0;
  state_.killed_threads = 0;
  state_.thread_registry.clear();
  state_.seen_urls.Clear();
  found_on_.clear();
  linking_pages_.clear();

  state_.user_agents = SplitLines(LoadFile(std::string(texts::kUserAgentsFile)));

  SortedList proxies;
  if (options_.use_proxies.load()) {
    proxies.AddAll(SplitLines(LoadFile(std::string(texts::kProxiesFile))));
  }
  state_.proxy_count = proxies.Count();
  state_.proxy_list.store(std::make_shared<const Lines>(proxies.ToLines()));
  WriteLabel(CounterLabel::kProxies, texts::kProxiesLabel + std::to_string(state_.proxy_count));

  state_.url_queue.Clear();
  const std::string site = *options_.site.Get();
  const int32_t first_worker = FillQueue(site);
  claims_.Start(options_.skip_duplicates.load(), taken_numbers_);
  if (options_.skip_duplicates.load()) {
    WriteLabel(CounterLabel::kDuplicates, texts::kDuplicatesLabel + "0");
  }
  WriteLabel(CounterLabel::kQueued, texts::kUrlsLabel + std::to_string(state_.url_queue.Count()));

  state_.active_threads = 0;
  SeedRandomFromClock();
  ProcessMessages();
  state_.stop_requested = false;
  stop_pressed_ = false;

  robots_.reset();
  robots_answer_.reset();
  sitemaps_ = {};
  busy_pause_ms_ = 0;
  last_request_.reset();
  log_.Start(options_.write_report.load(), options_.continue_run.load());
  // A continued run appends its pages' records after the last run's.
  if (options_.write_metadata.load()) {
    passports_.Open(std::string(kPagesJsonlFile), !options_.continue_run.load());
  }
  if (options_.obey_robots.load()) FetchRobots(site);
  if (options_.read_sitemaps.load()) ReadSitemaps(site);
  DispatchLoop(first_worker);
  FinalWait();
  log_.Finish();

  WriteCount(CounterLabel::kActive, state_.active_threads);
  WriteCount(CounterLabel::kParsed, state_.parsed_count);
  ProcessMessages();
  front_end_.SetWatchdogEnabled(false);
  // The final save is exact: it waits for a background write still running, so none can land
  // after it, and writes the list as it now stands.
  seen_writer_.Stop();
  SaveFileAtomic(std::string(texts::kSeenUrlsFile), state_.seen_urls.TextPieces());
  done_.Close();
  passports_.Close();
  ReapWorkers(false);
}

int32_t CrawlController::FillQueue(const std::string& site) {
  const std::string done_file(texts::kDoneUrlsFile);
  taken_numbers_.clear();
  if (options_.continue_run.load()) {
    if (auto saved = LoadSavedRun(std::string(texts::kSeenUrlsFile), done_file,
                                  std::string(texts::kResultFolder))) {
      state_.seen_urls.AddAll(saved->seen);
      state_.seen_urls.Add(site);
      for (const std::string& url : state_.seen_urls.ToLines()) {
        if (!saved->done.Contains(url)) state_.url_queue.Add(url);
      }
      // Workers of the earlier runs finished in any order, so a number above the line
      // count may belong to a finished page: its file is kept, its number skipped.
      taken_numbers_ = std::move(saved->taken);
      done_.Open(done_file, false);
      return saved->done_count;
    }
  }
  // Links read as a browser reads them name the start page in its normal form, which the
  // queue must hold only once.
  const std::string start =
      options_.standard_links.load()
          ? LinkResolver(site).Resolve(site).value_or(LinkAddress{site}).address
          : site;
  state_.url_queue.Add(start);
  state_.seen_urls.Add(start);
  if (options_.continue_run.load()) {
    done_.Open(done_file, true);  // nothing to continue: a new run that can be continued
  } else {
    // A run without the option writes what a run without extensions writes, and an old record
    // must not make a later continue skip pages of this run.
    RemoveFile(done_file);
  }
  return 0;
}

void CrawlController::FetchRobots(const std::string& site) {
  const bool https_ports = options_.https_ports.load();
  const std::string url = RobotsUrl(site, https_ports);
  if (url.empty()) return;
  robots_answer_ = FetchAtStart(url, WorkerMode::kRobots).value_or("");
  robots_ = SiteRobots{SplitUrl(site, https_ports).host, https_ports,
                       RulesFromRobotsAnswer(*robots_answer_)};
  DropDisallowedFromQueue();
}

std::optional<std::string> CrawlController::FetchAtStart(const std::string& url, WorkerMode mode) {
  last_request_ = std::chrono::steady_clock::now();
  const StartedWorker fetch = StartWorker(url, -1, PickUserAgent(), mode);
  while (!fetch.ended->load()) {
    if (state_.stop_requested) fetch.worker->Cancel();
    queue_.ServeFor(kPassSleep, [&fetch] { return fetch.ended->load(); });
    ProcessMessages();
  }
  // A request at START is not the run's first page request, which keeps its own route.
  state_.first_request_pending = true;
  if (fetch.worker->Cancelled()) return std::nullopt;
  return std::move(fetch.worker->Answer);
}

void CrawlController::ReadSitemaps(const std::string& site) {
  const bool https_ports = options_.https_ports.load();
  const std::string robots_url = RobotsUrl(site, https_ports);
  if (robots_url.empty()) return;
  // The robots.txt of the robots option when it was fetched, else fetched here.
  if (!robots_answer_) robots_answer_ = FetchAtStart(robots_url, WorkerMode::kRobots);
  if (!robots_answer_) return;  // STOP
  std::vector<std::string> first = RobotsSitemaps(*robots_answer_);
  first.push_back(DeleteFirst(robots_url, "robots.txt") + "sitemap.xml");

  const UrlTarget target = SplitUrl(site, https_ports);
  const auto blacklist = options_.blacklist.Get();
  const LinkOptions link_options = ReadLinkOptions(options_, blacklist->lines, target.scheme);
  StandardLinks standard_links(ReadStandardLinkOptions(options_, blacklist->lines));
  sitemaps_ = WalkSitemaps(
      first,
      [this](const std::string& url) -> std::optional<std::string> {
        // Sitemap requests keep the run's pause between them, as pages do.
        while (!state_.stop_requested && !PauseElapsed()) {
          queue_.ServeFor(kPassSleep);
          ProcessMessages();
        }
        if (state_.stop_requested) return std::nullopt;
        return FetchAtStart(url, WorkerMode::kSitemap);
      },
      [&](const std::vector<std::string>& locs) {
        std::vector<std::string> links;
        const bool standard = options_.standard_links.load();
        for (const std::string& loc : locs) {
          if (auto link = standard ? standard_links.Admit(loc, site)
                                   : BuildLink(loc, site, target.host, link_options)) {
            links.push_back(std::move(*link));
          }
        }
        AddLinks(links, texts::kFoundInSitemap);
      });
}

bool CrawlController::MayQueue(std::string_view url) const {
  return !robots_ || !options_.obey_robots.load() || robots_->Allows(url);
}

void CrawlController::DropDisallowedFromQueue() {
  const Lines queued = state_.url_queue.ToLines();
  state_.url_queue.Clear();
  for (const std::string& url : queued) {
    if (MayQueue(url)) state_.url_queue.Add(url);
  }
}

bool CrawlController::PauseElapsed() const {
  int64_t pause_ms = std::max(options_.request_delay_ms.load(), busy_pause_ms_);
  if (robots_ && options_.obey_robots.load()) {
    pause_ms = std::max(pause_ms, robots_->rules.CrawlDelayMs());
  }
  return pause_ms <= 0 || !last_request_ ||
         std::chrono::steady_clock::now() - *last_request_ >= std::chrono::milliseconds(pause_ms);
}

bool CrawlController::PageLimitReached(int32_t dispatched) const {
  const int64_t limit = options_.max_pages.load();
  return limit > 0 && dispatched >= limit;
}

void CrawlController::DispatchLoop(int32_t first_worker) {
  int32_t worker_number = first_worker;
  int32_t dispatched = 0;
  // The pauses keep a steady 20 ms beat: the time a pass spends on its own work is taken from
  // the next pause, so the loop reaches its ceiling of 50 passes a second.
  auto beat = std::chrono::steady_clock::now();
  while (!state_.stop_requested && !(state_.url_queue.Empty() && state_.active_threads == 0)) {
    if (PageLimitReached(dispatched)) {
      state_.stop_requested = true;  // from here on the run ends as after STOP
      break;
    }
    const int32_t limit = options_.thread_count.Value().value_or(0);
    if (limit > state_.active_threads && !state_.url_queue.Empty() && PauseElapsed()) {
      DispatchOne(worker_number);
      ++dispatched;
    }
    beat = std::max(beat + kPassSleep, std::chrono::steady_clock::now());
    queue_.ServeUntil(beat);
    WriteCount(CounterLabel::kRegisteredEachPass,
               static_cast<int64_t>(state_.thread_registry.size()));
    WriteLabel(CounterLabel::kQueued, texts::kUrlsLabel + std::to_string(state_.url_queue.Count()));
    WriteCount(CounterLabel::kParsed, state_.parsed_count);
    WriteCount(CounterLabel::kRegistered, static_cast<int64_t>(state_.thread_registry.size()));
    WriteCount(CounterLabel::kActive, state_.active_threads);
    WriteLabel(CounterLabel::kKilled, texts::kKilledLabel + std::to_string(state_.killed_threads));
    ProcessMessages();
  }
}

void CrawlController::DispatchOne(int32_t& worker_number) {
  while (taken_numbers_.contains(worker_number)) ++worker_number;
  const std::string url = state_.url_queue.First();
  StartWorker(url, worker_number, PickUserAgent(), WorkerMode::kCrawl);
  last_request_ = std::chrono::steady_clock::now();
  state_.url_queue.TakeFirst();
  WriteCount(CounterLabel::kRegistered, static_cast<int64_t>(state_.thread_registry.size()));
  ++worker_number;
  ++state_.active_threads;
  WriteLabel(CounterLabel::kQueued, texts::kUrlsLabel + std::to_string(state_.url_queue.Count()));
  WriteLabel(CounterLabel::kKilled, texts::kKilledLabel + std::to_string(state_.killed_threads));
  WriteCount(CounterLabel::kActive, state_.active_threads);
}

const std::string& CrawlController::PickUserAgent() {
  const auto agents = static_cast<int32_t>(std::min<size_t>(state_.user_agents.size(), INT32_MAX));
  const int32_t pick = RandomBelow(agents);
  if (pick >= agents) throw IndexOutOfBounds(pick);
  return state_.user_agents[static_cast<size_t>(pick)];
}

void CrawlController::FinalWait() {
  while (state_.active_threads != 0) {
    queue_.ServeFor(kDrainSleep, [this] { return state_.active_threads == 0; });
    WriteCount(CounterLabel::kActive, state_.active_threads);
    WriteCount(CounterLabel::kParsed, state_.parsed_count);
    ProcessMessages();
  }
}

void CrawlController::ProcessMessages() {
  queue_.Drain();
  seen_writer_.Poll();
  log_.Tick();
  ReapWorkers(false);
  front_end_.ProcessMessages();
}

void CrawlController::Stop() {
  try {
    front_end_.SaveSettings();
  } catch (const KorvaneError& error) {
    front_end_.ShowError(error);
    return;
  }
  state_.stop_requested = true;
  stop_pressed_ = true;
}

void CrawlController::Halt() {
  front_end_.Halt();
}

std::shared_ptr<const std::atomic<bool>> CrawlController::StartTestWorker(const std::string& url) {
  test_ended_ = StartWorker(url, 0, std::string(texts::kTestUserAgent), WorkerMode::kTest).ended;
  return test_ended_;
}

CrawlController::StartedWorker CrawlController::StartWorker(const std::string& url, int32_t id,
                                                            const std::string& user_agent,
                                                            WorkerMode mode) {
  auto worker = std::make_shared<TmyThread>(*this, url, id, user_agent, mode);
  auto ended = std::make_shared<std::atomic<bool>>(false);
  std::thread thread([worker, ended] {
    worker->Execute();
    ended->store(true);
  });
  workers_.emplace(next_slot_++, WorkerThread{worker, ended, std::move(thread)});
  return {std::move(worker), std::move(ended)};
}

void CrawlController::ReapWorkers(bool all) {
  for (auto it = workers_.begin(); it != workers_.end();) {
    if (all || it->second.ended->load()) {
      if (all) {
        // A worker still inside a hook call needs the main thread; keep serving it.
        while (!it->second.ended->load()) {
          queue_.Drain();
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
      }
      it->second.thread.join();
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

bool CrawlController::HasLiveWorkers() {
  ReapWorkers(false);
  return !workers_.empty();
}

bool CrawlController::KillWorker(int32_t handle) {
  const auto it = registered_.find(handle);
  if (it == registered_.end()) return false;
  const auto worker = it->second.lock();
  registered_.erase(it);
  if (!worker) return false;
  worker->Cancel();
  queue_.Wake();
  PageRecord record =
      WatchdogRecord(worker->WorkerId, worker->Url, worker->Record.start_ms, WallClockMs());
  record.found_on = FoundOn(worker->Url);
  log_.Add(record);
  return true;
}

bool CrawlController::Synchronize(TmyThread& worker, Hook hook) {
  return queue_.RunAndWait([this, &worker, hook] { (this->*hook)(worker); }, &worker.CancelFlag());
}

std::shared_ptr<const Lines> CrawlController::ProxyList() const {
  return state_.proxy_list.load();
}

bool CrawlController::FirstRequestPending() const {
  return state_.first_request_pending.load();
}

void CrawlController::ClearFirstRequestPending() {
  state_.first_request_pending = false;
}

void CrawlController::WriteLabel(CounterLabel label, const std::string& text) {
  front_end_.WriteLabel(label, text);
}

void CrawlController::WriteCount(CounterLabel label, int64_t value) {
  front_end_.WriteLabel(label, std::to_string(value));
}

// ---- Hooks: main thread, while the calling worker waits. ----

void CrawlController::RegisterThread(TmyThread& worker) {
  worker.WorkTime = 0;
  state_.thread_registry.push_back({worker.WorkerId, worker.ThreadHandle, TickCount()});
  for (auto& [slot, entry] : workers_) {
    if (entry.worker.get() == &worker) registered_[worker.ThreadHandle] = entry.worker;
  }
}

void CrawlController::ShowState(TmyThread& worker) {
  grid_.ShowState(worker.WorkerId, worker.ThreadState, worker.WorkTime);
}

void CrawlController::RefreshWorkTime(TmyThread& worker) {
  const auto index = FindRegistryEntry(state_.thread_registry, worker.WorkerId);
  if (!index) return;
  RegistryEntry& entry = state_.thread_registry[*index];
  const uint32_t now = TickCount();
  // Unsigned subtraction gives the elapsed time across a wrap of the tick counter too.
  worker.WorkTime = static_cast<double>(static_cast<uint32_t>(now - entry.tick)) / 1000.0;
  entry.tick = TickCount();
}

void CrawlController::UnregisterThread(TmyThread& worker) {
  registered_.erase(worker.ThreadHandle);
  if (const auto index = FindRegistryEntry(state_.thread_registry, worker.WorkerId)) {
    state_.thread_registry.erase(state_.thread_registry.begin() +
                                 static_cast<std::ptrdiff_t>(*index));
  }
}

void CrawlController::ThreadFinished(TmyThread& worker) {
  if (worker.ThreadStatus == texts::kStatusSuccess) ++state_.parsed_count;
  claims_.Settle(worker.WorkerId, worker.TextWritten);
  RemoveMonitorRow(worker.WorkerId);
}

void CrawlController::DecActiveThreads(TmyThread& /*worker*/) {
  --state_.active_threads;
}

void CrawlController::PageDone(TmyThread& worker) {
  // The page's record goes before the page counts as done, so a continued run never skips a
  // page whose record a kill has lost.
  if (worker.Passport) {
    worker.Record.found_on = FoundOn(worker.Url);
    passports_.Append(PassportJson(worker.Url, *worker.Passport, &worker.Record) + "\n");
  }
  done_.Append(worker.Url);
}

void CrawlController::AddFoundLink(TmyThread& worker) {
  // A link new to the seen list joins the queue too, unless robots.txt rules it out; as the
  // queue is the seen list's marked lines, that is one search and one insert.
  state_.seen_urls.Add(worker.FoundLink, /*marked=*/MayQueue(worker.FoundLink));
}

void CrawlController::AddFoundLinks(TmyThread& worker) {
  // AddFoundLink's rule for each link in turn, through the list's faster batch add; FoundLink
  // ends as the last link, as after one call per link.
  worker.LinksNew = static_cast<int64_t>(AddLinks(worker.FoundLinks, worker.Url));
  if (!worker.FoundLinks.empty()) worker.FoundLink = worker.FoundLinks.back();
}

size_t CrawlController::AddLinks(const std::vector<std::string>& links, std::string_view found_on) {
  if (!options_.write_report.load()) {
    return state_.seen_urls.AddEach(links,
                                    [this](std::string_view link) { return MayQueue(link); });
  }
  bool page_noted = false;
  return state_.seen_urls.AddEach(links, [&](std::string_view link) {
    if (!page_noted) {
      linking_pages_.emplace_back(found_on);
      page_noted = true;
    }
    found_on_.emplace(std::string(link), static_cast<uint32_t>(linking_pages_.size() - 1));
    return MayQueue(link);
  });
}

std::string CrawlController::FoundOn(const std::string& url) const {
  const auto it = found_on_.find(url);
  return it == found_on_.end() ? std::string() : linking_pages_[it->second];
}

void CrawlController::ServerBusy(TmyThread& worker) {
  // No worker starts before this wait is over, and the pause stays at least this long for
  // the rest of the run.
  busy_pause_ms_ = std::max(busy_pause_ms_, worker.BusyWait);
  last_request_ = std::chrono::steady_clock::now();
}

void CrawlController::SaveSeenUrls(TmyThread& /*worker*/) {
  if (done_.IsOpen()) {
    // The page is recorded as done right after this hook; the record must never reach the
    // disk before a list that holds the page's links, or a kill would lose them for good.
    seen_writer_.Stop();
    SaveFileAtomic(std::string(texts::kSeenUrlsFile), state_.seen_urls.TextPieces());
    return;
  }
  seen_writer_.Save();
}

void CrawlController::PageEnded(TmyThread& worker) {
  worker.Record.found_on = FoundOn(worker.Url);
  log_.Add(worker.Record);
  front_end_.PageEnded(worker.Record);
}

void CrawlController::ClaimText(TmyThread& worker) {
  worker.DuplicateOf = claims_.Claim(worker.WorkerId, worker.ClaimedPrint);
  if (worker.DuplicateOf >= 0) {
    WriteLabel(CounterLabel::kDuplicates,
               texts::kDuplicatesLabel + std::to_string(claims_.Duplicates()));
  }
}

void CrawlController::RemoveMonitorRow(int32_t id) {
  grid_.RemoveRow(id);
}

void CrawlController::WatchdogTick() {
  if (state_.thread_registry.empty()) return;
  const std::optional<int32_t> seconds = options_.watchdog_timeout.Value();
  if (!seconds) throw NotAnInteger(*options_.watchdog_timeout.Get());
  const int64_t limit = int64_t{*seconds} * 1000;
  ThreadRegistry keep;
  const uint32_t now = TickCount();
  for (const RegistryEntry& entry : state_.thread_registry) {
    if (static_cast<int32_t>(now - entry.tick) > limit) {
      if (KillWorker(entry.handle)) {
        RemoveMonitorRow(entry.id);
        claims_.Abandon(entry.id);
        --state_.active_threads;
        ++state_.killed_threads;
      }
    } else {
      keep.push_back(entry);
    }
  }
  state_.thread_registry = std::move(keep);
}

}  // namespace korvane
