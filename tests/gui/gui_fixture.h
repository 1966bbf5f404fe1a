// What every window test shares: a fresh working folder, captured message boxes and desktop
// opens, and a way to find a window's control by its name.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/Unit1.h"
#include "app/desktop.h"
#include "app/widgets.h"
#include "selective/Unit2.h"
#include "support/temp_dir.h"

// GoogleTest prints widget texts readably.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace korvane::testing {

class WindowTest : public ::testing::Test {
 protected:
  WindowTest() {
    SetMessageBoxFunction([this](QWidget*, const QString& text) { messages.push_back(text); });
    SetOpenFunction([this](const QUrl& target) { opened.push_back(target); });
  }
  ~WindowTest() override {
    SetMessageBoxFunction({});
    SetOpenFunction({});
  }

  // Creates the main window (and so the template window) in the working folder as it is now.
  TForm1& Open() {
    form_ = std::make_unique<TForm1>();
    return *form_;
  }
  TForm1& Form1() { return *form_; }
  TForm2& Form2() { return form_->TemplateWindow(); }

  template <class Widget>
  static Widget* Find(QWidget* window, const std::string& name) {
    auto* widget = window->findChild<Widget*>(QString::fromStdString(name));
    EXPECT_NE(widget, nullptr) << "no control " << name;
    return widget;
  }

  TempDir work_{true};  // the working folder
  std::vector<QString> messages;
  std::vector<QUrl> opened;

 private:
  std::unique_ptr<TForm1> form_;
};

}  // namespace korvane::testing
