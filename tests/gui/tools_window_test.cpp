// The result tools run from their tabs: each handler reads its fields, shows its texts in its
// label and reports failures in a message box.
#include <gmock/gmock.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <functional>

#include <unistd.h>

#include "gui_fixture.h"

namespace korvane::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class ToolsWindowTest : public WindowTest {};

TEST_F(ToolsWindowTest, EachToolRunsFromItsTab) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> files;  // in parse/
    std::function<void(TForm1&)> run;
    std::function<QLabel*(TForm1&)> label;
    const char* final_text;
    std::vector<std::pair<std::string, std::string>> expected;  // file -> bytes ("" = gone)
  };
  const Case cases[] = {
      {"filter",
       {{"1.txt", "short"}, {"2.txt", std::string(2000, 'x')}},
       [](TForm1& f) { f.Button7->click(); },
       [](TForm1& f) { return f.Label24; },
       "Статус: 1file(s) deleted",
       {{"parse/1.txt", ""}, {"parse/2.txt", std::string(2000, 'x')}}},
      {"joiner with a separator",
       {{"1.txt", "A"}, {"2.txt", "B"}},
       [](TForm1& f) {
         f.CheckBox9->setChecked(true);
         f.Edit5->setText(QStringLiteral("=="));
         f.Button6->click();
       },
       [](TForm1& f) { return f.Label21; },
       "Прогресс: 2/2 завершено",
       {{"parse/union.txt", "A==\r\nB==\r\n"}}},
      {"from-to cleaning",
       {{"1.txt", "a &b; c &d; e"}},
       [](TForm1& f) { f.Button9->click(); },
       [](TForm1& f) { return f.Label32; },
       "Прогресс: 1 / 1 Все!",
       {{"parse/1.txt", "a   c   e\r\n"}}},
      {"word cleaning",
       {{"1.txt", "aaa"}},
       [](TForm1& f) {
         f.Edit10->setText(QStringLiteral("aa"));
         f.Button10->click();
       },
       [](TForm1& f) { return f.Label33; },
       "Прогресс: 1 / 1 Все!",
       {{"parse/1.txt", " a\r\n"}}},
      {"path maker",
       {{"1.txt", "one"}, {"2.txt", "two"}},
       [](TForm1& f) {
         f.Edit13->setText(QStringLiteral("1"));
         f.Button11->click();
       },
       [](TForm1& f) { return f.Label37; },
       "Прогресс: 2 / 2",
       {{"parse/0/1.txt", "one"}, {"parse/1/2.txt", "two"}, {"parse/1.txt", ""}}},
      {"duplicate removal",
       {{"1.txt", "a b c d"}, {"2.txt", "a  b\r\nc d"}},
       [](TForm1& f) { f.TextButton1->click(); },
       [](TForm1& f) { return f.TextLabel2; },
       "Прогресс: 2 / 2, дублей: 1",
       {{"parse/1.txt", "a b c d"}, {"parse/2.txt", ""}}},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(work_.File("parse"));
    for (const auto& [name, bytes] : c.files) work_.Write("parse/" + name, bytes);
    TForm1& form = Open();
    c.run(form);
    EXPECT_THAT(messages, IsEmpty()) << c.name;
    EXPECT_EQ(c.label(form)->text(), QString::fromUtf8(c.final_text)) << c.name;
    for (const auto& [file, bytes] : c.expected) {
      if (bytes.empty()) {
        EXPECT_FALSE(work_.Exists(file)) << c.name << ": " << file;
      } else {
        EXPECT_EQ(work_.Read(file), bytes) << c.name << ": " << file;
      }
    }
  }
}

TEST_F(ToolsWindowTest, FailuresEndTheHandlerWithAMessage) {
  work_.Write("parse/.keep", "");
  TForm1& form = Open();
  form.Button11->click();  // no ".txt" file to move
  work_.Write("parse/1.txt", "x");
  form.Edit7->setText(QStringLiteral("1k"));
  form.Button7->click();
  EXPECT_THAT(messages, ElementsAre(QStringLiteral("Файлов нет!"),
                                    QStringLiteral("'1k' is not a valid integer value")));
  EXPECT_TRUE(work_.Exists("parse/1.txt"));
}

// Folder fields hold file names, which the file system keeps in its own encoding (UTF-8), not
// in code page 1251 like the texts.
TEST_F(ToolsWindowTest, FolderFieldsReachTheFileSystemByTheirOwnNames) {
  work_.Write("результаты/1.txt", "one");
  TForm1& form = Open();
  form.Edit12->setText(QString::fromStdString(work_.File("результаты")));
  form.Edit13->setText(QStringLiteral("1"));
  form.Button11->click();
  EXPECT_THAT(messages, IsEmpty());
  EXPECT_EQ(work_.Read("результаты/0/1.txt"), "one");
}

// And so do the error texts, a tool's and STOP's (from the crawl engine) alike.
TEST_F(ToolsWindowTest, ErrorTextsNameFilesByTheirOwnNames) {
  work_.Write("папка/parse/1.txt", "one");
  ASSERT_EQ(::chdir(work_.File("папка").c_str()), 0);
  TForm1& form = Open();
  const QString folder = QString::fromStdString(work_.File("папка"));
  form.Edit4->setText(folder + QStringLiteral("/нет/union.txt"));
  form.Button6->click();
  form.Button3->click();
  const auto error = [&](const char* file) {
    return QStringLiteral("Cannot create file \"") + folder + QString::fromUtf8(file) +
           QStringLiteral("\". No such file or directory");
  };
  EXPECT_THAT(messages, ElementsAre(error("/нет/union.txt"), error("/settings/settings.txt")));
}

}  // namespace
}  // namespace korvane::testing
