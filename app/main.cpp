// korvane: the desktop program.
#include <QApplication>
#include <QLocale>
#include <cstdio>
#include <stdexcept>
#include <string_view>

#include "Unit1.h"
#include "app/language.h"
#include "base/working_folder.h"

int main(int argc, char** argv) {
  // Answered before any display is opened, so it works on a console too.
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    std::puts("korvane " KORVANE_VERSION);
    return 0;
  }
  std::optional<korvane::Language> language;
  try {
    language = korvane::TakeLanguageOption(argc, argv);
  } catch (const std::invalid_argument& error) {
    std::fprintf(stderr, "korvane: %s\n", error.what());
    return 2;
  }
  korvane::EnterWorkingFolder(argc, argv);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Korvane"));
  // The menu entry's name, which Wayland compositors match the window to.
  QGuiApplication::setDesktopFileName(QStringLiteral("invalid.korvane.Korvane"));
  if (!korvane::UseLanguage(
          language.value_or(korvane::DesktopLanguage(QLocale::system().uiLanguages())))) {
    std::fputs("korvane: the English translation cannot be loaded\n", stderr);
  }
  korvane::TForm1 Form1;
  Form1.show();
  return QApplication::exec();
}
