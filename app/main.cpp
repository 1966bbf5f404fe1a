// korvane: the desktop program.
#include <QApplication>

#include "Unit1.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Korvane"));
  korvane::TForm1 Form1;
  Form1.show();
  return QApplication::exec();
}
