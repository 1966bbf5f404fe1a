// Crawls started from the main window: against nginx serving a fixture site, against a slow
// site whose workers stay in the monitor long enough to be seen, the refusal of selective
// parsing without templates, STOP, HALT and closing the window during a run.
#include <gmock/gmock.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <cstdio>
#include <optional>
#include <set>

#include "app/report_tab.h"
#include "base/cp1251.h"
#include "e2e/fixture_site.h"
#include "e2e/servers.h"
#include "gui_fixture.h"
#include "settings/texts.h"
#include "support/site_server.h"

namespace korvane::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kNginxAddress = "127.0.0.50";
constexpr const char* kSlowAddress = "127.0.0.52";

std::string Prose(const std::string& name) {
  return "<p>This is the page called " + name + " with its words.</p>";
}

class CrawlWindowTest : public WindowTest {
 protected:
  void SetUp() override {
    work_.Write("UA.txt", "KorvaneGui/1.0\r\n");
    work_.Write("settings/.keep", "");
  }

  // Calls `sample` every few milliseconds while the window processes messages.
  void SampleDuringRun(const std::function<void()>& sample) {
    sampler_.setInterval(2);
    QObject::connect(&sampler_, &QTimer::timeout, sample);
    sampler_.start();
  }

  TempDir root_;
  QTimer sampler_;
};

TEST_F(CrawlWindowTest, RunsToItsEndWithFinalCountersAndFiles) {
  WriteSite(root_.path(), {{"index.html", HtmlPage("Home", {Prose("home"), Anchor("/a.html", "A"),
                                                            Anchor("b.html", "B")})},
                           {"a.html", HtmlPage("A", {Prose("a"), Anchor("/", "Home")})},
                           {"b.html", HtmlPage("B", {Prose("b")})}});
  const NginxServer server(kNginxAddress, root_.path());
  TForm1& form = Open();
  form.Edit1->setText(QString::fromStdString(server.Url("/")));
  form.CheckBox1->setChecked(true);  // every page admitted, whitelist or not

  form.Button1->click();

  EXPECT_THAT(messages, IsEmpty());
  EXPECT_FALSE(form.Controller().Running());
  EXPECT_EQ(form.Label6->text(), QStringLiteral("0"));
  EXPECT_EQ(form.Label9->text(), QStringLiteral("3"));
  EXPECT_EQ(form.Label18->text(), QStringLiteral("Урлов: 0"));
  EXPECT_EQ(form.Label3->text(), QStringLiteral("Убито потоков: 0"));
  EXPECT_EQ(form.Label27->text(), QStringLiteral("прокси: 0"));
  EXPECT_EQ(form.StringGrid1->rowCount(), 1);
  EXPECT_EQ(work_.Read("parsed_urls.txt"),
            "http://127.0.0.50/\r\nhttp://127.0.0.50/a.html\r\n"
            "http://127.0.0.50/b.html\r\n");
  // Workers are numbered in the queue's alphabetical order.
  EXPECT_EQ(work_.Read("parse/0.txt"), "This is the page called home with its words.\r\n");
  EXPECT_EQ(work_.Read("parse/1.txt"), "This is the page called a with its words.\r\n");
  EXPECT_EQ(work_.Read("parse/2.txt"), "This is the page called b with its words.\r\n");
  EXPECT_FALSE(work_.Exists("settings/settings.txt"));  // a run alone saves no settings

  // The "Отчёт" tab counts the run and offers a report only once the option has written one.
  form.ReportTab1->Refresh();
  EXPECT_TRUE(form.ReportTab1->ReportCounts->text().startsWith(QStringLiteral("сохранено: 3\n")));
  EXPECT_FALSE(form.ReportTab1->ReportButton->isEnabled());
  form.findChild<QCheckBox*>(QStringLiteral("TextCheckBox3"))->setChecked(true);
  form.Button1->click();
  form.ReportTab1->Refresh();
  ASSERT_TRUE(form.ReportTab1->ReportButton->isEnabled());
  form.ReportTab1->ReportButton->click();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_TRUE(opened[0].toLocalFile().endsWith(QStringLiteral("/report/index.html")));
}

TEST_F(CrawlWindowTest, MonitorShowsRunningWorkersAndRemovesThem) {
  const SiteServer server(
      kSlowAddress,
      {{"/", HtmlPage("Home", {Anchor("/a.html", "A"), Anchor("/b.html", "B")})},
       {"/a.html", HtmlPage("A", {})},
       {"/b.html", HtmlPage("B", {})}},
      30000, 300);
  TForm1& form = Open();
  form.Edit1->setText(QStringLiteral("http://127.0.0.52/"));
  int most_rows = 0;
  std::set<QString> states;
  SampleDuringRun([&] {
    QTableWidget* grid = form.StringGrid1;
    most_rows = std::max(most_rows, grid->rowCount());
    for (int row = 0; row + 1 < grid->rowCount(); ++row) {
      states.insert(grid->item(row, 0)->text() + QLatin1Char(' ') + grid->item(row, 1)->text());
    }
  });

  form.Button1->click();

  EXPECT_GE(most_rows, 3);  // at least two workers at once, and the empty last row
  EXPECT_EQ(states.count(QStringLiteral("0 [get] http://127.0.0.52/")), 1u);
  EXPECT_EQ(states.count(QStringLiteral("2 [get] http://127.0.0.52/b.html")), 1u);
  ASSERT_EQ(form.StringGrid1->rowCount(), 1);
  EXPECT_EQ(form.StringGrid1->item(0, 0)->text(), QString());
  EXPECT_EQ(form.Label9->text(), QStringLiteral("3"));
}

TEST_F(CrawlWindowTest, SelectiveParsingWithoutTemplatesRefusesToStart) {
  TForm1& form = Open();
  form.CheckBox3->setChecked(true);
  form.Button1->click();
  EXPECT_THAT(messages,
              ElementsAre(QStringLiteral("Не задано шаблонов для селективного парсинга")));
  EXPECT_EQ(form.Label18->text(), QStringLiteral("урлов: 0"));
  EXPECT_EQ(form.Label27->text(), QStringLiteral("прокси: 0"));
  EXPECT_FALSE(work_.Exists("parsed_urls.txt"));
  EXPECT_FALSE(work_.Exists("settings/settings.txt"));
}

TEST_F(CrawlWindowTest, StopWritesTheSettingsAndEndsARunThatWaits) {
  TForm1& form = Open();
  form.SpinEdit1->setValue(0);  // no worker ever starts: the run waits for STOP
  form.Edit1->setText(QStringLiteral("http://127.0.0.59/"));
  int passes = 0;
  SampleDuringRun([&] {
    if (++passes == 5) form.Button3->click();
  });
  form.Button1->click();
  EXPECT_THAT(messages, IsEmpty());
  EXPECT_TRUE(form.Controller().State().stop_requested);
  EXPECT_EQ(work_.Read("settings/settings.txt"),
            "<site>http://127.0.0.59/</site>\r\n<black>" + std::string(texts::kDefaultBlacklist) +
                "</black>\r\n<white></white>\r\n<templ></templ>\r\n");
  EXPECT_EQ(work_.Read("parsed_urls.txt"), "http://127.0.0.59/\r\n");
}

// HALT and closing the window end the process, so each runs in a child process.
using CrawlWindowDeathTest = CrawlWindowTest;

TEST_F(CrawlWindowDeathTest, HaltEndsTheProcessDuringARunWithoutSaving) {
  EXPECT_EXIT(
      {
        TForm1& form = Open();
        form.SpinEdit1->setValue(0);
        QTimer::singleShot(50, form.Button8, &QPushButton::click);
        form.Button1->click();
        work_.Write("start-returned", "");
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_FALSE(work_.Exists("start-returned"));
  EXPECT_FALSE(work_.Exists("parsed_urls.txt"));
  EXPECT_FALSE(work_.Exists("settings/settings.txt"));
}

TEST_F(CrawlWindowDeathTest, ClosingDuringARunWaitsForItsEnd) {
  EXPECT_EXIT(
      {
        TForm1& form = Open();
        form.show();
        form.SpinEdit1->setValue(0);
        QTimer::singleShot(20, &form, &QWidget::close);
        QTimer::singleShot(80, &form, [&] {
          std::fprintf(stderr, "open=%d running=%d\n", form.isVisible(),
                       form.Controller().Running());
          form.Button3->click();
        });
        form.Button1->click();
        work_.Write("start-returned", "");
      },
      ::testing::ExitedWithCode(0), "open=1 running=1");
  EXPECT_FALSE(work_.Exists("start-returned"));
  EXPECT_EQ(work_.Read("parsed_urls.txt"), "\r\n");    // the run's final save
  EXPECT_TRUE(work_.Exists("settings/settings.txt"));  // by STOP
}

TEST_F(CrawlWindowDeathTest, ClosingWhenIdleEndsAtOnceWithoutSaving) {
  EXPECT_EXIT(
      {
        TForm1& form = Open();
        form.show();
        form.close();
        work_.Write("close-returned", "");
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_FALSE(work_.Exists("close-returned"));
  EXPECT_FALSE(work_.Exists("settings/settings.txt"));
}

}  // namespace
}  // namespace korvane::testing
