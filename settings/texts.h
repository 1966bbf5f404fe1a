// Every fixed text of the crawl engine: captions, messages, markers and file names. Texts are
// code page 1251 bytes, as the engine stores them; the source spells them in UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "base/cp1251.h"

namespace korvane::texts {

// Counter labels written during a run.
inline const std::string kProxiesLabel = Utf8ToCp1251("прокси: ");        // CounterLabel::kProxies
inline const std::string kUrlsLabel = Utf8ToCp1251("Урлов: ");            // CounterLabel::kQueued
inline const std::string kKilledLabel = Utf8ToCp1251("Убито потоков: ");  // CounterLabel::kKilled
inline const std::string kDuplicatesLabel = Utf8ToCp1251("дублей: ");     // on "Текст"

// START refuses selective parsing without saved templates.
inline const std::string kNoTemplates =
    Utf8ToCp1251("Не задано шаблонов для селективного парсинга");
// The template window refuses to save an empty template list.
inline const std::string kNeedOneBlock =
    Utf8ToCp1251("Для селективного парсинга нужен хотя бы 1 блок");

// The user agent of the template window's test fetch.
inline constexpr std::string_view kTestUserAgent = "Yandex/1.01.001 (compatible; Win16; P)";

// Worker status and state prefixes shown in the monitor.
inline constexpr std::string_view kStatusFail = "[FAIL]";
inline constexpr std::string_view kStatusSuccess = "[SUCCESS]";
inline constexpr std::string_view kStateGet = "[get] ";
inline constexpr std::string_view kStateParseLinks = "[parse] links ";
inline constexpr std::string_view kStateSelectiveText = "[sel_parse] text ";
inline constexpr std::string_view kStateParseText = "[parse] text ";
inline constexpr std::string_view kStateDone = "[done] ";
inline constexpr std::string_view kStateWait = "[wait] ";  // + "N s " + address

// Monitor grid header.
inline constexpr std::string_view kGridHeader[3] = {"id", "state", "worktime"};

// Files and folders, relative to the working folder.
inline constexpr std::string_view kUserAgentsFile = "UA.txt";
inline constexpr std::string_view kProxiesFile = "proxy.txt";
inline constexpr std::string_view kSeenUrlsFile = "parsed_urls.txt";
inline constexpr std::string_view kDoneUrlsFile = "done_urls.txt";  // ended workers' addresses
inline constexpr std::string_view kResultFolder = "parse";
inline constexpr std::string_view kSettingsFolder = "settings";
inline constexpr std::string_view kSettingsFile = "settings/settings.txt";
inline constexpr std::string_view kExtensionsFile = "settings/extensions.txt";  // UTF-8
inline constexpr std::string_view kTestFolder = "SelectiveParseTest";
inline constexpr std::string_view kTestRawFile = "SelectiveParseTest/html.txt";
inline constexpr std::string_view kTestResultFile = "SelectiveParseTest/test.txt";
// The text joiner's default output, in the result folder.
inline constexpr std::string_view kDefaultJoinFile = "parse/union.txt";

// The program's own web address, in the window's caption and behind its link; the reserved
// top-level domain keeps it from naming anybody's site.
inline constexpr std::string_view kProgramSite = "http://korvane.invalid/";

// The template window's test fetch ended without writing its result file.
inline const std::string kTestWroteNothing = Utf8ToCp1251(
    "Тестовый запрос завершился, не записав результат \"SelectiveParseTest/test.txt\"");

// The blacklist of a first start: pictures, then link-sharing and search sites.
inline constexpr std::string_view kDefaultBlacklist =
    ".jpg\r\n.gif\r\n.jpeg\r\n.png\r\nbit.ly\r\ngoo.gl\r\ntinyurl.com\r\ngoogle.\r\nyandex.";

}  // namespace korvane::texts
