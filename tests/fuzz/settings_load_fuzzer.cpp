// LoadSettings on any file, and a save followed by a load on any four texts that a save can
// carry.
// Input: one mode byte; bit 0 clear: the rest is the file. Bit 0 set: the site \x1f the
// blacklist \x1f the whitelist \x1f the templates, saved and loaded back.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "base/files.h"
#include "fuzz_support.h"
#include "settings/settings_file.h"
#include "text/extract_between.h"

namespace korvane::fuzz {
namespace {

constexpr std::string_view kTags[] = {"<site>",  "</site>",  "<black>", "</black>",
                                      "<white>", "</white>", "<templ>", "</templ>"};

// A folder in memory for this process, removed when the fuzzer exits.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::error_code error;
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error)
                                           ? "/dev/shm"
                                           : std::filesystem::temp_directory_path();
    path_ = base / ("korvane-settings-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }
  [[nodiscard]] std::string File() const { return (path_ / "settings.txt").string(); }

 private:
  std::filesystem::path path_;
};

const std::string& SettingsPath() {
  static const ScratchFolder folder;
  static const std::string path = folder.File();
  return path;
}

// A block read from a file never holds its own closing tag and never reads "Zero".
void CheckBlock(std::string_view value, std::string_view closing) {
  Check(value.find(closing) == std::string_view::npos, "a block stops at its closing tag");
  Check(value != kZero, "a block reading Zero is emptied");
}

// A text comes back from a save and a load unchanged when it holds no tag and no NUL, uses
// only CR LF breaks and does not read "Zero".
bool Survives(std::string_view text) {
  if (text == kZero || text.find('\0') != std::string_view::npos) return false;
  for (const std::string_view tag : kTags) {
    if (text.find(tag) != std::string_view::npos) return false;
  }
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) return false;
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
  }
  return true;
}

void LoadAnyFile(std::string_view bytes) {
  SaveFileAtomic(SettingsPath(), bytes);
  const std::optional<SettingsTexts> settings = LoadSettings(SettingsPath());
  Check(settings.has_value(), "an existing file loads");
  CheckBlock(settings->site, "</site>");
  CheckBlock(settings->blacklist, "</black>");
  CheckBlock(settings->whitelist, "</white>");
  CheckBlock(settings->templates, "</templ>");
}

void SaveAndLoad(FuzzInput& input) {
  SettingsTexts saved;
  saved.site = input.TakeField();
  saved.blacklist = input.TakeField();
  saved.whitelist = input.TakeField();
  saved.templates = input.Rest();
  SaveSettings(SettingsPath(), saved);
  const std::optional<SettingsTexts> loaded = LoadSettings(SettingsPath());
  Check(loaded.has_value(), "a saved file loads");
  // A tag or a NUL in one text also spoils the others, so all four must be plain.
  const auto fields = {&SettingsTexts::site, &SettingsTexts::blacklist, &SettingsTexts::whitelist,
                       &SettingsTexts::templates};
  for (auto field : fields) {
    if (!Survives(saved.*field)) return;
  }
  for (auto field : fields) CheckSame("a saved text loaded back", saved.*field, (*loaded).*field);
}

}  // namespace
}  // namespace korvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvane::fuzz;
  FuzzInput input(data, size);
  if (input.TakeByte() & 1) {
    SaveAndLoad(input);
  } else {
    LoadAnyFile(input.Rest());
  }
  return 0;
}
