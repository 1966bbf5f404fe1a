// TmyThread: the crawl worker, one thread per fetched address.
//
// Contract:
// - Execute() runs on the worker's own thread with no lock held. The worker changes shared
//   state only through hooks that WorkerHost::Synchronize runs on the main thread while the
//   worker waits; it reads options from CrawlOptions at the moment of use. The one direct
//   call is WorkerHost::PageDone, which the host makes safe from any thread.
// - A crawl worker runs PageEnded, UnregisterThread, ThreadFinished and DecActiveThreads
//   exactly once,
//   whatever happens in its pipeline, unless it was ended from outside (Cancel); an error
//   ends the pipeline early and leaves ThreadStatus at "[FAIL]". Errors never leave Execute.
// - A cancelled worker runs no further hook and writes no file.
// - The test worker (WorkerMode::kTest) and the robots.txt worker (WorkerMode::kRobots) run
//   no hook at all.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/text_lines.h"
#include "net/address.h"
#include "net/fetcher.h"
#include "policy/links.h"
#include "policy/standard_links.h"
#include "report/page_record.h"
#include "report/pages_jsonl.h"
#include "settings/options.h"
#include "text/main_text.h"
#include "text/near_duplicates.h"
#include "text/page_meta.h"

namespace korvane {

class TmyThread;

// Which pipeline a worker runs. Chosen by the caller, never by the user-agent text, so no line
// of "UA.txt" can send a crawl worker down the test pipeline.
// kRobots fetches the site's robots.txt at START by the route a page takes, keeps the answer
// in `Answer` and does nothing else; kSitemap does the same for a sitemap, keeping every byte
// of the answer (AnswerBody::kRaw).
enum class WorkerMode { kCrawl, kTest, kRobots, kSitemap };

// What a worker needs from the run it belongs to. Hooks are called only through Synchronize,
// on the main thread; the rest on the worker's thread.
class WorkerHost {
 public:
  using Hook = void (WorkerHost::*)(TmyThread&);

  virtual ~WorkerHost() = default;

  // Worker thread. Runs `hook` on the main thread while the worker waits and rethrows what it
  // throws. Returns false, without running it, when the worker has been cancelled.
  virtual bool Synchronize(TmyThread& worker, Hook hook) = 0;

  // Worker thread: options and the few shared values a worker reads directly.
  [[nodiscard]] virtual const CrawlOptions& Options() const = 0;
  [[nodiscard]] virtual std::shared_ptr<const Lines> ProxyList() const = 0;
  [[nodiscard]] virtual bool FirstRequestPending() const = 0;
  virtual void ClearFirstRequestPending() = 0;
  [[nodiscard]] virtual FetchLimits Limits() const { return {}; }
  // Worker thread: STOP was pressed during this run (a waiting worker then stops waiting).
  [[nodiscard]] virtual bool StopRequested() const { return false; }
  // Worker thread: the page is finished, its links saved and its result file written; a
  // continued run need not fetch it again.
  virtual void PageDone(TmyThread&) {}

  // Hooks, main thread only.
  virtual void RegisterThread(TmyThread&) {}
  virtual void ShowState(TmyThread&) {}
  virtual void RefreshWorkTime(TmyThread&) {}
  virtual void UnregisterThread(TmyThread&) {}
  virtual void ThreadFinished(TmyThread&) {}
  virtual void DecActiveThreads(TmyThread&) {}
  virtual void AddFoundLink(TmyThread&) {}
  // The links of one page in one call: AddFoundLink for each of worker.FoundLinks in order,
  // with FoundLink set to it, so the lists change exactly as with one call per link.
  virtual void AddFoundLinks(TmyThread& worker);
  virtual void SaveSeenUrls(TmyThread&) {}
  // The first finishing hook: worker.Record is the page's whole record.
  virtual void PageEnded(TmyThread&) {}
  // The server answered busy and the worker waits worker.BusyWait ms before asking again.
  virtual void ServerBusy(TmyThread&) {}
  // With the option that saves no text twice: checks worker.ClaimedPrint against the texts the
  // run has saved and claims it when it repeats none (worker.DuplicateOf stays -1).
  virtual void ClaimText(TmyThread&) {}
};

class TmyThread {
 public:
  TmyThread(WorkerHost& host, std::string url, int32_t worker_id, std::string user_agent,
            WorkerMode mode);
  TmyThread(const TmyThread&) = delete;
  TmyThread& operator=(const TmyThread&) = delete;

  // The thread body. Never throws.
  void Execute();

  // Any thread: ends the worker cooperatively. Its fetch returns at once, it runs no further
  // hook and writes no file.
  void Cancel();
  [[nodiscard]] bool Cancelled() const { return cancelled_.load(); }
  [[nodiscard]] const std::atomic<bool>& CancelFlag() const { return cancelled_; }

  // Fields read by the hooks (written by the worker before it synchronises a hook).
  std::string ThreadStatus{"[FAIL]"};   // "[SUCCESS]" once the pipeline has run to its end
  std::string ThreadState;              // state prefix + Url, shown in the monitor
  std::string Host;                     // UrlHost(Url)
  std::string FoundLink;                // the link handed to AddFoundLink
  std::vector<std::string> FoundLinks;  // the page's admitted links, for AddFoundLinks
  const std::string Url;
  std::string ProxyHost;
  std::string ProxyPort;
  const std::string UserAgent;
  double WorkTime = 0;  // seconds of the last stage
  const int32_t WorkerId;
  int32_t ThreadHandle = 0;  // the thread's system id
  std::string Answer;        // kRobots: the answer as received, read once the thread has ended
  int32_t DuplicateOf = -1;  // the number of the saved text this page repeats, or -1
  int64_t LinksNew = 0;      // set by AddFoundLinks: how many of FoundLinks were new
  PageRecord Record;         // the page's record, whole when PageEnded runs
  int64_t BusyWait = 0;      // ms the worker waits after a busy answer, for ServerBusy
  std::shared_ptr<const TextPrint> ClaimedPrint;  // the result text's fingerprint, for ClaimText
  bool TextWritten = false;                       // the result file has been written
  std::optional<PagePassport> Passport;  // with the metadata option: the page's pages.jsonl facts

 private:
  void RunCrawlPipeline();
  void RunTestPipeline();
  // The page of `target` as fetched; false when the fetch failed (no socket, no connection,
  // no TLS).
  bool Fetch(const UrlTarget& target, std::string& page);
  // Fetch, then with the retry option, while the answer is 429 or 503, up to kMostRetries
  // times: wait as it asks (net/retry.h), the state showing the wait, and fetch again.
  // STOP or a cancel ends a wait by throwing.
  bool FetchPatiently(const UrlTarget& target, std::string& page);
  // Writes the result file of `text`; returns its bytes, also when the text repeats a saved
  // one and is not written (then TextWritten stays false and DuplicateOf names that text).
  std::string WriteResultFile(const std::string& text);
  // Times the fetch and notes what it brought in Record and page_.
  bool RecordedFetch(const UrlTarget& target, std::string& page);
  // Claims `content` (the result file's bytes) for this page; true when it repeats a text the
  // run has saved, and then DuplicateOf names that text's number.
  bool RepeatsSavedText(std::string_view content);
  void SetState(std::string_view prefix);
  // Runs a hook on the main thread; unwinds the pipeline when the worker was cancelled.
  void Sync(WorkerHost::Hook hook);
  void RunFinishingHooks();

  WorkerHost& host_;
  const WorkerMode mode_;
  std::atomic<bool> cancelled_{false};
  FetchCancel fetch_cancel_;
  FetchReport fetch_report_;
  PageFacts page_;  // what the record's outcome is made from
};

// The text a worker saves for `page` (as received, converted by ConvertForText) when it runs
// neither links-only nor selective: the main text with that option on (as Markdown, its links
// resolved against `url`, with the Markdown option too), else the plain text.
// The page is only read; the text is made in a buffer of its own. A `listener` sees the main
// text's parse.
[[nodiscard]] std::string PlainModeText(std::string_view page, const CrawlOptions& options,
                                        std::string_view url,
                                        main_text::ParseListener* listener = nullptr);

// How the main text maps the bytes of a page that ConvertForText has worked on.
[[nodiscard]] PageBytes TextBytes(const CrawlOptions& options);

// The answer's body recoded to code page 1251 when the run recodes, converted to UTF-8 when it
// saves UTF-8, else left as it is.
void ConvertForText(std::string& page, const CrawlOptions& options);

// A text typed in the window (code page 1251) in the bytes of the saved texts: UTF-8 when the
// run saves UTF-8, else as typed. So templates and whitelist words match the converted page.
[[nodiscard]] std::string TextOfTyped(const std::string& typed, const CrawlOptions& options);
[[nodiscard]] Lines LinesOfTyped(const Lines& typed, const CrawlOptions& options);

// The text a worker saves for `page` in selective mode: the saved templates applied with the
// template window's options.
[[nodiscard]] std::string TemplateModeText(std::string_view page, const CrawlOptions& options);

// The Location of a redirect answer when the run follows redirects; read from the answer as
// received.
[[nodiscard]] std::optional<std::string> FollowedRedirect(std::string_view answer,
                                                          const CrawlOptions& options);

// The page as the link step reads it: its anchors normalised when the run normalises them.
void NormalizeFetchedPage(std::string& page, const CrawlOptions& options);

// The link step of the page at `url`: the redirect's target `location` first, built as the
// page's first anchor, then the page's anchors; each link kept is handed to `on_link`.
void PageLinks(std::string_view page, const std::string& url, const std::string& host,
               const LinkOptions& link_options, const std::optional<std::string>& location,
               const std::function<void(std::string link)>& on_link);

// The same with links read as a browser reads them, from the page as received (not
// normalised). Returns the step, whose counts say what did not parse or was cut.
[[nodiscard]] StandardLinks StandardPageLinks(std::string_view page, const std::string& url,
                                              const StandardLinkOptions& options,
                                              const std::optional<std::string>& location,
                                              const std::function<void(std::string link)>& on_link);

// True when the saved text is made from the page as received, not from the copy whose anchors
// were normalised for the link step: the main text's parser must see "<aside" or a script's
// "i<a" as they stand, where the normalisation would cut up to the next "href=".
[[nodiscard]] bool TextReadsReceivedPage(const CrawlOptions& options);

// The link rules' options as the options stand, for a page on `scheme`; `blacklist` must
// outlive the result.
[[nodiscard]] LinkOptions ReadLinkOptions(const CrawlOptions& options, const Lines& blacklist,
                                          std::string scheme);

// The browser-like link step's options as the options stand; `blacklist` must outlive the
// result.
[[nodiscard]] StandardLinkOptions ReadStandardLinkOptions(const CrawlOptions& options,
                                                          const Lines& blacklist);

// A reader of the page's metadata for a parse of `page` (the answer as ConvertForText left
// it) in TextBytes(options).
[[nodiscard]] PageMetaReader MetaReaderFor(std::string_view page, const CrawlOptions& options);

// The pages.jsonl facts of a page: what `reader` read of `page` (parsing it now when no parse
// of the text has), the language told from `text`, and the size, words and digest of `saved`
// (the result file's bytes).
[[nodiscard]] PagePassport ReadPassport(PageMetaReader& reader, std::string_view page,
                                        std::string_view text, std::string_view saved,
                                        std::string_view url);

// The result file of worker `id`: "parse/<id>.txt".
[[nodiscard]] std::string ResultFilePath(int32_t id);

}  // namespace korvane
