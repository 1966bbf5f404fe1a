// The desktop's services for the windows.
#include "app/desktop.h"

#include <unistd.h>

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <cstdio>

#include "app/text_edge.h"

namespace korvane {

namespace {
MessageBoxFunction& MessageBoxSlot() {
  static MessageBoxFunction show;
  return show;
}
OpenFunction& OpenSlot() {
  static OpenFunction open;
  return open;
}
}  // namespace

void SetMessageBoxFunction(MessageBoxFunction show) {
  MessageBoxSlot() = std::move(show);
}

void SetOpenFunction(OpenFunction open) {
  OpenSlot() = std::move(open);
}

void ShowMessageBox(QWidget* parent, const QString& text) {
  if (MessageBoxSlot()) return MessageBoxSlot()(parent, text);
  QMessageBox::information(parent, QApplication::applicationName(), text);
}

void OpenWithDesktop(const QUrl& target) {
  if (OpenSlot()) return OpenSlot()(target);
  (void)QDesktopServices::openUrl(target);
}

void EndProcess() {
  std::fflush(nullptr);
  ::_exit(0);
}

void ShowErrors(QWidget* parent, const std::function<void()>& body) {
  try {
    body();
  } catch (const KorvaneError& error) {
    ShowMessageBox(parent, ErrorToQt(error));
  }
}

}  // namespace korvane
