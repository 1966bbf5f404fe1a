// The selective-parse window.
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>

#include "Unit2.h"
#include "app/Unit1.h"
#include "app/binding.h"
#include "app/desktop.h"
#include "app/text_edge.h"
#include "base/files.h"
#include "crawl/test_fetch.h"
#include "settings/texts.h"
#include "text/block_skeleton.h"

namespace korvane {

namespace {

constexpr int kStripHeight = 64;
constexpr int kMemoHeight = 394;
constexpr int kClientWidth = 739;

template <class Widget>
Widget* Place(Widget* widget, const char* name, int x, int y, int width, int height) {
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(x, y, width, height);
  return widget;
}

}  // namespace

TForm2::TForm2(CrawlOptions& options, TForm1& form1) : options_(options), form1_(form1) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("SelectiveParse Settings"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  // The strip's controls keep their first pixel geometry, which was drawn for a narrower
  // font than today's desktop fonts: a slightly smaller size lets every caption fit it.
  QFont strip_font = form1.font();
  strip_font.setPointSizeF(7.5);
  setFont(strip_font);
  setFixedSize(kClientWidth, kStripHeight + kMemoHeight);
  move(413, 142);

  Button3 = Place(new QPushButton(QStringLiteral("add new block"), this), "Button3", 8, 8, 81, 25);
  Button1 = Place(new QPushButton(QStringLiteral("save"), this), "Button1", 96, 8, 75, 25);
  Button2 = Place(new QPushButton(QStringLiteral("test  >>>"), this), "Button2", 176, 8, 75, 25);
  Edit1 = Place(new QLineEdit(QStringLiteral("URL"), this), "Edit1", 264, 8, 465, 21);
  Edit1->setAccessibleName(QStringLiteral("URL"));
  CheckBox1 = Place(new QCheckBox(QStringLiteral("размечать результаты парсинга"), this),
                    "CheckBox1", 8, 40, 233, 17);
  CheckBox2 = Place(new QCheckBox(QStringLiteral("сохранять тэг <br>"), this), "CheckBox2", 208, 40,
                    129, 17);
  CheckBox3 = Place(new QCheckBox(QStringLiteral("Элементарная чистка"), this), "CheckBox3", 344,
                    40, 137, 17);
  CheckBox3->setChecked(true);
  Memo1 = Place(new QPlainTextEdit(this), "Memo1", 0, kStripHeight, kClientWidth, kMemoHeight);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setTabChangesFocus(true);
  Memo1->setAccessibleName(QStringLiteral("templates"));

  // The binding block: the template memo and the three finishing options.
  BindMemo(Memo1, options_.templates);
  BindOptionTables(this, "Form2.", options_);  // CheckBox1 ... CheckBox3

  connect(Button3, &QPushButton::clicked, this, &TForm2::Button3Click);
  connect(Button1, &QPushButton::clicked, this,
          [this] { ShowErrors(this, [this] { Button1Click(); }); });
  connect(Button2, &QPushButton::clicked, this, &TForm2::Button2Click);
  FormCreate();
}

TForm2::~TForm2() {
  qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
}

void TForm2::FormCreate() {
  TemplatesReady = false;
}

bool TForm2::TakeTemplates(const std::string& templates) {
  if (!templates.empty()) {
    Memo1->setPlainText(MemoToQt(templates));
    Button1Click();
  }
  return TemplatesReady;
}

void TForm2::ShowWithTemplates(const std::string& templates) {
  TakeTemplates(templates);
  show();
  raise();
  activateWindow();
}

void TForm2::Button3Click() {
  Memo1->setPlainText(MemoToQt(AddBlockSkeleton(options_.templates.Get()->text)));
}

void TForm2::Button1Click() {
  if (options_.templates.Get()->lines.empty()) {
    return ShowMessageBox(this, ToQt(texts::kNeedOneBlock));
  }
  TemplatesReady = true;
  form1_.savesettings();
}

void TForm2::Button2Click() {
  form1_.RunLongHandler(
      [this] { ShowTestResult(RunTestFetch(form1_.Controller(), FromQt(Edit1->text()))); });
}

void TForm2::ShowTestResult(TestFetchResult result) {
  if (result == TestFetchResult::kBusy) return;
  if (result == TestFetchResult::kNothing) {
    return ShowMessageBox(this, ToQt(texts::kTestWroteNothing));
  }
  const std::string path = WorkingPath(texts::kTestResultFile);
  OpenWithDesktop(QUrl::fromLocalFile(QFile::decodeName(path.c_str())));
}

}  // namespace korvane
