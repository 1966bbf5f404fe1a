// The small interface through which the crawl controller reaches its front end.
#pragma once

#include <string>

#include "base/error.h"
#include "report/page_record.h"

namespace korvane {

// The counters the controller shows during a run, in this order (the window keeps one label
// for each).
enum class CounterLabel {
  kProxies,             // "прокси: " + proxies loaded
  kQueued,              // "Урлов: " + addresses waiting
  kKilled,              // "Убито потоков: " + workers ended by the watchdog
  kActive,              // active workers
  kParsed,              // pages parsed
  kRegisteredEachPass,  // (hidden) registered workers, written on every pass
  kRegistered,          // (hidden) registered workers, written on every pass and dispatch
  kDuplicates,  // "дублей: " + pages not saved as repeats (the option that saves no text twice)
};

// Every method is called on the main thread only, from inside the controller's handlers.
class FrontEnd {
 public:
  virtual ~FrontEnd() = default;

  // Shows `text` (code page 1251) in `label`.
  virtual void WriteLabel(CounterLabel label, const std::string& text) = 0;

  // Lets the front end handle what is pending for it (window events, signals); the
  // controller has already run the workers' queued hooks. May call Stop() or Halt().
  virtual void ProcessMessages() = 0;

  // A message box (or its equivalent) with `text` (code page 1251).
  virtual void ShowMessage(const std::string& text) = 0;
  // The same for an error, whose file name (KorvaneError::Split) is no code page 1251 text.
  virtual void ShowError(const KorvaneError& error) { ShowMessage(error.what()); }

  // START's template step: when saved templates are waiting, hands them to the template
  // window and saves them there (which may raise KorvaneError when the settings file cannot
  // be written). Returns whether templates are ready for selective parsing.
  virtual bool PrepareTemplates() = 0;

  // STOP's settings save; may raise KorvaneError.
  virtual void SaveSettings() = 0;

  // A page has ended; `record` says how. One call per page, after the run's counts have it.
  virtual void PageEnded(const PageRecord& /*record*/) {}

  // Turns the watchdog timer on or off.
  virtual void SetWatchdogEnabled(bool /*enabled*/) {}

  // Ends the process at once.
  [[noreturn]] virtual void Halt() = 0;
};

}  // namespace korvane
