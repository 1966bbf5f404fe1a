// The main window without a crawl: what a first start shows, the binding block, the settings
// file and the small handlers.
#include <gmock/gmock.h>
#include <sys/stat.h>

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>

#include "app/text_edge.h"
#include "base/cp1251.h"
#include "gui_fixture.h"
#include "settings/option_table.h"

namespace korvane::testing {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

class MainWindowTest : public WindowTest {};

TEST_F(MainWindowTest, FirstStartShowsTheDesignDefaultsWithoutAMessage) {
  TForm1& form = Open();
  const QString folder = QString::fromStdString(work_.path());

  EXPECT_EQ(form.windowTitle(), QStringLiteral("Korvane [http://korvane.invalid/]"));
  EXPECT_EQ(form.size(), QSize(734, 605));
  EXPECT_EQ(form.minimumSize(), form.maximumSize());
  EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
  QStringList pages;
  for (int i = 0; i < form.PageControl1->count(); ++i) pages << form.PageControl1->tabText(i);
  EXPECT_EQ(pages, QStringList({QStringLiteral("Настройки"), QStringLiteral("Black n White"),
                                QStringLiteral("Фильтр результатов"), QStringLiteral("TextJoiner"),
                                QStringLiteral("TextCleaner"), QStringLiteral("PathMaker"),
                                QStringLiteral("Сеть"), QStringLiteral("Текст"),
                                QStringLiteral("Отчёт")}));
  EXPECT_EQ(form.PageControl1->currentIndex(), 0);

  EXPECT_EQ(form.Edit1->text(), QString());
  EXPECT_EQ(form.SpinEdit1->value(), 10);
  EXPECT_EQ(form.Edit2->text(), QStringLiteral("40"));
  EXPECT_FALSE(form.Edit2->isEnabled());
  EXPECT_FALSE(form.Label4->isEnabled());
  EXPECT_EQ(form.Memo1->toPlainText().split(QLatin1Char('\n')),
            QStringList({QStringLiteral(".jpg"), QStringLiteral(".gif"), QStringLiteral(".jpeg"),
                         QStringLiteral(".png"), QStringLiteral("bit.ly"), QStringLiteral("goo.gl"),
                         QStringLiteral("tinyurl.com"), QStringLiteral("google."),
                         QStringLiteral("yandex.")}));
  EXPECT_EQ(form.Memo2->toPlainText(), QString());
  for (QCheckBox* box : form.findChildren<QCheckBox*>()) {
    EXPECT_FALSE(box->isChecked()) << box->objectName().toStdString();
  }
  EXPECT_FALSE(form.CheckBox5->isEnabled());
  EXPECT_TRUE(form.CheckBox11->isEnabled());
  EXPECT_EQ(form.CheckBox4->text(), QStringLiteral("' = \""));

  for (QLineEdit* edit : {form.Edit3, form.Edit6, form.Edit11, form.Edit12}) {
    EXPECT_EQ(edit->text(), folder + QStringLiteral("/parse")) << edit->objectName().toStdString();
  }
  EXPECT_EQ(form.Edit4->text(), folder + QStringLiteral("/parse/union.txt"));
  EXPECT_EQ(form.Edit7->text(), QStringLiteral("1024"));
  EXPECT_EQ(form.Edit8->text(), QStringLiteral("&"));
  EXPECT_EQ(form.Edit9->text(), QStringLiteral(";"));
  EXPECT_EQ(form.Edit13->text(), QStringLiteral("150"));
  EXPECT_EQ(form.Edit5->text(), QString(97, QLatin1Char('-')));
  EXPECT_TRUE(form.Edit5->isHidden());

  const std::pair<QLabel*, const char*> captions[] = {
      {form.Label5, "активных потоков:"},
      {form.Label6, "0"},
      {form.Label8, "пропарсено урлов:"},
      {form.Label9, "0"},
      {form.Label18, "урлов: 0"},
      {form.Label3, "убито потоков: 0"},
      {form.Label27, "прокси: 0"},
      {form.Label24, "Статус: ready"},
      {form.Label21, "Прогресс: 0/0"},
      {form.Label32, "Прогресс:"},
      {form.Label33, "Прогресс:"},
      {form.Label37, "Прогресс:"},
      {static_cast<QLabel*>(form.Label7), "посетить сайт программы "}};
  for (const auto& [label, caption] : captions) {
    EXPECT_EQ(label->text(), QString::fromUtf8(caption)) << label->objectName().toStdString();
  }
  EXPECT_TRUE(form.Label14->isHidden());
  EXPECT_TRUE(form.Label28->isHidden());
  EXPECT_EQ(form.Label1->buddy(), form.Edit1);
  EXPECT_EQ(form.Edit1->accessibleName(), QStringLiteral("сайт:"));

  QTableWidget* grid = form.StringGrid1;
  EXPECT_EQ(grid->rowCount(), 1);
  EXPECT_EQ(grid->item(0, 0)->text(), QString());
  EXPECT_EQ(grid->horizontalHeaderItem(0)->text(), QStringLiteral("id"));
  EXPECT_EQ(grid->horizontalHeaderItem(1)->text(), QStringLiteral("state"));
  EXPECT_EQ(grid->horizontalHeaderItem(2)->text(), QStringLiteral("worktime"));
  EXPECT_EQ(grid->columnWidth(0), 47);
  EXPECT_EQ(grid->columnWidth(1), 590);
  EXPECT_EQ(grid->columnWidth(2), 75);
  EXPECT_EQ(grid->rowHeight(0), 15);
  EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_EQ(form.Timer1->interval(), 10000);
  EXPECT_FALSE(form.Timer1->isActive());

  TForm2& form2 = Form2();
  EXPECT_TRUE(form2.isHidden());
  EXPECT_EQ(form2.windowTitle(), QStringLiteral("SelectiveParse Settings"));
  EXPECT_EQ(form2.Edit1->text(), QStringLiteral("URL"));
  EXPECT_EQ(form2.Button2->text(), QStringLiteral("test  >>>"));
  EXPECT_FALSE(form2.CheckBox1->isChecked());
  EXPECT_FALSE(form2.CheckBox2->isChecked());
  EXPECT_TRUE(form2.CheckBox3->isChecked());
  EXPECT_EQ(form2.Memo1->toPlainText(), QString());
  EXPECT_EQ(form2.Memo1->lineWrapMode(), QPlainTextEdit::NoWrap);
  EXPECT_FALSE(form2.TemplatesReady);

  EXPECT_EQ(form.TemplatesText, "");
  EXPECT_EQ(form.Options().blacklist.Get()->lines.size(), 9u);
  EXPECT_THAT(messages, IsEmpty());
  EXPECT_FALSE(work_.Exists("settings/settings.txt"));
}

// Every check box of the option table, on whichever window and tab it sits.
TEST_F(MainWindowTest, EveryCheckBoxOfTheOptionTableWritesItsOption) {
  TForm1& form = Open();
  for (const CheckOption& row : kCheckOptions) {
    const std::string control(row.control);
    const bool on_form2 = control.starts_with("Form2.");
    QWidget* window = on_form2 ? static_cast<QWidget*>(&Form2()) : &form;
    auto* box = Find<QCheckBox>(window, on_form2 ? control.substr(6) : control);
    ASSERT_NE(box, nullptr);
    if (!row.extension_caption.empty()) {
      EXPECT_EQ(box->text().toStdString(), row.extension_caption);
    }
    std::atomic<bool>& option = form.Options().*row.member;
    for (int click = 0; click < 2; ++click) {
      box->click();
      EXPECT_EQ(option.load(), box->isChecked()) << control << " after click " << click;
    }
  }
  // Options that exclude each other: ticking one unticks the other, both ways.
  for (const CheckOption& row : kCheckOptions) {
    if (row.excludes.empty()) continue;
    auto* one = Find<QCheckBox>(&form, std::string(row.control));
    auto* other = Find<QCheckBox>(&form, std::string(FindCheckOption(row.excludes)->control));
    one->setChecked(true);
    other->setChecked(true);
    EXPECT_FALSE(one->isChecked()) << row.control;
    one->setChecked(true);
    EXPECT_FALSE(other->isChecked()) << row.control;
    EXPECT_TRUE(ExcludedPair(form.Options()).empty());
  }
  // CheckBox11 counts by its enabled state, not its tick.
  form.CheckBox11->setEnabled(false);
  EXPECT_FALSE(form.Options().normalize_anchors.load());
  form.CheckBox11->setEnabled(true);
  EXPECT_TRUE(form.Options().normalize_anchors.load());
  for (const NumberOption& row : kNumberOptions) {
    auto* field = Find<QSpinBox>(&form, std::string(row.control));
    ASSERT_NE(field, nullptr);
    auto* label = qobject_cast<QLabel*>(field->parentWidget()->findChildren<QLabel*>().value(0));
    EXPECT_NE(label, nullptr);
    EXPECT_EQ(field->accessibleName().toStdString(), row.caption);
    EXPECT_EQ(field->maximum(), INT_MAX);
    field->setValue(1234);
    EXPECT_EQ((form.Options().*row.member).load(), 1234) << row.control;
  }
}

TEST_F(MainWindowTest, EditsAndMemosWriteTheirOptionsInCodePage1251) {
  TForm1& form = Open();
  CrawlOptions& options = form.Options();
  const std::string cyrillic = Utf8ToCp1251("пример");
  struct Case {
    const char* control;
    std::function<void()> change;
    std::function<std::string()> option;
    std::string expected;
  };
  const Case cases[] = {
      {"Edit1", [&] { form.Edit1->setText(QStringLiteral("http://пример/")); },
       [&] { return *options.site.Get(); }, "http://" + cyrillic + "/"},
      {"SpinEdit1", [&] { form.SpinEdit1->setValue(-3); },
       [&] { return *options.thread_count.Get(); }, "-3"},
      {"SpinEdit1 cleared", [&] { form.SpinEdit1->findChild<QLineEdit*>()->setText(QString()); },
       [&] { return *options.thread_count.Get(); }, ""},
      {"Memo1", [&] { form.Memo1->setPlainText(QStringLiteral("пример\n.gif\n")); },
       [&] { return options.blacklist.Get()->text; }, cyrillic + "\r\n.gif\r\n"},
      {"Memo2", [&] { form.Memo2->setPlainText(QStringLiteral("a\n\nb")); },
       [&] { return options.whitelist.Get()->text; }, "a\r\n\r\nb"},
      {"Form2.Memo1", [&] { Form2().Memo1->setPlainText(QStringLiteral("t")); },
       [&] { return options.templates.Get()->text; }, "t"},
  };
  for (const Case& c : cases) {
    c.change();
    EXPECT_EQ(c.option(), c.expected) << c.control;
  }
  EXPECT_THAT(options.blacklist.Get()->lines, ElementsAre(cyrillic, ".gif"));
  EXPECT_THAT(options.whitelist.Get()->lines, ElementsAre("a", "", "b"));
}

TEST_F(MainWindowTest, SeparatorFieldFollowsTheMouseButNotTheKeyboard) {
  TForm1& form = Open();
  form.show();
  form.PageControl1->setCurrentWidget(form.TabSheet4);
  const QPoint box = form.CheckBox9->rect().center();
  QTest::mouseClick(form.CheckBox9, Qt::LeftButton, {}, QPoint(8, box.y()));
  EXPECT_TRUE(form.CheckBox9->isChecked());
  EXPECT_TRUE(form.Edit5->isVisible());
  form.CheckBox9->setFocus();
  QTest::keyClick(form.CheckBox9, Qt::Key_Space);
  EXPECT_FALSE(form.CheckBox9->isChecked());
  EXPECT_TRUE(form.Edit5->isVisible());
  QTest::mouseClick(form.CheckBox9, Qt::LeftButton, {}, QPoint(8, box.y()));
  QTest::mouseClick(form.CheckBox9, Qt::LeftButton, {}, QPoint(8, box.y()));
  EXPECT_FALSE(form.CheckBox9->isChecked());
  EXPECT_FALSE(form.Edit5->isVisible());
}

TEST_F(MainWindowTest, MonitorSwitchFoldsToTheCountersAndBack) {
  TForm1& form = Open();
  form.show();
  form.Button2->click();
  EXPECT_EQ(form.frameGeometry().height(), 275);
  form.Button2->click();
  EXPECT_EQ(form.frameGeometry().height(), 630);
}

TEST_F(MainWindowTest, LinkOpensTheProgramsAddress) {
  TForm1& form = Open();
  form.Label7Click();
  EXPECT_THAT(opened, ElementsAre(QUrl(QStringLiteral("http://korvane.invalid/"))));
  form.Label7MouseMove();
  EXPECT_EQ(form.Label7->cursor().shape(), Qt::PointingHandCursor);
}

// ---- The settings file ----

class SettingsTest : public WindowTest {
 protected:
  void SetUp() override { work_.Write("settings/.keep", ""); }
  std::string SettingsBytes() { return work_.Read("settings/settings.txt"); }
};

TEST_F(SettingsTest, CyrillicTextsRoundTripAsCodePage1251Bytes) {
  TForm1& form = Open();
  form.Edit1->setText(QStringLiteral("http://сайт.рф/"));
  form.Memo1->setPlainText(QStringLiteral("реклама\n.jpg"));
  form.Memo2->setPlainText(QStringLiteral("статьи\n"));
  Form2().Memo1->setPlainText(
      QStringLiteral("[blockname]текст[/blockname][start]<p>[/start][stop]</p>[/stop]"));
  form.Button3->click();  // STOP writes the file
  EXPECT_THAT(messages, IsEmpty());
  // "сайт" and "реклама" as a Windows-1251 editor writes them.
  const std::string site = "http://\xF1\xE0\xE9\xF2.\xF0\xF4/";
  const std::string black = "\xF0\xE5\xEA\xEB\xE0\xEC\xE0\r\n.jpg";
  const std::string white = Utf8ToCp1251("статьи") + "\r\n";
  const std::string templ =
      "[blockname]" + Utf8ToCp1251("текст") + "[/blockname][start]<p>[/start][stop]</p>[/stop]";
  EXPECT_EQ(SettingsBytes(), "<site>" + site + "</site>\r\n<black>" + black +
                                 "</black>\r\n<white>" + white + "</white>\r\n<templ>" + templ +
                                 "</templ>\r\n");
  EXPECT_EQ(form.TemplatesText, templ);

  TForm1& again = Open();
  EXPECT_EQ(again.Edit1->text(), QStringLiteral("http://сайт.рф/"));
  EXPECT_EQ(again.Memo1->toPlainText(), QStringLiteral("реклама\n.jpg"));
  EXPECT_EQ(again.Memo2->toPlainText(), QStringLiteral("статьи\n"));
  EXPECT_EQ(again.TemplatesText, templ);
  EXPECT_EQ(Form2().Memo1->toPlainText(), QString());  // until START or SelectiveParse
}

TEST_F(SettingsTest, LoadsEveryBlockWhateverItsPlaceAndMarksMissingOnes) {
  struct Case {
    const char* name;
    std::string file;
    const char* site;
    const char* black;
    const char* white;
    std::string templ;
  };
  const Case cases[] = {
      {"zero bytes", "", "Error", "Error", "Error", "Error"},
      {"another order, two on a line",
       "<templ>t</templ><white>w</white>\r\n<site>s</site>\n<black>b1\r\nb2</black>", "s", "b1\nb2",
       "w", "t"},
      {"empty and Zero blocks",
       "<site>Zero</site><black></black><white>Zero</white><templ></templ>", "", "", "", ""},
  };
  for (const Case& c : cases) {
    work_.Write("settings/settings.txt", c.file);
    TForm1& form = Open();
    EXPECT_EQ(form.Edit1->text(), QString::fromUtf8(c.site)) << c.name;
    EXPECT_EQ(form.Memo1->toPlainText(), QString::fromUtf8(c.black)) << c.name;
    EXPECT_EQ(form.Memo2->toPlainText(), QString::fromUtf8(c.white)) << c.name;
    EXPECT_EQ(form.TemplatesText, c.templ) << c.name;
  }
  EXPECT_THAT(messages, IsEmpty());
}

// The extension tabs come back from settings/extensions.txt, the other check boxes do not.
TEST_F(SettingsTest, ExtensionTabsAreRememberedAndTheDesignsBoxesAreNot) {
  work_.Write("settings/extensions.txt", "robots = true\ndelay = 250\nignore-whitelist = true\n");
  TForm1& form = Open();
  EXPECT_TRUE(form.Options().obey_robots.load());
  EXPECT_EQ(form.Options().request_delay_ms.load(), 250);
  EXPECT_FALSE(form.Options().ignore_whitelist.load());
  auto* markdown = Find<QCheckBox>(&form, "TextCheckBox5");
  EXPECT_FALSE(markdown->isEnabled());  // only with the main text
  Find<QCheckBox>(&form, "TextCheckBox1")->setChecked(true);
  EXPECT_TRUE(markdown->isEnabled());
  markdown->setChecked(true);
  form.Button3->click();
  EXPECT_THAT(work_.Read("settings/extensions.txt"),
              AllOf(HasSubstr("robots = true\n"), HasSubstr("main-text = true\n"),
                    HasSubstr("markdown = true\n"), HasSubstr("delay = 250\n"),
                    Not(HasSubstr("ignore-whitelist"))));
}

// A settings file that cannot be written: STOP shows the error and does not stop; START with
// templates shows it and does not begin; the old file stays whole.
TEST_F(SettingsTest, SaveFailureShowsTheErrorAndStopsTheHandler) {
  struct Case {
    const char* name;
    std::function<void()> break_folder;
    const char* reason;
  };
  const Case cases[] = {
      {"folder missing", [&] { std::filesystem::remove_all(work_.File("settings")); },
       "No such file or directory"},
      {"read-only file",
       [&] {
         work_.Write("settings/settings.txt", "old");
         ::chmod(work_.File("settings/settings.txt").c_str(), 0444);
       },
       "Permission denied"},
  };
  for (const Case& c : cases) {
    messages.clear();
    TForm1& form = Open();
    c.break_folder();
    const std::string before =
        work_.Exists("settings/settings.txt") ? SettingsBytes() : std::string("(none)");
    const QString error = QStringLiteral("Cannot create file \"") +
                          QString::fromStdString(work_.File("settings/settings.txt")) +
                          QStringLiteral("\". ") + QString::fromUtf8(c.reason);
    form.Button3->click();
    EXPECT_FALSE(form.Controller().State().stop_requested) << c.name;
    work_.Write("UA.txt", "agent\r\n");
    form.TemplatesText = "[blockname]b[/blockname]";  // STOP's save emptied it
    form.Button1->click();
    EXPECT_THAT(messages, ElementsAre(error, error)) << c.name;
    EXPECT_FALSE(work_.Exists("parsed_urls.txt")) << c.name;
    EXPECT_EQ(form.Label27->text(), QStringLiteral("прокси: 0")) << c.name;
    const std::string after =
        work_.Exists("settings/settings.txt") ? SettingsBytes() : std::string("(none)");
    EXPECT_EQ(after, before) << c.name;
    std::filesystem::remove_all(work_.File("settings"));
    work_.Write("settings/.keep", "");
  }
}

}  // namespace
}  // namespace korvane::testing
