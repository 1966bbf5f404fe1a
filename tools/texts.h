// The fixed texts of the folder tools' labels, as code page 1251 bytes (spelled in UTF-8).
#pragma once

#include <string>

#include "base/cp1251.h"
#include "base/shown_text.h"

namespace korvane::tool_texts {

inline const std::string kFilterStatus = Utf8ToCp1251(KORVANE_SHOWN("core", "Статус: "));
inline const std::string kFilterWorking = kFilterStatus + "working...";
inline constexpr std::string_view kFilterProcessing = "file processing ";
inline constexpr std::string_view kFilterDeleted = "file(s) deleted";
inline const std::string kProgress = Utf8ToCp1251(KORVANE_SHOWN("core", "Прогресс: "));
inline const std::string kJoinFinished = Utf8ToCp1251(KORVANE_SHOWN("core", " завершено"));
inline const std::string kCleanFinished = Utf8ToCp1251(KORVANE_SHOWN("core", " Все!"));
inline const std::string kDuplicatesFound = Utf8ToCp1251(KORVANE_SHOWN("core", ", дублей: "));

}  // namespace korvane::tool_texts
