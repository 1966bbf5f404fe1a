// Building report/index.html from a run's aggregates.
#include "report/report_page.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "base/clock.h"
#include "base/cp1251.h"

namespace korvane {

namespace {

constexpr std::string_view kStyle =
    "body{font:14px/1.4 sans-serif;margin:1.5em;color:#222}h1{font-size:1.5em}"
    "h2{font-size:1.15em;margin-top:1.6em}table{border-collapse:collapse}"
    "td,th{border:1px solid #ccc;padding:2px 8px;text-align:left}td.n{text-align:right}"
    ".charts{display:grid;grid-template-columns:repeat(auto-fill,minmax(420px,1fr));gap:16px}"
    ".charts div{height:260px}.wide{grid-column:1/-1}.note{background:#fff3cd;padding:6px 10px}"
    "td.u{max-width:60em;overflow-wrap:anywhere}th,td.r{white-space:nowrap}";

// Draws the charts from the JSON in #data once Chart.js is there.
constexpr std::string_view kChartScript = R"JS(
(function () {
  var d = JSON.parse(document.getElementById('data').textContent);
  if (typeof Chart === 'undefined') return;
  Chart.defaults.animation = false;
  Chart.defaults.maintainAspectRatio = false;
  function bars(id, labels, counts, title) {
    new Chart(document.getElementById(id), {type: 'bar',
      data: {labels: labels, datasets: [{label: title, data: counts, backgroundColor: '#4e79a7'}]},
      options: {plugins: {legend: {display: false}, title: {display: true, text: title}},
                scales: {y: {beginAtZero: true}}}});
  }
  new Chart(document.getElementById('speed'), {type: 'line',
    data: {labels: d.t, datasets: [
      {label: 'pages/s', data: d.pages, borderColor: '#4e79a7', pointRadius: 0, yAxisID: 'y'},
      {label: 'active workers', data: d.active, borderColor: '#f28e2b', pointRadius: 0,
       yAxisID: 'y1'}]},
    options: {plugins: {title: {display: true, text: 'Pages per second and active workers'}},
      scales: {x: {title: {display: true, text: d.axis}},
               y: {beginAtZero: true, title: {display: true, text: 'pages/s'}},
               y1: {beginAtZero: true, position: 'right', grid: {drawOnChartArea: false},
                    title: {display: true, text: 'workers'}}}}});
  bars('fetch', d.fetch_labels, d.fetch, 'Fetch time');
  bars('status', d.status_labels, d.status, 'HTTP status codes');
  bars('outcome', d.outcome_labels, d.outcome, 'Outcomes');
  bars('text', d.text_labels, d.text, 'Result file size');
})();
)JS";

// `text` made safe inside a <script> element.
std::string ScriptText(std::string_view text) {
  std::string safe;
  safe.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '<' && i + 1 < text.size() && text[i + 1] == '/') {
      safe += "<\\/";
      ++i;
    } else {
      safe += text[i];
    }
  }
  return safe;
}

std::string JsonString(std::string_view utf8) {
  std::string json = "\"";
  for (const char c : utf8) {
    if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      json += escaped;
    } else {
      json += c;
    }
  }
  return json + "\"";
}

std::string Decimal(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  std::string s = text;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s;
}

template <class Items, class Format>
std::string JsonArray(const Items& items, const Format& format) {
  std::string json = "[";
  for (const auto& item : items) {
    if (json.size() > 1) json += ',';
    json += format(item);
  }
  return json + "]";
}

template <size_t N>
std::vector<std::string> BinLabels(const std::array<int64_t, N>& edges, bool bytes) {
  const auto text = [bytes](int64_t v) {
    if (!bytes)
      return v >= 1000 ? Decimal(static_cast<double>(v) / 1000) + " s" : std::to_string(v) + " ms";
    return v >= 1024 ? std::to_string(v / 1024) + " KB" : std::to_string(v) + " B";
  };
  std::vector<std::string> labels;
  int64_t from = 0;
  for (const int64_t edge : edges) {
    labels.push_back(bytes && edge == 1 ? "empty" : text(from) + "–" + text(edge));
    from = edge;
  }
  labels.push_back("≥ " + text(from));
  return labels;
}

// The per-second series, pauses cut short and long runs drawn in buckets.
struct Series {
  std::vector<int64_t> t;
  std::vector<double> pages;
  std::vector<double> active;
  int64_t width = 1;    // seconds per point
  int64_t seconds = 0;  // seconds drawn: the run's time without its long pauses
};

Series SeriesOf(const RunStats& stats) {
  Series series;
  std::vector<std::pair<int64_t, RunStats::Second>> drawn;  // second on the drawn axis
  int64_t x = -1;
  int64_t previous = 0;
  for (const auto& [second, values] : stats.Seconds()) {
    const int64_t gap = drawn.empty() ? 1 : second - previous;
    x += gap > kLongestDrawnPause ? 1 : gap;
    previous = second;
    drawn.emplace_back(x, values);
  }
  series.seconds = x + 1;
  series.width = std::max<int64_t>(1, (series.seconds + kMostChartPoints - 1) / kMostChartPoints);
  const size_t points = static_cast<size_t>((series.seconds + series.width - 1) / series.width);
  series.pages.assign(points, 0);
  series.active.assign(points, 0);
  for (size_t i = 0; i < points; ++i) series.t.push_back(static_cast<int64_t>(i) * series.width);
  for (const auto& [at, values] : drawn) {
    const size_t i = static_cast<size_t>(at / series.width);
    series.pages[i] += static_cast<double>(values.pages) / static_cast<double>(series.width);
    series.active[i] +=
        static_cast<double>(values.busy_ms) / (1000.0 * static_cast<double>(series.width));
  }
  return series;
}

void Row(std::string& html, std::string_view name, const std::string& value) {
  html += "<tr><th>" + HtmlText(name) + "</th><td class=n>" + value + "</td></tr>\n";
}

void SummaryTable(std::string& html, const RunStats& stats, const Series& series) {
  html += "<table>\n";
  Row(html, "pages", std::to_string(stats.Pages()));
  Row(html, "fetched (an answer arrived)", std::to_string(stats.Fetched()));
  for (int i = 0; i < kOutcomeCount; ++i) {
    const auto outcome = static_cast<PageOutcome>(i);
    Row(html, OutcomeWords(outcome), std::to_string(stats.Count(outcome)));
  }
  for (const auto& [reason, count] : stats.Reasons()) {
    Row(html, "failed: " + Cp1251ToUtf8(reason), std::to_string(count));
  }
  for (int hundreds = 2; hundreds <= 5; ++hundreds) {
    Row(html, "HTTP " + std::to_string(hundreds) + "xx",
        std::to_string(stats.StatusClass(hundreds)));
  }
  if (stats.Pages() > 0) {
    Row(html, "first page started", UtcTimeText(stats.FirstMs()));
    Row(html, "last page ended", UtcTimeText(stats.LastMs()));
  }
  Row(html, "crawl time (s, long pauses left out)", std::to_string(series.seconds));
  Row(html, "mean pages/s",
      Decimal(series.seconds > 0
                  ? static_cast<double>(stats.Pages()) / static_cast<double>(series.seconds)
                  : 0));
  html += "</table>\n";
}

// With `found_on`, a last column names the page that linked each address, where a broken
// link is mended. Addresses wrap anywhere; headers and reasons (a few words) keep one line.
void PageTable(std::string& html, const std::vector<ListedPage>& pages, bool found_on) {
  html += "<table>\n<tr><th>address</th><th>status</th><th>fetch ms</th><th>reason</th>";
  html += found_on ? "<th>found on</th></tr>\n" : "</tr>\n";
  for (const ListedPage& page : pages) {
    html += "<tr><td class=u>" + HtmlText(page.url) + "</td><td class=n>" +
            (page.status > 0 ? std::to_string(page.status) : std::string()) + "</td><td class=n>" +
            std::to_string(page.fetch_ms) + "</td><td class=r>" + HtmlText(page.reason) + "</td>";
    if (found_on) html += "<td class=u>" + HtmlText(page.found_on) + "</td>";
    html += "</tr>\n";
  }
  html += "</table>\n";
}

void FolderTable(std::string& html, const RunStats& stats) {
  constexpr size_t kFoldersShown = 100;
  std::vector<std::pair<std::string, int64_t>> folders(stats.Folders().begin(),
                                                       stats.Folders().end());
  std::stable_sort(folders.begin(), folders.end(),
                   [](const auto& a, const auto& b) { return a.second > b.second; });
  html += "<table>\n<tr><th>folder</th><th>pages</th></tr>\n";
  for (size_t i = 0; i < folders.size() && i < kFoldersShown; ++i) {
    html += "<tr><td class=u>" + HtmlText(folders[i].first) + "</td><td class=n>" +
            std::to_string(folders[i].second) + "</td></tr>\n";
  }
  html += "</table>\n";
  if (folders.size() > kFoldersShown) {
    html += "<p>and " + std::to_string(folders.size() - kFoldersShown) + " more folders</p>\n";
  }
}

std::string DataJson(const RunStats& stats, const Series& series) {
  const auto integer = [](int64_t v) { return std::to_string(v); };
  const auto decimal = [](double v) { return Decimal(v); };
  const auto string = [](const std::string& s) { return JsonString(s); };
  std::vector<std::string> status_labels;
  std::vector<int64_t> status_counts;
  for (const auto& [status, count] : stats.Statuses()) {
    status_labels.push_back(status > 0 ? std::to_string(status) : "none");
    status_counts.push_back(count);
  }
  std::vector<std::string> outcome_labels;
  std::vector<int64_t> outcome_counts;
  for (int i = 0; i < kOutcomeCount; ++i) {
    outcome_labels.emplace_back(OutcomeWords(static_cast<PageOutcome>(i)));
    outcome_counts.push_back(stats.Count(static_cast<PageOutcome>(i)));
  }
  const std::string axis =
      series.width == 1 ? "seconds of crawling"
                        : "seconds of crawling (" + std::to_string(series.width) + " s per point)";
  return "{\"axis\":" + JsonString(axis) + ",\"t\":" + JsonArray(series.t, integer) +
         ",\"pages\":" + JsonArray(series.pages, decimal) +
         ",\"active\":" + JsonArray(series.active, decimal) +
         ",\"fetch_labels\":" + JsonArray(BinLabels(kFetchMsEdges, false), string) +
         ",\"fetch\":" + JsonArray(stats.FetchTimes(), integer) +
         ",\"status_labels\":" + JsonArray(status_labels, string) +
         ",\"status\":" + JsonArray(status_counts, integer) +
         ",\"outcome_labels\":" + JsonArray(outcome_labels, string) +
         ",\"outcome\":" + JsonArray(outcome_counts, integer) +
         ",\"text_labels\":" + JsonArray(BinLabels(kTextBytesEdges, true), string) +
         ",\"text\":" + JsonArray(stats.TextSizes(), integer) + "}";
}

}  // namespace

std::string HtmlText(std::string_view text) {
  std::string html;
  html.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        html += "&amp;";
        break;
      case '<':
        html += "&lt;";
        break;
      case '>':
        html += "&gt;";
        break;
      case '"':
        html += "&quot;";
        break;
      default:
        html += c;
    }
  }
  return html;
}

std::string ReportPage(const RunStats& stats, std::string_view chart_js, int64_t now_ms) {
  const Series series = SeriesOf(stats);
  std::string html =
      "<!DOCTYPE html>\n<html lang=en>\n<head>\n<meta charset=utf-8>\n"
      "<title>Korvane crawl report</title>\n<style>" +
      std::string(kStyle) +
      "</style>\n</head>\n<body>\n<h1>Korvane crawl report</h1>\n<p>Written " +
      UtcTimeText(now_ms) + " (UTC), every 10 s during a run and once at its end.</p>\n";
  SummaryTable(html, stats, series);
  html += "<h2>Charts</h2>\n";
  if (chart_js.empty()) {
    html +=
        "<p class=note>The charts need Chart.js from the Debian package libjs-chart.js "
        "(apt-get install libjs-chart.js), which was missing when this page was written; "
        "the tables hold every figure.</p>\n";
  }
  html +=
      "<div class=charts><div class=wide><canvas id=speed></canvas></div>"
      "<div><canvas id=fetch></canvas></div><div><canvas id=status></canvas></div>"
      "<div><canvas id=outcome></canvas></div><div><canvas id=text></canvas></div></div>\n";

  html += "<h2>Failed pages</h2>\n";
  PageTable(html, stats.FailedPages(), true);
  if (stats.FailedNotListed() > 0) {
    html += "<p>and " + std::to_string(stats.FailedNotListed()) + " more failed pages</p>\n";
  }
  html += "<h2>Slowest fetches</h2>\n";
  PageTable(html, stats.SlowestPages(), false);
  html += "<h2>Folders</h2>\n";
  FolderTable(html, stats);

  html += "<script type=\"application/json\" id=data>" + ScriptText(DataJson(stats, series)) +
          "</script>\n";
  if (!chart_js.empty()) {
    html += "<script>" + ScriptText(chart_js) + "</script>\n<script>" + std::string(kChartScript) +
            "</script>\n";
  }
  html += "</body>\n</html>\n";
  return html;
}

}  // namespace korvane
