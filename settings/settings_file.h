// The settings file: start address, blacklist, whitelist and templates as four tagged blocks.
#pragma once

#include <optional>
#include <string>

namespace korvane {

struct CrawlOptions;

// The four texts the settings file carries (code page 1251; memo texts with CR LF breaks).
struct SettingsTexts {
  std::string site;       // <site>...</site>
  std::string blacklist;  // <black>...</black>
  std::string whitelist;  // <white>...</white>
  std::string templates;  // <templ>...</templ>
};

// The four texts as the option mirror holds them now (the memos' whole texts).
[[nodiscard]] SettingsTexts SettingsOf(const CrawlOptions& options);

// The settings file of the working folder as a full path, the way its error texts name it.
[[nodiscard]] std::string SettingsFilePath();

// Reads the settings file. nullopt when it does not exist. Each block is ExtractBetween of its
// tags over the file's text as a line list gives it back (every line ending in CR LF), so a
// missing block reads "Error" and an empty one (or one reading "Zero") reads "". A file that
// exists but cannot be read raises KorvaneError.
[[nodiscard]] std::optional<SettingsTexts> LoadSettings(const std::string& path);

// The file's bytes: "<site>" site "</site>" CR LF "<black>" ... "<templ>" templates "</templ>"
// CR LF, each block one entry followed by CR LF.
[[nodiscard]] std::string SettingsFileText(const SettingsTexts& settings);

// Replaces the settings file whole (atomically). Raises KorvaneError ("Cannot create file")
// when it cannot be written; the folder is not created.
void SaveSettings(const std::string& path, const SettingsTexts& settings);

}  // namespace korvane
