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

// The tab's words (UTF-8) for the outcomes, in PageOutcome's order. CountsToQt looks them
// up under the context "core" for the English window.
constexpr std::string_view kOutcomeCaptions[kOutcomeCount] = {
    QT_TRANSLATE_NOOP("core", "сохранено"),   QT_TRANSLATE_NOOP("core", "сохранено пустыми"),
    QT_TRANSLATE_NOOP("core", "не допущено"), QT_TRANSLATE_NOOP("core", "только ссылки"),
    QT_TRANSLATE_NOOP("core", "дубли"),       QT_TRANSLATE_NOOP("core", "не удалось"),
};

// The tab's words (UTF-8) for the reasons the engine words itself; other reasons (error
// texts) are shown as given.
const std::map<std::string_view, std::string_view>& ReasonCaptions() {
  static const std::map<std::string_view, std::string_view> captions = {
      {FetchEndWords(FetchEnd::kNoSocket), QT_TRANSLATE_NOOP("core", "нет сокета")},
      {FetchEndWords(FetchEnd::kHostNotFound), QT_TRANSLATE_NOOP("core", "хост не найден")},
      {FetchEndWords(FetchEnd::kRefused), QT_TRANSLATE_NOOP("core", "соединение отвергнуто")},
      {FetchEndWords(FetchEnd::kUnreachable), QT_TRANSLATE_NOOP("core", "соединение не удалось")},
      {FetchEndWords(FetchEnd::kConnectTimeout),
       QT_TRANSLATE_NOOP("core", "тайм-аут (соединение)")},
      {FetchEndWords(FetchEnd::kIdleTimeout), QT_TRANSLATE_NOOP("core", "тайм-аут (нет данных)")},
      {FetchEndWords(FetchEnd::kTotalTimeout), QT_TRANSLATE_NOOP("core", "тайм-аут (весь обмен)")},
      {FetchEndWords(FetchEnd::kCap), QT_TRANSLATE_NOOP("core", "ответ обрезан по лимиту")},
      {FetchEndWords(FetchEnd::kReset), QT_TRANSLATE_NOOP("core", "соединение сброшено")},
      {FetchEndWords(FetchEnd::kCancelled), QT_TRANSLATE_NOOP("core", "прервано")},
      {FetchEndWords(FetchEnd::kTlsRefused), QT_TRANSLATE_NOOP("core", "TLS отвергнут")},
      {FetchEndWords(FetchEnd::kProxyRefused), QT_TRANSLATE_NOOP("core", "прокси отказал")},
      {FetchCodeWords(kFetchNoConnection), QT_TRANSLATE_NOOP("core", "нет соединения")},
      {FetchCodeWords(kFetchBadEncoding), QT_TRANSLATE_NOOP("core", "испорченный сжатый ответ")},
      {kEmptyAnswerReason, QT_TRANSLATE_NOOP("core", "пустой ответ")},
      {kCannotWriteReason, QT_TRANSLATE_NOOP("core", "не записать файл результата")},
      {kWatchdogReason, QT_TRANSLATE_NOOP("core", "снят сторожем")},
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

// The counts as the window shows them: each line is an indent, a caption, ": " and a number,
// and only the caption is looked up in the window's language.
QString CountsToQt(std::string_view counts) {
  QString text;
  while (!counts.empty()) {
    const size_t end = counts.find("\r\n");
    const std::string_view line = counts.substr(0, end);
    const size_t caption = line.find_first_not_of(' ');
    const size_t colon = line.rfind(": ");
    if (caption < colon && colon != std::string_view::npos) {
      text += ToQt(line.substr(0, caption)) + ShownToQt(line.substr(caption, colon - caption)) +
              ToQt(line.substr(colon));
    } else {
      text += ToQt(line);
    }
    if (end == std::string_view::npos) break;
    text += QLatin1Char('\n');
    counts.remove_prefix(end + 2);
  }
  return text;
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
  pages_->setName(tr("страниц в секунду"));
  workers_ = new QLineSeries(chart);
  workers_->setName(tr("активных потоков"));
  for (QLineSeries* series : {pages_, workers_}) {
    chart->addSeries(series);
    series->attachAxis(time_axis_);
    series->attachAxis(value_axis_);
  }
  ReportChart = new QChartView(chart, this);
  ReportChart->setObjectName(QStringLiteral("ReportChart"));
  ReportChart->setAccessibleName(tr("график обхода"));
  ReportCounts = new QLabel(this);
  ReportCounts->setObjectName(QStringLiteral("ReportCounts"));
  ReportCounts->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  ReportCounts->setFont(small);
  ReportButton = new QPushButton(tr("открыть отчёт"), this);
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
  ReportCounts->setText(CountsToQt(OutcomeCounts(log.Run())));
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
