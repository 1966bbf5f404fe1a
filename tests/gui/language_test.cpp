// The windows in each language, walked offscreen widget by widget, and how the language is
// chosen.
#include <QAbstractButton>
#include <QChartView>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QRegularExpression>
#include <QTabBar>
#include <QTableWidget>
#include <stdexcept>

#include "app/language.h"
#include "gui_fixture.h"
#include "settings/texts.h"

namespace korvane::testing {
namespace {

const QRegularExpression kCyrillic(QStringLiteral("\\p{Cyrillic}"));

// Every text the two windows show, "object: text" each (a line break as "\\n"), in the order
// the widgets were made.
QStringList ShownTexts(TForm1& form) {
  QStringList lines;
  const auto add = [&lines](const QObject* owner, const QString& text) {
    QString name = owner->objectName();
    if (name.isEmpty()) name = QString::fromLatin1(owner->metaObject()->className());
    if (!text.isEmpty()) {
      lines << name + QStringLiteral(": ") + QString(text).replace(u'\n', QStringLiteral("\\n"));
    }
  };
  for (QWidget* window :
       {static_cast<QWidget*>(&form), static_cast<QWidget*>(&form.TemplateWindow())}) {
    add(window, window->windowTitle());
    for (QWidget* widget : window->findChildren<QWidget*>()) {
      add(widget, widget->toolTip());
      add(widget, widget->accessibleName());
      if (auto* label = qobject_cast<QLabel*>(widget)) add(widget, label->text());
      if (auto* button = qobject_cast<QAbstractButton*>(widget)) add(widget, button->text());
      if (auto* box = qobject_cast<QGroupBox*>(widget)) add(widget, box->title());
      if (auto* tabs = qobject_cast<QTabBar*>(widget)) {
        for (int i = 0; i < tabs->count(); ++i) add(widget, tabs->tabText(i));
      }
      if (auto* table = qobject_cast<QTableWidget*>(widget)) {
        for (int c = 0; c < 3; ++c) add(widget, table->horizontalHeaderItem(c)->text());
      }
      if (auto* chart = qobject_cast<QChartView*>(widget)) {
        for (QAbstractSeries* series : chart->chart()->series()) add(widget, series->name());
      }
    }
  }
  return lines;
}

class LanguageTest : public WindowTest {
 protected:
  ~LanguageTest() override { UseLanguage(Language::kRussian); }
};

// Every Cyrillic text as both windows showed it before they had a translation.
TEST_F(LanguageTest, RussianShowsTheDesignsTextsUnchanged) {
  ASSERT_TRUE(UseLanguage(Language::kRussian));
  QFile golden(QStringLiteral(KORVANE_GUI_TEST_DIR "/window_texts_ru.txt"));
  ASSERT_TRUE(golden.open(QIODevice::ReadOnly));
  // As std::string, so that a failure prints the lines that differ.
  EXPECT_EQ((ShownTexts(Open()).filter(kCyrillic).join(u'\n') + u'\n').toStdString(),
            golden.readAll().toStdString());
}

TEST_F(LanguageTest, EnglishShowsEveryTextWithoutACyrillicLetter) {
  ASSERT_TRUE(UseLanguage(Language::kRussian));
  QStringList russian = ShownTexts(Open());
  ASSERT_TRUE(UseLanguage(Language::kEnglish));
  work_.Write("parse/1.txt", "a &b; c");
  TForm1& form = Open();
  // The texts the core joins with numbers, through the paths a run and the tools take them.
  form.WriteLabel(CounterLabel::kQueued, texts::kUrlsLabel + "12");
  form.WriteLabel(CounterLabel::kKilled, texts::kKilledLabel + "1");
  form.WriteLabel(CounterLabel::kDuplicates, texts::kDuplicatesLabel + "2");
  for (QAbstractButton* tool :
       {form.Button6, form.Button9, form.TextButton1, form.Button7, form.Button11}) {
    tool->click();
  }
  form.ShowMessage(texts::kNoTemplates);
  Form2().Button1->click();  // no block
  QStringList english = ShownTexts(form);
  EXPECT_EQ(english.filter(kCyrillic), QStringList());
  EXPECT_EQ(QStringList(messages.begin(), messages.end()).filter(kCyrillic), QStringList());
  EXPECT_EQ(messages.size(), 3u);  // and no files left for the path maker
  // Present: an English text wherever the Russian windows show one.
  const auto objects = [](QStringList& lines) {
    for (QString& line : lines) line = line.section(QStringLiteral(": "), 0, 0);
    return lines;
  };
  EXPECT_EQ(objects(english), objects(russian));
  EXPECT_EQ(form.Label18->text(), QStringLiteral("URLs queued: 12"));
  EXPECT_EQ(form.Label21->text(), QStringLiteral("Progress: 1/1 done"));
}

TEST(LanguageChoice, FirstRussianOrEnglishUiLanguageDecides) {
  const std::pair<QStringList, Language> cases[] = {
      {{QStringLiteral("ru-RU")}, Language::kRussian},
      {{QStringLiteral("C")}, Language::kRussian},
      {{QStringLiteral("en-US"), QStringLiteral("ru-RU")}, Language::kEnglish},
      {{QStringLiteral("de-DE"), QStringLiteral("ru")}, Language::kRussian},
      {{QStringLiteral("de-DE"), QStringLiteral("fr")}, Language::kEnglish},
      {{}, Language::kEnglish}};
  for (const auto& [ui_languages, language] : cases) {
    EXPECT_EQ(DesktopLanguage(ui_languages), language) << ui_languages.join(u',').toStdString();
  }
}

TEST(LanguageChoice, LangOptionIsTakenOutOfTheArguments) {
  std::string words[] = {"korvane", "--lang=ru", "--user-folder", "--lang", "en", "-x"};
  char* argv[] = {words[0].data(), words[1].data(), words[2].data(), words[3].data(),
                  words[4].data(), words[5].data(), nullptr};
  int argc = 6;
  EXPECT_EQ(TakeLanguageOption(argc, argv), Language::kEnglish);
  EXPECT_EQ(argc, 3);
  EXPECT_EQ(std::string(argv[2]), "-x");
  EXPECT_EQ(argv[3], nullptr);
  EXPECT_EQ(TakeLanguageOption(argc, argv), std::nullopt);
  std::string bad[] = {"korvane", "--lang=de"};
  char* bad_argv[] = {bad[0].data(), bad[1].data(), nullptr};
  argc = 2;
  EXPECT_THROW((void)TakeLanguageOption(argc, bad_argv), std::invalid_argument);
}

}  // namespace
}  // namespace korvane::testing
