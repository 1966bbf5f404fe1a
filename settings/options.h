// CrawlOptions: the thread-safe mirror of the option controls that crawl code reads.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/guarded.h"
#include "base/strings.h"
#include "base/text_lines.h"

namespace korvane {

// A number field: its text as typed, and the whole number it reads as (ParseInt32), parsed
// once when the text is set rather than on every read.
class NumberText {
 public:
  explicit NumberText(std::string text) { Set(std::move(text)); }

  [[nodiscard]] std::shared_ptr<const std::string> Get() const { return text_.Get(); }
  // Nothing when the text is no whole number.
  [[nodiscard]] std::optional<int32_t> Value() const {
    const int64_t value = value_.load();
    if (value == kNoNumber) return std::nullopt;
    return static_cast<int32_t>(value);
  }
  void Set(std::string text) {
    const std::optional<int32_t> value = ParseInt32(text);
    text_.Set(std::move(text));
    value_.store(value ? *value : kNoNumber);
  }

 private:
  static constexpr int64_t kNoNumber = INT64_MIN;
  Guarded<std::string> text_;
  std::atomic<int64_t> value_{kNoNumber};
};

// A multi-line text field: its whole text and its lines (SplitLines of the text).
struct MemoText {
  MemoText() = default;
  explicit MemoText(std::string whole) : text(std::move(whole)), lines(SplitLines(text)) {}
  std::string text;
  Lines lines;
};

// Each member mirrors one control; the front end writes a member whenever its control changes
// (main thread), and workers read members at the moment of use (any thread), so a change made
// during a run takes effect at the next read. Members are independent: there is no snapshot of
// several at once, exactly as reading several controls one after the other.
struct CrawlOptions {
  Guarded<std::string> site;                     // Edit1: the start address
  NumberText thread_count{"10"};                 // SpinEdit1 text: most workers at once
  NumberText watchdog_timeout{"40"};             // Edit2: seconds before the watchdog ends a worker
  std::atomic<bool> ignore_whitelist{false};     // CheckBox1
  std::atomic<bool> links_only{false};           // CheckBox2
  std::atomic<bool> selective{false};            // CheckBox3
  std::atomic<bool> apostrophes{false};          // CheckBox4: ' counts as "
  std::atomic<bool> template_pages_only{false};  // CheckBox6
  std::atomic<bool> exclude_subdomains{false};   // CheckBox7
  std::atomic<bool> relative_links{false};       // CheckBox8
  std::atomic<bool> use_proxies{false};          // CheckBox10
  std::atomic<bool> normalize_anchors{true};     // CheckBox11's enabled state
  Guarded<MemoText> blacklist;                   // Memo1
  Guarded<MemoText> whitelist;                   // Memo2
  Guarded<MemoText> templates;                   // the template window's Memo1
  std::atomic<bool> markup{false};               // template window CheckBox1
  std::atomic<bool> keep_br{false};              // template window CheckBox2
  std::atomic<bool> elementary_clean{true};      // template window CheckBox3

  // The extensions, all off by default; with every one off a run sends, writes
  // and lists exactly what it would without them. They sit on the window's "Сеть" and
  // "Текст" tabs.
  std::atomic<bool> https_ports{false};        // "https://" addresses and ":port" in hosts
  std::atomic<bool> insecure_tls{false};       // accept any certificate (own test sites)
  std::atomic<bool> follow_redirects{false};   // queue the Location of a 3xx answer
  std::atomic<bool> recode_pages{false};       // page text from its charset to code page 1251
  std::atomic<bool> obey_robots{false};        // never dispatch what robots.txt disallows
  std::atomic<int64_t> request_delay_ms{0};    // at least this long between two dispatches
  std::atomic<int64_t> max_pages{0};           // stop dispatching after this many; 0 = no limit
  std::atomic<bool> continue_run{false};       // START continues the last run's address list
  std::atomic<bool> read_sitemaps{false};      // queue the sitemaps' addresses at START
  std::atomic<bool> accept_compressed{false};  // ask for gzip/deflate answers, inflate them
  std::atomic<bool> retry_busy{false};         // wait and ask again after 429 and 503
  std::atomic<bool> standard_links{false};     // links read, resolved and kept as browsers do
  std::atomic<bool> main_text{false};          // save the page's main text, not the plain text
  std::atomic<bool> skip_duplicates{false};    // save no text twice, nor a near copy
  std::atomic<bool> write_report{false};       // report/pages.csv and report/index.html
  std::atomic<bool> markdown{false};           // the main text written as Markdown
  std::atomic<bool> utf8_text{false};          // saved texts in UTF-8 (excludes recode_pages)
  std::atomic<bool> write_metadata{false};     // a record of each saved page in pages.jsonl
};

}  // namespace korvane
