// The selective-parse window: block skeletons, save, SelectiveParse and the test fetch.
#include <gmock/gmock.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "base/cp1251.h"
#include "e2e/fixture_site.h"
#include "e2e/servers.h"
#include "gui_fixture.h"
#include "support/site_server.h"

namespace korvane::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kTestSiteAddress = "127.0.0.51";
constexpr const char* kSlowSiteAddress = "127.0.0.53";
constexpr const char* kNobodyAddress = "127.0.0.59";  // nothing listens here

QString Skeleton(int n) {
  return QStringLiteral("[blockname]Name%1[/blockname][start]Start%1[/start][stop]Stop%1[/stop]")
      .arg(n);
}

class TemplateWindowTest : public WindowTest {
 protected:
  void SetUp() override { work_.Write("settings/.keep", ""); }
};

TEST_F(TemplateWindowTest, NewBlocksAreNumberedByTheCurrentLineCount) {
  Open();
  TForm2& form = Form2();
  for (int click = 0; click < 3; ++click) form.Button3->click();
  EXPECT_EQ(form.Memo1->toPlainText(), Skeleton(0) + QLatin1Char('\n') + Skeleton(1) +
                                           QLatin1Char('\n') + Skeleton(2) + QLatin1Char('\n'));
  form.Memo1->setPlainText(Skeleton(0) + QLatin1Char('\n') + Skeleton(2));
  form.Button3->click();
  EXPECT_EQ(form.Memo1->toPlainText(), Skeleton(0) + QLatin1Char('\n') + Skeleton(2) +
                                           QLatin1Char('\n') + Skeleton(2) + QLatin1Char('\n'));
  EXPECT_EQ(Form1().Options().templates.Get()->lines.size(), 3u);
}

TEST_F(TemplateWindowTest, SaveNeedsOneBlockAndThenWritesTheSettings) {
  Open();
  TForm2& form = Form2();
  form.Button1->click();
  EXPECT_THAT(messages,
              ElementsAre(QStringLiteral("Для селективного парсинга нужен хотя бы 1 блок")));
  EXPECT_FALSE(form.TemplatesReady);
  EXPECT_FALSE(work_.Exists("settings/settings.txt"));

  form.Button3->click();
  form.Button1->click();
  EXPECT_TRUE(form.TemplatesReady);
  EXPECT_EQ(Form1().TemplatesText, Form1().Options().templates.Get()->text);
  EXPECT_THAT(work_.Read("settings/settings.txt"),
              ::testing::HasSubstr("<templ>" + Form1().TemplatesText + "</templ>\r\n"));
  EXPECT_EQ(messages.size(), 1u);
}

TEST_F(TemplateWindowTest, SelectiveParseLoadsTheSavedTemplatesSavesAndShows) {
  work_.Write("settings/settings.txt",
              "<site></site><black></black><white></white><templ>a\r\nb</templ>");
  Open();
  Form2().Memo1->setPlainText(QStringLiteral("unsaved"));
  Form1().Button4->click();
  EXPECT_TRUE(Form2().isVisible());
  EXPECT_EQ(Form2().Memo1->toPlainText(), QStringLiteral("a\nb"));
  EXPECT_TRUE(Form2().TemplatesReady);
  EXPECT_THAT(work_.Read("settings/settings.txt"), ::testing::HasSubstr("<templ>a\r\nb</templ>"));

  // With nothing saved the button only shows the window; the memo keeps what it holds.
  Form1().TemplatesText.clear();
  Form2().Memo1->setPlainText(QStringLiteral("kept"));
  Form1().Button4->click();
  EXPECT_EQ(Form2().Memo1->toPlainText(), QStringLiteral("kept"));
  EXPECT_THAT(messages, IsEmpty());
}

TEST_F(TemplateWindowTest, TestFetchWritesBothFilesAndOpensTheResult) {
  TempDir root;
  WriteSite(root.path(),
            {{"page.html", HtmlPage("T", {"<div id=\"main\">Found me</div>", "<p>not me</p>"})}});
  const NginxServer server(kTestSiteAddress, root.path());
  Open();
  TForm2& form = Form2();
  form.Edit1->setText(QString::fromStdString(server.Url("/page.html")));
  form.Memo1->setPlainText(QStringLiteral(
      "[blockname]main[/blockname][start]<div id=\"main\">[/start][stop]</div>[/stop]"));
  form.CheckBox1->setChecked(true);
  work_.Write("SelectiveParseTest/test.txt", "the previous result");

  form.Button2->click();

  EXPECT_THAT(messages, IsEmpty());
  EXPECT_THAT(opened, ElementsAre(QUrl::fromLocalFile(
                          QString::fromStdString(work_.File("SelectiveParseTest/test.txt")))));
  EXPECT_THAT(work_.Read("SelectiveParseTest/html.txt"), ::testing::HasSubstr("Found me"));
  EXPECT_EQ(work_.Read("SelectiveParseTest/test.txt"), "<main>Found me</main>\r\n");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].user_agent, "Yandex/1.01.001 (compatible; Win16; P)");
}

TEST_F(TemplateWindowTest, TestFetchThatWritesNoResultEndsWithAMessage) {
  work_.Write("SelectiveParseTest", "a file where the folder should be");
  Open();
  Form2().Edit1->setText(QStringLiteral("http://") + QString::fromLatin1(kNobodyAddress) +
                         QStringLiteral("/"));
  Form2().Button2->click();
  EXPECT_THAT(messages,
              ElementsAre(QString::fromUtf8("Тестовый запрос завершился, не записав результат "
                                            "\"SelectiveParseTest/test.txt\"")));
  EXPECT_THAT(opened, IsEmpty());
}

// The first fetch is slow; a press meanwhile must neither fetch nor end the first one's wait.
TEST_F(TemplateWindowTest, ASecondTestPressWhileOneRunsIsIgnored) {
  SiteServer server(kSlowSiteAddress, {{"/first", "<p>first</p>"}, {"/second", "<p>2</p>"}}, 30000,
                    300);
  Open();
  TForm2& form = Form2();
  form.Memo1->setPlainText(
      QStringLiteral("[blockname]p[/blockname][start]<p>[/start][stop]</p>[/stop]"));
  form.Edit1->setText(QStringLiteral("http://127.0.0.53/first"));
  QTimer::singleShot(20, &form, [&form] {
    form.Edit1->setText(QStringLiteral("http://127.0.0.53/second"));
    form.Button2->click();
  });
  form.Button2->click();
  EXPECT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(opened.size(), 1u);
  EXPECT_THAT(work_.Read("SelectiveParseTest/test.txt"), ::testing::HasSubstr("first"));
}

}  // namespace
}  // namespace korvane::testing
