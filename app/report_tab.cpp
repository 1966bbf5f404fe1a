// The "Отчёт" tab.
#include "app/report_tab.h"

#include <QChart>
#include <QChartView>
#include <QGridLayout>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QTimer>
#include <QValueAxis>
#include <algorithm>
#include <map>
#include <string_view>

#include "app/desktop.h"
#include "app/text_edge.h"
#include "base/cp1251.h"
#include "base/files.h"
#include "crawl/controller.h"
#include "report/page_record.h"
#include "report/run_report.h"
#include "report/run_stats.h"

namespace korvane {

namespace {

constexpr int kRefreshMs = 1000;
constexpr int kMostPoints = 3600;  // an hour of the run; older points scroll out

// The tab's words (UTF-8) for the outcomes, in PageOutcome's order.
constexpr std::string_view kOutcomeCaptions[kOutcomeCount] = {
    "сохранено", "сохранено пустыми", "не допущено", "только ссылки", "дубли", "не удалось",
};

// The tab's words (UTF-8) for the reasons the engine words itself; other reasons (error
// texts) are shown as given.
const std::map<std::string_view, std::string_view>& ReasonCaptions() {
  static const std::map<std::string_view, std::string_view> captions = {
      {FetchEndWords(FetchEnd::kNoSocket), "нет сокета"},
      {FetchEndWords(FetchEnd::kHostNotFound), "хост не найден"},
      {FetchEndWords(FetchEnd::kRefused), "соединение отвергнуто"},
      {FetchEndWords(FetchEnd::kUnreachable), "соединение не удалось"},
      {FetchEndWords(FetchEnd::kConnectTimeout), "тайм-аут (соединение)"},
      {FetchEndWords(FetchEnd::kIdleTimeout), "тайм-аут (нет данных)"},
      {FetchEndWords(FetchEnd::kTotalTimeout), "тайм-аут (весь обмен)"},
      {FetchEndWords(FetchEnd::kCap), "ответ обрезан по лимиту"},
      {FetchEndWords(FetchEnd::kReset), "соединение сброшено"},
      {FetchEndWords(FetchEnd::kCancelled), "прервано"},
      {FetchEndWords(FetchEnd::kTlsRefused), "TLS отвергнут"},
      {FetchEndWords(FetchEnd::kProxyRefused), "прокси отказал"},
      {FetchCodeWords(kFetchNoConnection), "нет соединения"},
      {FetchCodeWords(kFetchBadEncoding), "испорченный сжатый ответ"},
      {kEmptyAnswerReason, "пустой ответ"},
      {kCannotWriteReason, "не записать файл результата"},
      {kWatchdogReason, "снят сторожем"},
  };
  return captions;
}

// The counts (code page 1251), one line each: every outcome, and under the failed pages their
// reasons, indented.
//   "сохранено: 12\r\n...\r\nне удалось: 2\r\n   соединение отвергнуто: 2\r\n"
std::string OutcomeCounts(const RunStats& run) {
  std::string text;
  for (int i = 0; i < kOutcomeCount; ++i) {
    text += Utf8ToCp1251(kOutcomeCaptions[i]) + ": " +
            std::to_string(run.Count(static_cast<PageOutcome>(i))) + "\r\n";
  }
  for (const auto& [reason, count] : run.Reasons()) {
    const auto caption = ReasonCaptions().find(reason);
    text += "   " + (caption == ReasonCaptions().end() ? reason : Utf8ToCp1251(caption->second)) +
            ": " + std::to_string(count) + "\r\n";
  }
  return text;
}

QValueAxis* MakeAxis(QChart* chart, Qt::Alignment side, const QFont& font) {
  auto* axis = new QValueAxis(chart);
  axis->setLabelsFont(font);
  axis->setLabelFormat(QStringLiteral("%.0f"));
  axis->setRange(0, 1);
  chart->addAxis(axis, side);
  return axis;
}

}  // namespace

ReportTab::ReportTab(QWidget* page, const CrawlController& controller)
    : QWidget(page), controller_(controller) {
  setObjectName(QStringLiteral("ReportTab"));
  auto* outer = new QGridLayout(page);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(this);
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(4, 2, 8, 4);
  grid->setHorizontalSpacing(8);

  QFont small = font();
  small.setPointSize(7);
  auto* chart = new QChart;
  chart->setMargins(QMargins(0, 0, 0, 0));
  chart->setBackgroundRoundness(0);
  chart->legend()->setFont(small);
  chart->legend()->setAlignment(Qt::AlignTop);
  time_axis_ = MakeAxis(chart, Qt::AlignBottom, small);
  value_axis_ = MakeAxis(chart, Qt::AlignLeft, small);
  pages_ = new QLineSeries(chart);
  pages_->setName(QStringLiteral("страниц в секунду"));
  workers_ = new QLineSeries(chart);
  workers_->setName(QStringLiteral("активных потоков"));
  for (QLineSeries* series : {pages_, workers_}) {
    chart->addSeries(series);
    series->attachAxis(time_axis_);
    series->attachAxis(value_axis_);
  }
  ReportChart = new QChartView(chart, this);
  ReportChart->setObjectName(QStringLiteral("ReportChart"));
  ReportChart->setAccessibleName(QStringLiteral("график обхода"));
  ReportCounts = new QLabel(this);
  ReportCounts->setObjectName(QStringLiteral("ReportCounts"));
  ReportCounts->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  ReportCounts->setFont(small);
  ReportButton = new QPushButton(QStringLiteral("открыть отчёт"), this);
  ReportButton->setObjectName(QStringLiteral("ReportButton"));
  grid->addWidget(ReportChart, 0, 0, 2, 1);
  grid->addWidget(ReportCounts, 0, 1);
  grid->addWidget(ReportButton, 1, 1, Qt::AlignBottom);
  grid->setColumnStretch(0, 1);
  grid->setColumnMinimumWidth(1, 200);

  ReportTimer = new QTimer(this);
  ReportTimer->setObjectName(QStringLiteral("ReportTimer"));
  ReportTimer->setInterval(kRefreshMs);
  connect(ReportTimer, &QTimer::timeout, this, &ReportTab::Refresh);
  connect(ReportButton, &QPushButton::clicked, this, &ReportTab::OpenReportClick);
  ReportTimer->start();
  Refresh();
}

void ReportTab::Refresh() {
  const RunLog& log = controller_.Log();
  if (log.RunNumber() != run_shown_) {
    run_shown_ = log.RunNumber();
    pages_->clear();
    workers_->clear();
    pages_before_ = 0;
    seconds_before_ = 0;
    highest_ = 1;
  }
  if (log.Running()) {
    const double seconds = log.ElapsedSeconds();
    const int64_t pages = log.Run().Pages();
    const double span = std::max(seconds - seconds_before_, 0.001);
    AddPoint(seconds, static_cast<double>(pages - pages_before_) / span,
             controller_.State().active_threads);
    pages_before_ = pages;
    seconds_before_ = seconds;
  }
  ReportCounts->setText(MemoToQt(OutcomeCounts(log.Run())));
  ReportButton->setEnabled(FileExists(std::string(kReportIndexFile)));
}

void ReportTab::AddPoint(double seconds, double pages_per_second, double workers) {
  for (QLineSeries* series : {pages_, workers_}) {
    if (series->count() >= kMostPoints) series->remove(0);
  }
  pages_->append(seconds, pages_per_second);
  workers_->append(seconds, workers);
  highest_ = std::max({highest_, pages_per_second, workers});
  time_axis_->setRange(pages_->at(0).x(), std::max(seconds, pages_->at(0).x() + 1));
  value_axis_->setRange(0, highest_ * 1.1);
}

void ReportTab::OpenReportClick() {
  OpenWithDesktop(QUrl::fromLocalFile(PathToQt(WorkingPath(kReportIndexFile))));
}

}  // namespace korvane
