// The crawl worker's pipelines.
#include "crawl/worker.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "base/clock.h"
#include "base/cp1251.h"
#include "base/error.h"
#include "base/files.h"
#include "base/strings.h"
#include "net/http_answer.h"
#include "net/recode.h"
#include "net/retry.h"
#include "policy/links.h"
#include "settings/texts.h"
#include "text/admission.h"
#include "text/main_text.h"
#include "text/main_text_tree.h"
#include "text/plain_text.h"
#include "text/templates.h"

namespace korvane {

namespace {

// Thrown inside the pipeline when the worker has been ended from outside.
struct WorkerCancelled {};

using std::chrono::milliseconds;

// How often a waiting worker looks at STOP and its cancel, and refreshes its state.
constexpr auto kWaitSlice = milliseconds(50);
constexpr auto kShowEvery = milliseconds(1000);

// The wait was ended by STOP or a cancel: the page is left undone (no file, not recorded as
// done) and the worker ends as after an error.
struct WaitStopped {};

// Saves `text` with its line breaks made CR LF; returns the bytes written.
size_t SaveTextLines(std::string_view path, std::string_view text) {
  if (IsNormalized(text)) {
    SaveFileAtomic(std::string(path), text);
    return text.size();
  }
  const std::string lines = NormalizeLines(text);
  SaveFileAtomic(std::string(path), lines);
  return lines.size();
}

}  // namespace

void WorkerHost::AddFoundLinks(TmyThread& worker) {
  for (const std::string& link : worker.FoundLinks) {
    worker.FoundLink = link;
    AddFoundLink(worker);
  }
}

std::string PlainModeText(std::string_view page, const CrawlOptions& options, std::string_view url,
                          main_text::ParseListener* listener) {
  if (!options.main_text.load()) return ExtractPlainText(page);
  const PageBytes bytes = TextBytes(options);
  if (options.markdown.load()) return ExtractMainMarkdown(page, bytes, url, listener);
  return ExtractMainText(page, bytes, listener);
}

PageBytes TextBytes(const CrawlOptions& options) {
  if (options.recode_pages.load()) return PageBytes::kCp1251;
  return options.utf8_text.load() ? PageBytes::kUtf8 : PageBytes::kLatin1;
}

void ConvertForText(std::string& page, const CrawlOptions& options) {
  if (options.recode_pages.load()) {
    RecodePageInPlace(page);
  } else if (options.utf8_text.load()) {
    ConvertPageToUtf8InPlace(page);
  }
}

std::string TextOfTyped(const std::string& typed, const CrawlOptions& options) {
  return options.utf8_text.load() ? Cp1251ToUtf8(typed) : typed;
}

Lines LinesOfTyped(const Lines& typed, const CrawlOptions& options) {
  if (!options.utf8_text.load()) return typed;
  Lines lines;
  lines.reserve(typed.size());
  for (const std::string& line : typed) lines.push_back(Cp1251ToUtf8(line));
  return lines;
}

std::string TemplateModeText(std::string_view page, const CrawlOptions& options) {
  const TemplateOptions template_options{options.markup.load(), options.keep_br.load(),
                                         options.elementary_clean.load()};
  return ApplyTemplates(page, LinesOfTyped(options.templates.Get()->lines, options),
                        template_options);
}

std::optional<std::string> FollowedRedirect(std::string_view answer, const CrawlOptions& options) {
  return options.follow_redirects.load() ? RedirectLocation(answer) : std::nullopt;
}

void NormalizeFetchedPage(std::string& page, const CrawlOptions& options) {
  if (options.normalize_anchors.load()) NormalizeAnchorsInPlace(page);
}

void PageLinks(std::string_view page, const std::string& url, const std::string& host,
               const LinkOptions& link_options, const std::optional<std::string>& location,
               const std::function<void(std::string link)>& on_link) {
  if (location) {
    if (auto link = BuildLink(*location, url, host, link_options)) on_link(std::move(*link));
  }
  ExtractLinks(page, url, host, link_options, on_link);
}

StandardLinks StandardPageLinks(std::string_view page, const std::string& url,
                                const StandardLinkOptions& options,
                                const std::optional<std::string>& location,
                                const std::function<void(std::string link)>& on_link) {
  StandardLinks links(options);
  if (location) {
    if (auto link = links.Admit(*location, url)) on_link(std::move(*link));
  }
  links.Extract(page, url, on_link);
  return links;
}

bool TextReadsReceivedPage(const CrawlOptions& options) {
  return options.main_text.load() && options.normalize_anchors.load() &&
         !options.links_only.load() && !options.selective.load();
}

LinkOptions ReadLinkOptions(const CrawlOptions& options, const Lines& blacklist,
                            std::string scheme) {
  return {options.apostrophes.load(),
          options.exclude_subdomains.load(),
          options.relative_links.load(),
          *options.site.Get(),
          &blacklist,
          std::move(scheme)};
}

StandardLinkOptions ReadStandardLinkOptions(const CrawlOptions& options, const Lines& blacklist) {
  return {*options.site.Get(), options.https_ports.load(), options.exclude_subdomains.load(),
          options.obey_robots.load(), &blacklist};
}

PageMetaReader MetaReaderFor(std::string_view page, const CrawlOptions& options) {
  const PageBytes bytes = TextBytes(options);
  if (bytes != PageBytes::kLatin1) return PageMetaReader(bytes);
  std::string charset = PageCharset(page);
  if (charset.empty() || charset == "utf-8" || charset == "utf8") return PageMetaReader(bytes);
  return PageMetaReader(bytes, [charset = std::move(charset)](std::string_view text) {
    return BodyToUtf8(text, charset);
  });
}

PagePassport ReadPassport(PageMetaReader& reader, std::string_view page, std::string_view text,
                          std::string_view saved, std::string_view url) {
  // A text that came from no parse of the page (the plain text, the templates' text): the
  // page is parsed for its metadata alone.
  if (!reader.Listened()) {
    const size_t body = std::min(BodyStart(page), page.size());
    (void)main_text::ParseTree(page.substr(body), reader.Bytes(), &reader);
  }
  const std::string url_utf8 = IsValidUtf8(url) ? std::string(url) : Cp1251ToUtf8(url);
  return MakePassport(reader.Result(url_utf8, reader.ToUtf8(text)), saved);
}

std::string ResultFilePath(int32_t id) {
  return std::string(texts::kResultFolder) + "/" + std::to_string(id) + ".txt";
}

TmyThread::TmyThread(WorkerHost& host, std::string url, int32_t worker_id, std::string user_agent,
                     WorkerMode mode)
    : Url(std::move(url)),
      UserAgent(std::move(user_agent)),
      WorkerId(worker_id),
      host_(host),
      mode_(mode) {}

void TmyThread::Cancel() {
  cancelled_.store(true);
  fetch_cancel_.Cancel();
}

void TmyThread::Execute() {
  if (mode_ == WorkerMode::kTest) {
    try {
      RunTestPipeline();
    } catch (...) {
      // A test fetch that cannot write its files simply ends; the window's wait is bounded.
    }
    return;
  }
  if (mode_ == WorkerMode::kRobots || mode_ == WorkerMode::kSitemap) {
    try {
      Fetch(SplitUrl(Url, host_.Options().https_ports.load()), Answer);
    } catch (...) {
      // A failed or cancelled fetch leaves no answer, which allows everything.
      Answer.clear();
    }
    return;
  }
  Record.worker = WorkerId;
  Record.url = Url;
  Record.start_ms = WallClockMs();
  try {
    RunCrawlPipeline();
  } catch (const KorvaneError& error) {
    // Any error ends the pipeline early with ThreadStatus still "[FAIL]".
    page_.error = error.what();
  } catch (...) {
    page_.error = "internal error";
  }
  Record.total_ms = WallClockMs() - Record.start_ms;
  SetOutcome(Record, page_, DuplicateOf);
  RunFinishingHooks();
}

void TmyThread::RunFinishingHooks() {
  for (WorkerHost::Hook hook : {&WorkerHost::PageEnded, &WorkerHost::UnregisterThread,
                                &WorkerHost::ThreadFinished, &WorkerHost::DecActiveThreads}) {
    if (Cancelled()) return;
    try {
      host_.Synchronize(*this, hook);
    } catch (...) {
      // A failing hook must not keep the next one from running: the run waits for the last.
    }
  }
}

void TmyThread::Sync(WorkerHost::Hook hook) {
  if (!host_.Synchronize(*this, hook)) throw WorkerCancelled{};
}

void TmyThread::SetState(std::string_view prefix) {
  ThreadState = std::string(prefix) + Url;
}

bool TmyThread::Fetch(const UrlTarget& target, std::string& page) {
  const CrawlOptions& options = host_.Options();
  FetchLimits limits = host_.Limits();
  limits.ask_compressed = options.accept_compressed.load();
  if (mode_ == WorkerMode::kSitemap) {
    limits.body = AnswerBody::kRaw;
  } else if (limits.ask_compressed) {
    limits.body = AnswerBody::kInflate;
  }
  const bool verify = !options.insecure_tls.load();
  int32_t code;
  if (!options.use_proxies.load() || host_.FirstRequestPending()) {
    code = FetchUrlDirect(target, UserAgent, verify, page, limits, &fetch_cancel_, &fetch_report_);
    host_.ClearFirstRequestPending();
  } else {
    const auto proxies = host_.ProxyList();
    if (!proxies || proxies->empty()) throw KorvaneError("no proxy to send the request through");
    const std::string& line = (*proxies)[static_cast<size_t>(
        RandomBelow(static_cast<int32_t>(std::min<size_t>(proxies->size(), INT32_MAX))))];
    const size_t colon = line.find(':');
    if (colon == std::string::npos) throw NotAnInteger(line);
    ProxyPort = line.substr(colon + 1);
    ProxyHost = DeleteFirst(line, ":" + ProxyPort);
    // The port field is 16 bits wide; a larger number keeps its low bits.
    const auto port = static_cast<uint16_t>(StrToInt(ProxyPort));
    page_.via_proxy = true;
    code = FetchUrlViaProxy(target, Url, ProxyHost, port, UserAgent, verify, page, limits,
                            &fetch_cancel_, &fetch_report_);
  }
  page_.fetched = true;
  page_.fetch_code = code;
  page_.fetch_end = fetch_report_.end;
  if (Cancelled()) throw WorkerCancelled{};
  return code >= 0;
}

bool TmyThread::FetchPatiently(const UrlTarget& target, std::string& page) {
  bool fetched = Fetch(target, page);
  for (int retry = 0; retry < kMostRetries && host_.Options().retry_busy.load(); ++retry) {
    const std::optional<int64_t> wait = BusyWaitMs(page, std::chrono::system_clock::now());
    if (!wait) break;
    BusyWait = *wait;
    Sync(&WorkerHost::ServerBusy);
    const auto until = std::chrono::steady_clock::now() + milliseconds(*wait);
    auto next_show = std::chrono::steady_clock::now();
    for (auto now = next_show; now < until; now = std::chrono::steady_clock::now()) {
      if (Cancelled() || host_.StopRequested()) throw WaitStopped{};
      if (now >= next_show) {
        const auto left = std::chrono::ceil<std::chrono::seconds>(until - now).count();
        ThreadState = std::string(texts::kStateWait) + std::to_string(left) + " s " + Url;
        Sync(&WorkerHost::ShowState);
        // A wait is no hang: the watchdog measures from here.
        Sync(&WorkerHost::RefreshWorkTime);
        next_show += kShowEvery;
      }
      std::this_thread::sleep_for(
          std::min<std::chrono::steady_clock::duration>(kWaitSlice, until - now));
    }
    SetState(texts::kStateGet);
    Sync(&WorkerHost::ShowState);
    fetched = Fetch(target, page);
  }
  return fetched;
}

bool TmyThread::RecordedFetch(const UrlTarget& target, std::string& page) {
  const int64_t start = WallClockMs();
  const bool fetched = FetchPatiently(target, page);
  Record.fetch_ms = WallClockMs() - start;
  Record.bytes = static_cast<int64_t>(page.size());
  Record.status = AnswerStatus(page).value_or(0);
  if (page_.via_proxy) Record.proxy = ProxyHost + ":" + ProxyPort;
  return fetched;
}

void TmyThread::RunCrawlPipeline() {
  const CrawlOptions& options = host_.Options();
  ThreadHandle = static_cast<int32_t>(::syscall(SYS_gettid));
  Sync(&WorkerHost::RegisterThread);
  SetState(texts::kStateGet);
  Sync(&WorkerHost::ShowState);
  // With the https extension off this is the plain split: UrlHost, UrlPath, port 80.
  const UrlTarget target = SplitUrl(Url, options.https_ports.load());
  Host = target.host;

  std::string page;
  const bool fetched = RecordedFetch(target, page);
  const std::optional<std::string> location = FollowedRedirect(page, options);

  SetState(texts::kStateParseLinks);
  Sync(&WorkerHost::RefreshWorkTime);
  Sync(&WorkerHost::ShowState);

  // Decided once: the options may change while the page is worked on.
  const bool text_from_received = TextReadsReceivedPage(options);
  std::string received;
  if (text_from_received) received = page;

  const auto blacklist = options.blacklist.Get();
  // One main-thread call for all the page's links, not one per link.
  FoundLinks.clear();
  const auto add_link = [&](std::string link) { FoundLinks.push_back(std::move(link)); };
  if (options.standard_links.load()) {
    // The parser reads the page as received; the normalised copy serves only the text.
    const StandardLinks links = StandardPageLinks(
        page, Url, ReadStandardLinkOptions(options, blacklist->lines), location, add_link);
    Record.links_unparsable = static_cast<int64_t>(links.Unparsable());
    NormalizeFetchedPage(page, options);
  } else {
    NormalizeFetchedPage(page, options);
    PageLinks(page, Url, Host, ReadLinkOptions(options, blacklist->lines, target.scheme), location,
              add_link);
  }
  Record.links_found = static_cast<int64_t>(FoundLinks.size());
  if (!FoundLinks.empty()) Sync(&WorkerHost::AddFoundLinks);
  Record.links_new = LinksNew;
  // Freed here, on this thread, rather than by the main thread when it reaps the worker.
  FoundLinks = {};
  Sync(&WorkerHost::SaveSeenUrls);
  Sync(&WorkerHost::RefreshWorkTime);

  if (!options.links_only.load()) {
    // Links came from the bytes as received; the text is judged and stored in code page 1251,
    // or in UTF-8, when the run asks for either.
    ConvertForText(page, options);
    const Lines whitelist = LinesOfTyped(options.whitelist.Get()->lines, options);
    const Lines templates = LinesOfTyped(options.templates.Get()->lines, options);
    const AdmissionOptions admission{options.template_pages_only.load(),
                                     options.ignore_whitelist.load(), &whitelist, &templates};
    if (AdmitPage(TextOfTyped(Url, options), page, admission)) {
      std::string text;
      std::optional<PageMetaReader> reader;
      if (options.write_metadata.load()) reader.emplace(MetaReaderFor(page, options));
      if (options.selective.load()) {
        SetState(texts::kStateSelectiveText);
        Sync(&WorkerHost::ShowState);
        text = TemplateModeText(page, options);
      } else {
        SetState(texts::kStateParseText);
        Sync(&WorkerHost::ShowState);
        if (text_from_received) ConvertForText(received, options);
        text = PlainModeText(text_from_received ? received : page, options, Url,
                             reader ? &*reader : nullptr);
      }
      const std::string saved = WriteResultFile(text);
      // A repeated text gets a record too: it names the saved text it repeats and describes
      // the text that was not written. PageDone writes the record before SetOutcome runs.
      Record.duplicate_of = DuplicateOf;
      if (reader && (TextWritten || DuplicateOf >= 0)) {
        Passport = ReadPassport(*reader, page, text, saved, Url);
      }
    } else {
      page_.stage = PageStage::kNotAdmitted;
    }
  } else {
    page_.stage = PageStage::kLinksOnly;
  }

  if (Cancelled()) throw WorkerCancelled{};
  host_.PageDone(*this);

  SetState(texts::kStateDone);
  Sync(&WorkerHost::ShowState);
  // A fetch that failed is reported as a failure, never as a success.
  if (fetched) ThreadStatus = texts::kStatusSuccess;
}

std::string TmyThread::WriteResultFile(const std::string& text) {
  if (Cancelled()) throw WorkerCancelled{};
  std::string content = host_.Options().markup.load()
                            ? "<URL>" + TextOfTyped(Url, host_.Options()) + "</URL>\r\n" + text
                            : text;
  if (!IsNormalized(content)) content = NormalizeLines(content);
  // A repeated text is not written: the page ends as a duplicate.
  if (host_.Options().skip_duplicates.load() && RepeatsSavedText(text)) return content;
  page_.stage = PageStage::kWriting;
  EnsureDirectory(std::string(texts::kResultFolder));
  const std::string path = ResultFilePath(WorkerId);
  SaveFileAtomic(path, content);
  page_.stage = PageStage::kWritten;
  page_.text_empty = text.empty();
  Record.result_file = path;
  Record.result_bytes = static_cast<int64_t>(content.size());
  TextWritten = true;
  return content;
}

bool TmyThread::RepeatsSavedText(std::string_view content) {
  // The fingerprint is made here, so the main-thread hook only looks it up.
  ClaimedPrint =
      std::make_shared<const TextPrint>(MakeTextPrint(ResultText(content), DuplicateMeasure()));
  Sync(&WorkerHost::ClaimText);
  return DuplicateOf >= 0;
}

void TmyThread::RunTestPipeline() {
  const CrawlOptions& options = host_.Options();
  const UrlTarget target = SplitUrl(Url, options.https_ports.load());
  Host = target.host;
  std::string page;
  FetchUrlDirect(target, UserAgent, !options.insecure_tls.load(), page, host_.Limits(),
                 &fetch_cancel_);
  if (Cancelled()) return;
  EnsureDirectory(std::string(texts::kTestFolder));
  SaveTextLines(texts::kTestRawFile, page);
  ConvertForText(page, options);
  page = TemplateModeText(page, options);
  if (Cancelled()) return;
  SaveTextLines(texts::kTestResultFile, page);
}

}  // namespace korvane
