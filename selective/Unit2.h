// TForm2, the selective-parse window: the template text with its three finishing options, a
// block skeleton button, save, and one test fetch whose result opens in the desktop's viewer.
#pragma once

#include <QWidget>
#include <string>

#include "crawl/test_fetch.h"
#include "settings/options.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace korvane {

class TForm1;

class TForm2 final : public QWidget {
  Q_OBJECT

 public:
  // Created hidden; `form1` writes the settings file for its save and runs its test fetch.
  TForm2(CrawlOptions& options, TForm1& form1);
  ~TForm2() override;

  // START's template step: with `templates` not empty, makes it the memo's text and saves
  // (raising KorvaneError when the settings file cannot be written). Returns TemplatesReady.
  bool TakeTemplates(const std::string& templates);
  // The main window's "SelectiveParse": TakeTemplates, then shows the window.
  void ShowWithTemplates(const std::string& templates);

  // Handlers.
  void FormCreate();
  void Button3Click();  // "add new block"
  void Button1Click();  // "save"; raises KorvaneError when the settings file cannot be written
  void Button2Click();  // "test  >>>"

  // Set by the first save that finds at least one template line; never cleared.
  bool TemplatesReady = false;

  QPushButton* Button3;  // "add new block"
  QPushButton* Button1;  // "save"
  QPushButton* Button2;  // "test  >>>": one test fetch
  QLineEdit* Edit1;      // the test fetch's address
  QCheckBox* CheckBox1;  // "размечать результаты парсинга": mark up the parsing results
  QCheckBox* CheckBox2;   // "сохранять тэг <br>": keep the br tag
  QCheckBox* CheckBox3;   // "Элементарная чистка": elementary cleaning
  QPlainTextEdit* Memo1;  // the templates, one block per line

 private:
  // Opens the test result, or says that the test fetch wrote none; a refused second press
  // shows nothing.
  void ShowTestResult(TestFetchResult result);

  CrawlOptions& options_;
  TForm1& form1_;
};

}  // namespace korvane
