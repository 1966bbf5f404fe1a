// korvane: the desktop program.
#include <QApplication>

#include "Unit1.h"
#include "base/working_folder.h"

int main(int argc, char** argv) {
  korvane::EnterWorkingFolder(argc, argv);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Korvane"));
  korvane::TForm1 Form1;
  Form1.show();
  return QApplication::exec();
}
