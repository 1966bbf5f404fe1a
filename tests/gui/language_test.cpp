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

// Every text `window` shows, "object: text" each (a line break as "\n"), in the order the
// widgets were made.
QStringList ShownTexts(QWidget* window) {
  QStringList lines;
  const auto add = [&lines](const QObject* owner, const QString& text) {
    QString name = owner->objectName();
    if (name.isEmpty()) name = QString::fromLatin1(owner->metaObject()->className());
    if (!text.isEmpty())
      lines << name + QStringLiteral(": ") + QString(text).replace(u'\n', QStringLiteral("\\n"));
  };
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
      for (int c = 0; c < table->columnCount(); ++c) {
        add(widget, table->horizontalHeaderItem(c)->text());
      }
    }
    if (auto* chart = qobject_cast<QChartView*>(widget)) {
      for (QAbstractSeries* series : chart->chart()->series()) add(widget, series->name());
    }
  }
  return lines;
}

// What both windows showed in Russian before they had a translation, and still show.
QStringList RussianTexts() {
  QFile golden(QStringLiteral(KORVANE_GUI_TEST_DIR "/window_texts_ru.txt"));
  EXPECT_TRUE(golden.open(QIODevice::ReadOnly));
  QStringList lines = QString::fromUtf8(golden.readAll()).split(u'\n');
  lines.removeLast();
  return lines;
}

class LanguageTest : public WindowTest {
 protected:
  ~LanguageTest() override { UseLanguage(Language::kRussian); }
};

TEST_F(LanguageTest, RussianShowsTheDesignsTextsUnchanged) {
  ASSERT_TRUE(UseLanguage(Language::kRussian));
  TForm1& form = Open();
  const QStringList shown = ShownTexts(&form) + ShownTexts(&Form2());
  EXPECT_EQ(shown, RussianTexts());
}

TEST_F(LanguageTest, EnglishShowsNoCyrillicLetterAnywhere) {
  ASSERT_TRUE(UseLanguage(Language::kEnglish));
  work_.Write("parse/1.txt", "a &b; c");
  TForm1& form = Open();
  // The texts the core joins with numbers, through the same paths a run and the tools take.
  form.WriteLabel(CounterLabel::kLabel27, texts::kProxiesLabel + "3");
  form.WriteLabel(CounterLabel::kLabel18, texts::kUrlsLabel + "12");
  form.WriteLabel(CounterLabel::kLabel3, texts::kKilledLabel + "1");
  form.WriteLabel(CounterLabel::kDuplicates, texts::kDuplicatesLabel + "2");
  for (QAbstractButton* tool :
       {form.Button6, form.Button9, form.TextButton1, form.Button7, form.Button11}) {
    tool->click();
  }
  form.ShowMessage(texts::kNoTemplates);
  Form2().Button1->click();
  const QStringList shown =
      ShownTexts(&form) + ShownTexts(&Form2()) + QStringList(messages.begin(), messages.end());

  const QRegularExpression cyrillic(QStringLiteral("\\p{Cyrillic}"));
  EXPECT_EQ(shown.filter(cyrillic), QStringList());
  // Present: the walk finds a text wherever the Russian window has one, and a message for
  // each of the three refusals: no templates, no block, no files left for the path maker.
  EXPECT_EQ(shown.size(), RussianTexts().size() + 3);
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
