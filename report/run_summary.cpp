// The texts of the run summary.
#include "report/run_summary.h"

#include <cstdio>

#include "base/cp1251.h"
#include "net/address.h"

namespace korvane {

namespace {

std::string Fixed(double value, const char* format) {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string Reasons(const RunStats& run) {
  std::string text;
  for (const auto& [reason, count] : run.Reasons()) {
    if (!text.empty()) text += ", ";
    text += std::to_string(count) + " " + Cp1251ToUtf8(reason);
  }
  return text;
}

}  // namespace

std::optional<std::string> StartAddressNote(std::string_view site, bool https_ports) {
  if (site.empty()) return "no start address: give --site or write one in settings/settings.txt";
  const std::string shown = "the start address " + Cp1251ToUtf8(site);
  const size_t scheme_end = site.find("://");
  std::string_view scheme =
      scheme_end == std::string_view::npos ? std::string_view() : site.substr(0, scheme_end);
  if (scheme.find_first_of("/?#") != std::string_view::npos) scheme = {};  // "://" in a query
  const UrlTarget target = SplitUrl(site, https_ports);
  const bool https = scheme == "https" && https_ports;
  if (!scheme.empty() && scheme != "http" && !https) {
    return shown + " is no http address: its host is read as \"" + Cp1251ToUtf8(target.host) +
           "\", so the fetch fails" + (scheme == "https" ? "; --https fetches it over TLS" : "");
  }
  if (target.host.empty()) {
    return shown + " has no \"/\" after its host, so it names no host (write it as " +
           Cp1251ToUtf8(site) + "/)";
  }
  const size_t colon = target.host.rfind(':');
  if (colon == std::string::npos) return std::nullopt;
  const std::string port = Cp1251ToUtf8(target.host.substr(colon + 1));
  if (!https_ports) {
    return shown + " names port " + port + ", which only --https reads: without it \"" +
           Cp1251ToUtf8(target.host) + "\" is looked up as a host name and requests go to port 80";
  }
  if (target.port == 0) return shown + ": its port " + port + " is no port number";
  return std::nullopt;
}

std::string RunSummary(const RunStats& run, double seconds, bool continued) {
  const double rate = seconds > 0 ? static_cast<double>(run.Pages()) / seconds : 0;
  std::string text = std::to_string(run.Pages()) + " pages in " + Fixed(seconds, "%.1f") + " s (" +
                     Fixed(rate, "%.1f") + " pages/s): " + std::to_string(run.Fetched()) +
                     " fetched, ";
  for (int i = 0; i < kOutcomeCount; ++i) {
    const auto outcome = static_cast<PageOutcome>(i);
    if (i > 0) text += ", ";
    text += std::to_string(run.Count(outcome)) + " " + std::string(OutcomeWords(outcome));
  }
  text += "\n";
  if (!run.Reasons().empty()) text += "failed: " + Reasons(run) + "\n";
  text += "HTTP status:";
  for (int hundreds = 2; hundreds <= 5; ++hundreds) {
    text += (hundreds > 2 ? ", " : " ") + std::to_string(run.StatusClass(hundreds)) + " " +
            std::to_string(hundreds) + "xx";
  }
  text += "\n";
  if (run.Pages() == 0 && continued) {
    text += "no page was left to fetch: the last run is complete\n";
  } else if (run.Fetched() == 0) {
    text += run.Pages() == 0
                ? "no page was fetched: no address was dispatched (robots.txt, the page "
                  "limit or a stop kept them back)\n"
                : "no page could be fetched: " + Reasons(run) + "\n";
  }
  return text;
}

}  // namespace korvane
