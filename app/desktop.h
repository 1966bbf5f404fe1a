// What the windows ask of the desktop: message boxes, opening a document or address with its
// default program, ending the process. Tests replace the first two to capture them.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>

#include "base/error.h"

class QWidget;

namespace korvane {

using MessageBoxFunction = std::function<void(QWidget* parent, const QString& text)>;
using OpenFunction = std::function<void(const QUrl& target)>;

// Replace the message box or the opener; an empty function restores the desktop's own.
void SetMessageBoxFunction(MessageBoxFunction show);
void SetOpenFunction(OpenFunction open);

// A modal message box with `text` and an OK button, over `parent`.
void ShowMessageBox(QWidget* parent, const QString& text);
// Opens `target` with the desktop's default handler (QDesktopServices); the result is ignored.
void OpenWithDesktop(const QUrl& target);

// Ends the process at once: no worker is waited for, nothing is saved.
[[noreturn]] void EndProcess();

// Runs a handler's body. A KorvaneError it raises is shown in a message box over `parent`
// and ends the body there; the program goes on.
void ShowErrors(QWidget* parent, const std::function<void()>& body);

}  // namespace korvane
