// The commands of korvane-cli over the crawl engine.
#include "cli/commands.h"

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <optional>

#include "base/cp1251.h"
#include "base/error.h"
#include "base/files.h"
#include "crawl/controller.h"
#include "crawl/test_fetch.h"
#include "crawl/worker.h"
#include "net/address.h"
#include "net/fetcher.h"
#include "net/http_answer.h"
#include "net/recode.h"
#include "policy/links.h"
#include "policy/standard_links.h"
#include "report/run_summary.h"
#include "settings/settings_file.h"
#include "settings/texts.h"
#include "text/templates.h"

namespace korvane::cli {

namespace {

std::atomic<int> signals_received{0};

extern "C" void OnSignal(int) {
  signals_received.fetch_add(1);
}

void InstallSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

void PrintError(const std::string& cp1251_text) {
  std::cerr << "korvane-cli: " << Cp1251ToUtf8(cp1251_text) << std::endl;
}

void PrintError(const KorvaneError& error) {
  std::cerr << "korvane-cli: " << ErrorToUtf8(error) << std::endl;
}

// The front end of a headless crawl: counters on stderr, messages as errors, signals as
// STOP and HALT. The settings file is never written.
class CliFrontEnd final : public FrontEnd {
 public:
  explicit CliFrontEnd(const CrawlOptions& options) : options_(options) {
    // The window's first captions, until the run writes its own texts.
    labels_[static_cast<size_t>(CounterLabel::kQueued)] = Utf8ToCp1251("урлов: 0");
    labels_[static_cast<size_t>(CounterLabel::kKilled)] = Utf8ToCp1251("убито потоков: 0");
    labels_[static_cast<size_t>(CounterLabel::kProxies)] = Utf8ToCp1251("прокси: 0");
  }
  void Attach(CrawlController* controller) { controller_ = controller; }

  void WriteLabel(CounterLabel label, const std::string& text) override {
    labels_[static_cast<size_t>(label)] = text;
  }

  void ProcessMessages() override {
    const int seen = signals_received.load();
    if (seen >= 2) Halt();
    if (seen == 1 && !stop_sent_) {
      stop_sent_ = true;
      std::cerr << "korvane-cli: stopping; waiting for the running workers" << std::endl;
      controller_->Stop();
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - last_print_ >= std::chrono::seconds(1)) {
      last_print_ = now;
      std::cerr << CounterLine() << std::endl;
    }
  }

  void ShowMessage(const std::string& text) override { PrintError(text); }
  void ShowError(const KorvaneError& error) override { PrintError(error); }

  bool PrepareTemplates() override { return !options_.templates.Get()->lines.empty(); }

  void SaveSettings() override {}

  [[noreturn]] void Halt() override {
    std::cerr << "korvane-cli: halted" << std::endl;
    std::_Exit(130);
  }

  [[nodiscard]] std::string CounterLine() const {
    return Cp1251ToUtf8(Label(CounterLabel::kQueued) + " | " + Label(CounterLabel::kProxies) +
                        " | " + Label(CounterLabel::kKilled)) +
           " | active: " + Label(CounterLabel::kActive) +
           " | parsed: " + Label(CounterLabel::kParsed) + DuplicatesPart();
  }

 private:
  // Only a run that skips repeated texts counts them.
  [[nodiscard]] std::string DuplicatesPart() const {
    const std::string& text = labels_[static_cast<size_t>(CounterLabel::kDuplicates)];
    return text.empty() ? "" : " | " + Cp1251ToUtf8(text);
  }

  [[nodiscard]] std::string Label(CounterLabel label) const {
    const std::string& text = labels_[static_cast<size_t>(label)];
    return text.empty() ? "0" : text;
  }

  const CrawlOptions& options_;
  CrawlController* controller_ = nullptr;
  std::string labels_[static_cast<size_t>(CounterLabel::kDuplicates) + 1];
  bool stop_sent_ = false;
  std::chrono::steady_clock::time_point last_print_{};
};

// A front end for commands that run no crawl.
class QuietFrontEnd final : public FrontEnd {
 public:
  void WriteLabel(CounterLabel, const std::string&) override {}
  void ProcessMessages() override {}
  void ShowMessage(const std::string& text) override { PrintError(text); }
  void ShowError(const KorvaneError& error) override { PrintError(error); }
  bool PrepareTemplates() override { return true; }
  void SaveSettings() override {}
  [[noreturn]] void Halt() override { std::_Exit(130); }
};

// The page as a crawl worker extracts its text from, edited in the file's own mapping: its
// anchors normalised unless `received` asks for the page as it arrived, then recoded or
// converted to UTF-8 when the run asks for either.
class TextPage {
 public:
  TextPage(const std::string& file, const CrawlOptions& options, bool received = false)
      : file_(file), page_(file_.data(), file_.size()) {
    if (!received && options.normalize_anchors.load()) {
      page_ = NormalizeAnchorsIn(file_.data(), file_.size(), TextEnd::kEither);
    }
    if (options.recode_pages.load() || options.utf8_text.load()) {
      converted_ = std::string(page_);
      ConvertForText(converted_, options);
      page_ = converted_;
    }
  }

  [[nodiscard]] std::string_view Bytes() const { return page_; }

 private:
  MappedFile file_;
  std::string converted_;
  std::string_view page_;
};

// The summary of the run on stderr; 3 when not a single page could be fetched.
int ReportRun(const RunLog& log, const CrawlOptions& options) {
  const bool continued = options.continue_run.load();
  const std::string summary = RunSummary(log.Run(), log.ElapsedSeconds(), continued);
  for (size_t at = 0; at < summary.size();) {
    const size_t end = summary.find('\n', at);
    std::cerr << "korvane-cli: " << summary.substr(at, end + 1 - at);
    at = end + 1;
  }
  if (!log.ReportError().empty()) PrintError("the report is incomplete: " + log.ReportError());
  // A continued run that found every page done has nothing to fetch; that is no failure.
  const bool nothing_left = log.Run().Pages() == 0 && continued;
  return log.Run().Fetched() == 0 && !nothing_left ? kNothingFetched : 0;
}

void WriteBytes(const std::string& bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
}

// With the sitemaps option, what the run read from the sitemaps and what their bounds cut.
void PrintSitemapCounts(const CrawlController& controller, const CrawlOptions& options) {
  if (!options.read_sitemaps.load()) return;
  std::cerr << "korvane-cli: " << SitemapSummary(controller.Sitemaps()) << std::endl;
}

}  // namespace

std::string ErrorToUtf8(const KorvaneError& error) {
  const KorvaneError::Parts parts = error.Split();
  return Cp1251ToUtf8(parts.before) + std::string(parts.path) + Cp1251ToUtf8(parts.after);
}

void LoadSettingsInto(CrawlOptions& options) {
  const auto settings = LoadSettings(std::string(texts::kSettingsFile));
  if (!settings) {
    options.blacklist.Set(MemoText(std::string(texts::kDefaultBlacklist)));
    return;
  }
  options.site.Set(settings->site);
  options.blacklist.Set(MemoText(settings->blacklist));
  options.whitelist.Set(MemoText(settings->whitelist));
  options.templates.Set(MemoText(settings->templates));
}

int RunCrawl(CrawlOptions& options) {
  InstallSignalHandlers();
  CliFrontEnd front_end(options);
  CrawlController controller(options, front_end);
  front_end.Attach(&controller);
  if (const auto note = StartAddressNote(*options.site.Get(), options.https_ports.load())) {
    std::cerr << "korvane-cli: " << *note << std::endl;
  }
  const StartResult result = controller.Start();
  const CrawlState& state = controller.State();
  std::cerr << front_end.CounterLine() << std::endl;
  if (result != StartResult::kFinished) return 1;
  std::cerr << "korvane-cli: run ended: " << state.parsed_count << " pages parsed, "
            << state.seen_urls.Count() << " addresses in " << texts::kSeenUrlsFile << std::endl;
  PrintSitemapCounts(controller, options);
  return ReportRun(controller.Log(), options);
}

int PrintPlainText(const std::string& file, const std::string& url, CrawlOptions& options) {
  std::string text =
      PlainModeText(TextPage(file, options, TextReadsReceivedPage(options)).Bytes(), options, url);
  NormalizeLinesInPlace(text);
  WriteBytes(text);
  return 0;
}

int PrintMeta(const std::string& file, const std::string& url, CrawlOptions& options) {
  const TextPage page(file, options, TextReadsReceivedPage(options));
  PageMetaReader reader = MetaReaderFor(page.Bytes(), options);
  std::string text = PlainModeText(page.Bytes(), options, url, &reader);
  NormalizeLinesInPlace(text);
  const PagePassport passport = ReadPassport(reader, page.Bytes(), text, text, url);
  WriteBytes(PassportJson(url, passport, nullptr) + "\n");
  return 0;
}

int PrintTemplateText(const std::string& file, CrawlOptions& options) {
  std::string text = TemplateModeText(TextPage(file, options).Bytes(), options);
  NormalizeLinesInPlace(text);
  WriteBytes(text);
  return 0;
}

int PrintLinks(const std::string& file, const std::string& url, CrawlOptions& options) {
  std::string page = LoadFile(file);
  // The redirect comes from the answer as received, as in a worker.
  const std::optional<std::string> location = FollowedRedirect(page, options);
  std::string out;
  const auto print = [&out](std::string link) {
    out += link;
    out += '\n';
  };
  const auto blacklist = options.blacklist.Get();
  if (options.standard_links.load()) {
    const StandardLinks links = StandardPageLinks(
        page, url, ReadStandardLinkOptions(options, blacklist->lines), location, print);
    WriteBytes(out);
    if (links.Unparsable() + links.Cut() > 0) {
      std::cerr << "unparsable: " << links.Unparsable() << ", over the page bound: " << links.Cut()
                << std::endl;
    }
    return 0;
  }
  NormalizeFetchedPage(page, options);
  const UrlTarget target = SplitUrl(url, options.https_ports.load());
  PageLinks(page, url, target.host, ReadLinkOptions(options, blacklist->lines, target.scheme),
            location, print);
  WriteBytes(out);
  return 0;
}

int RunTestFetch(const std::string& url, CrawlOptions& options) {
  QuietFrontEnd front_end;
  CrawlController controller(options, front_end);
  if (RunTestFetch(controller, url) != TestFetchResult::kWritten) {
    PrintError("the test fetch wrote no result file");
    return 1;
  }
  std::cout << texts::kTestResultFile << std::endl;
  return 0;
}

}  // namespace korvane::cli
