// Reading and writing the settings file.
#include "settings/settings_file.h"

#include "base/files.h"
#include "base/text_lines.h"
#include "settings/options.h"
#include "settings/texts.h"
#include "text/extract_between.h"

namespace korvane {

namespace {
std::string Block(const std::string& open, const std::string& close, const std::string& text) {
  std::string value = ExtractBetween(open, close, text);
  if (value == kZero) value.clear();
  return value;
}
}  // namespace

SettingsTexts SettingsOf(const CrawlOptions& options) {
  return {*options.site.Get(), options.blacklist.Get()->text, options.whitelist.Get()->text,
          options.templates.Get()->text};
}

std::string SettingsFilePath() {
  return WorkingPath(texts::kSettingsFile);
}

std::optional<SettingsTexts> LoadSettings(const std::string& path) {
  if (!FileExists(path)) return std::nullopt;
  const std::string text = NormalizeLines(LoadFile(path));
  SettingsTexts settings;
  settings.site = Block("<site>", "</site>", text);
  settings.whitelist = Block("<white>", "</white>", text);
  settings.blacklist = Block("<black>", "</black>", text);
  settings.templates = Block("<templ>", "</templ>", text);
  return settings;
}

std::string SettingsFileText(const SettingsTexts& settings) {
  return "<site>" + settings.site + "</site>\r\n" + "<black>" + settings.blacklist +
         "</black>\r\n" + "<white>" + settings.whitelist + "</white>\r\n" + "<templ>" +
         settings.templates + "</templ>\r\n";
}

void SaveSettings(const std::string& path, const SettingsTexts& settings) {
  SaveFileAtomic(path, SettingsFileText(settings));
}

}  // namespace korvane
