// The one crossing between the widgets' Unicode texts and the core's bytes: code page 1251
// texts, and file names in the file system's encoding.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "base/error.h"

namespace korvane {

// Code page 1251 bytes to a widget text, and back. Every widget text the core reads or
// writes goes through this pair.
[[nodiscard]] QString ToQt(std::string_view cp1251);
[[nodiscard]] std::string FromQt(const QString& text);

// A fixed text of the core (marked KORVANE_SHOWN) as the window shows it, in the window's
// language: the translation of the whole text, else the text with each of the core's fixed
// pieces that it joins with numbers (a label's "Прогресс: ", " завершено") translated. With
// no translation installed it is ToQt's text. Never for data: file names, grid states.
//   "Файлов нет!" -> "No files!";  "Прогресс: 3/7 завершено" -> "Progress: 3/7 done"
[[nodiscard]] QString ShownToQt(std::string_view cp1251);

// A memo's whole text: the core keeps CR LF line breaks, the widget LF.
[[nodiscard]] QString MemoToQt(std::string_view cp1251);
[[nodiscard]] std::string MemoFromQt(const QString& text);

// A file or folder name: the file system's own bytes, not code page 1251 text, so a folder
// such as "/home/иван/parse" reaches the tools as the name the system knows.
[[nodiscard]] QString PathToQt(std::string_view native);
[[nodiscard]] std::string PathFromQt(const QString& text);

// An error's text: its file name through PathToQt, the rest through ToQt.
[[nodiscard]] QString ErrorToQt(const KorvaneError& error);

}  // namespace korvane
