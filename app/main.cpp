// korvane: the desktop program.
#include <QApplication>
#include <cstdio>
#include <string_view>

#include "Unit1.h"
#include "base/working_folder.h"

int main(int argc, char** argv) {
  // Answered before any display is opened, so it works on a console too.
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    std::puts("korvane " KORVANE_VERSION);
    return 0;
  }
  korvane::EnterWorkingFolder(argc, argv);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Korvane"));
  // The menu entry's name, which Wayland compositors match the window to.
  QGuiApplication::setDesktopFileName(QStringLiteral("invalid.korvane.Korvane"));
  korvane::TForm1 Form1;
  Form1.show();
  return QApplication::exec();
}
