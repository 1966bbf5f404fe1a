// A front end for engine tests: records labels and messages, and lets a test act on each pass.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "base/error.h"
#include "crawl/front_end.h"

namespace korvane::testing {

class FakeFrontEnd : public FrontEnd {
 public:
  void WriteLabel(CounterLabel label, const std::string& text) override {
    labels.emplace_back(label, text);
  }
  void ProcessMessages() override {
    ++passes;
    if (on_pass) on_pass();
  }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void PageEnded(const PageRecord& record) override { records.push_back(record); }
  bool PrepareTemplates() override { return templates_ready; }
  void SaveSettings() override {
    if (fail_save) throw KorvaneError("Cannot create file \"settings/settings.txt\". x");
    ++settings_saves;
  }
  [[noreturn]] void Halt() override { throw std::runtime_error("halt"); }

  std::vector<std::pair<CounterLabel, std::string>> labels;
  std::vector<std::string> messages;
  std::vector<PageRecord> records;
  std::function<void()> on_pass;  // called on every message-processing pass
  int passes = 0;
  int settings_saves = 0;
  bool templates_ready = false;
  bool fail_save = false;
};

}  // namespace korvane::testing
