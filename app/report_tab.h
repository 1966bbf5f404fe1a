// The "Отчёт" tab: a live chart of the run (pages per second and active workers), its pages
// counted by outcome and failure reason, and the button that opens the report page. It reads
// the controller's run log once a second and writes nothing.
#pragma once

#include <QWidget>
#include <cstdint>

class QChartView;
class QLabel;
class QLineSeries;
class QPushButton;
class QTimer;
class QValueAxis;

namespace korvane {

class CrawlController;

class ReportTab final : public QWidget {
  Q_OBJECT

 public:
  ReportTab(QWidget* page, const CrawlController& controller);

  // Once a second: a point for each series while a run goes on, the counts, the button.
  void Refresh();
  // "открыть отчёт": report/index.html in the desktop's browser.
  void OpenReportClick();

  QChartView* ReportChart;    // pages per second and active workers
  QLabel* ReportCounts;       // pages by outcome and failure reason
  QPushButton* ReportButton;  // "открыть отчёт": enabled once report/index.html exists
  QTimer* ReportTimer;        // the once-a-second refresh

 private:
  void AddPoint(double seconds, double pages_per_second, double workers);

  const CrawlController& controller_;
  QLineSeries* pages_;
  QLineSeries* workers_;
  QValueAxis* time_axis_;
  QValueAxis* value_axis_;
  int64_t run_shown_ = 0;  // the run the series draw
  int64_t pages_before_ = 0;
  double seconds_before_ = 0;
  double highest_ = 1;
};

}  // namespace korvane
