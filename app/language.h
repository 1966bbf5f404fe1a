// The windows' language: the original Russian texts, or their English translation looked up
// through Qt's translation system (translations/korvane_en.ts, compiled into korvane_en.qm).
#pragma once

#include <QStringList>
#include <optional>

namespace korvane {

enum class Language { kRussian, kEnglish };

// The language for a desktop whose UI languages, most wanted first, are `ui_languages`
// (QLocale::uiLanguages()): the first that is Russian or English decides, and a bare "C" or
// "POSIX" system counts as Russian, the texts the program has always shown; a desktop in
// neither language gets English.
//   {"ru-RU"} -> Russian;  {"C"} -> Russian;  {"de-DE"} -> English;
//   {"de-DE", "ru-RU"} -> Russian;  {"en-GB", "ru-RU"} -> English
[[nodiscard]] Language DesktopLanguage(const QStringList& ui_languages);

// Takes every "--lang ru", "--lang en" (or "--lang=ru", "--lang=en") out of argv, argc
// shrinking, and returns the language of the last; nullopt without the option. Another value,
// or none, raises std::invalid_argument with the text to print.
[[nodiscard]] std::optional<Language> TakeLanguageOption(int& argc, char** argv);

// Makes `language` the one the windows made from now on show: English installs the
// translation (the installed korvane_en.qm beside the program, else the one built into it),
// Russian removes it. Returns false when English was asked for and no translation loads.
bool UseLanguage(Language language);

}  // namespace korvane
