// korvane-cli: the headless front end over the crawl engine.
#include <CLI/CLI.hpp>

#include <iostream>

#include "base/cp1251.h"
#include "base/error.h"
#include "cli/commands.h"
#include "settings/option_table.h"

namespace {

using korvane::CrawlOptions;

// Adds the flags of `names` from the option table; each flag sets its option after parsing.
void AddCheckFlags(CLI::App& command, CrawlOptions& options,
                   std::initializer_list<std::string_view> names) {
  for (const auto& check : korvane::kCheckOptions) {
    for (std::string_view name : names) {
      if (name != check.flag) continue;
      command.add_flag_callback(
          std::string(check.flag),
          [&options, &check] { (options.*check.member).store(check.flag_sets_to); },
          std::string(check.help) + " (" + std::string(check.control) + ")");
    }
  }
}

// Adds every whole-number option of the table; each sets its option while parsing.
void AddNumberOptions(CLI::App& command, CrawlOptions& options) {
  for (const auto& number : korvane::kNumberOptions) {
    command
        .add_option_function<int64_t>(
            std::string(number.flag),
            [&options, &number](const int64_t& value) { (options.*number.member).store(value); },
            std::string(number.help) + " (" + std::string(number.control) + ")")
        ->check(CLI::NonNegativeNumber);
  }
}

// The first flag given on `command` without the option it works with, and that option; empty
// when there is none.
std::pair<std::string_view, std::string_view> FlagWithoutItsNeed(const CLI::App& command) {
  for (const auto& check : korvane::kCheckOptions) {
    if (check.needs.empty()) continue;
    const std::string flag(check.flag);
    const std::string need(check.needs);
    if (command.get_option_no_throw(flag) == nullptr || command.count(flag) == 0) continue;
    if (command.get_option_no_throw(need) == nullptr || command.count(need) == 0) {
      return {check.flag, check.needs};
    }
  }
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  // Named, so that the help's usage lines say "korvane-cli" whatever path started it.
  CLI::App app{"Korvane: crawls one web site and saves the readable text of its pages",
               "korvane-cli"};
  app.set_version_flag("--version", "korvane-cli " KORVANE_VERSION);
  app.require_subcommand(1);
  app.footer(
      "Exit status: 0 the command ran to its end; 1 it failed (a file that cannot be read or\n"
      "written, a value that is no number, ...); 2 the command line is wrong;\n"
      "3 a crawl ended without fetching a single page (its summary says why); 130 a crawl\n"
      "halted by a second Ctrl-C.");

  CrawlOptions options;
  std::string site, threads = "10", file, url;
  bool site_given = false;

  auto* crawl = app.add_subcommand("crawl", "crawl the site in the current folder, as START does");
  crawl->add_option("--site", site, "start address (overrides settings/settings.txt)");
  crawl->add_option("--threads", threads, "most workers running at once (default 10)");
  AddCheckFlags(*crawl, options,
                {"--ignore-whitelist",
                 "--links-only",
                 "--selective",
                 "--apostrophes",
                 "--template-pages",
                 "--exclude-subdomains",
                 "--relative",
                 "--proxy",
                 "--markup",
                 "--keep-br",
                 "--no-clean",
                 "--https",
                 "--insecure",
                 "--follow-redirects",
                 "--recode",
                 "--robots",
                 "--continue",
                 "--sitemaps",
                 "--compressed",
                 "--retry",
                 "--standard-links",  // the links as a browser reads them
                 "--main-text",
                 "--skip-duplicates",
                 "--report",
                 "--markdown",
                 "--utf8",
                 "--metadata"});
  AddNumberOptions(*crawl, options);

  auto* text = app.add_subcommand("text", "print the text a worker would save for FILE");
  text->add_option("FILE", file, "a saved HTTP response")->required();
  AddCheckFlags(*text, options, {"--recode", "--main-text", "--markdown", "--utf8"});
  text->add_option("--url", url, "the address the response came from: the Markdown's links");

  auto* meta = app.add_subcommand(
      "meta", "print the pages.jsonl record of FILE (what the page says of itself)");
  meta->add_option("FILE", file, "a saved HTTP response")->required();
  meta->add_option("--url", url, "the address the response came from");
  AddCheckFlags(*meta, options, {"--recode", "--main-text", "--utf8"});

  auto* templates =
      app.add_subcommand("templates", "print the template text a worker would save for FILE");
  templates->add_option("FILE", file, "a saved HTTP response")->required();
  AddCheckFlags(*templates, options, {"--markup", "--keep-br", "--no-clean", "--recode", "--utf8"});

  auto* links = app.add_subcommand("links", "print the links a worker for URL would queue");
  links->add_option("FILE", file, "a saved HTTP response")->required();
  links->add_option("--url", url, "the address the response came from")->required();
  links->add_option("--site", site, "start address (overrides settings/settings.txt)");
  AddCheckFlags(*links, options,
                {"--apostrophes", "--exclude-subdomains", "--relative", "--https",
                 "--follow-redirects", "--robots", "--standard-links"});

  auto* test = app.add_subcommand("test", "the template window's test fetch of URL");
  test->add_option("URL", url, "the address to fetch")->required();
  AddCheckFlags(
      *test, options,
      {"--markup", "--keep-br", "--no-clean", "--https", "--insecure", "--recode", "--utf8"});

  std::string folder, output, separator, from, to, word, count_text;

  auto* filter = app.add_subcommand("filter", "delete the folder's .txt files below a size");
  filter->add_option("DIR", folder, "the folder of result files")->required();
  filter->add_option("--min-size", count_text, "smallest size kept, in bytes (Edit7)")->required();

  auto* join = app.add_subcommand("join", "join the folder's .txt files into the file OUT");
  join->add_option("DIR", folder, "the folder of result files")->required();
  join->add_option("OUT", output, "the joined file (Edit4)")->required();
  join->add_option("--separator", separator, "put TEXT and CR LF after every file (Edit5)");

  auto* clean = app.add_subcommand("clean", "clean every .txt file of the folder in place");
  clean->add_option("DIR", folder, "the folder of result files")->required();
  auto* clean_from = clean->add_option("--from", from, "start marker of the stretches (Edit8)");
  auto* clean_to = clean->add_option("--to", to, "end marker of the stretches (Edit9)");
  auto* clean_word = clean->add_option("--word", word, "text to replace by a blank (Edit10)");
  clean_from->needs(clean_to);
  clean_to->needs(clean_from);
  clean_word->excludes(clean_from)->excludes(clean_to);

  auto* split = app.add_subcommand("split", "move the folder's .txt files into numbered folders");
  split->add_option("DIR", folder, "the folder of result files")->required();
  split->add_option("--per", count_text, "files per sub-folder (Edit13)")->required();

  double threshold = 0.9;
  auto* dedupe =
      app.add_subcommand("dedupe", "delete the folder's .txt files that repeat an earlier one");
  dedupe->add_option("DIR", folder, "the folder of result files")->required();
  dedupe->add_option("--threshold", threshold, "resemblance of a near copy (default 0.9)")
      ->check(CLI::Range(0.01, 1.0));
  bool dry_run = false;
  dedupe->add_flag("--dry-run", dry_run, "list the groups, delete nothing");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // --help and --version end with 0, a command line that cannot be parsed with 2.
    return app.exit(error) == 0 ? 0 : 2;
  }
  if (const std::string pair = korvane::ExcludedPair(options); !pair.empty()) {
    std::cerr << pair
              << " exclude each other: give one of them\n"
                 "Run with --help for more information.\n";
    return 2;
  }
  if (*clean && !*clean_from && !*clean_word) {
    std::cerr << "clean: give --from and --to, or --word\nRun with --help for more information.\n";
    return 2;
  }
  for (const CLI::App* command : {crawl, text}) {
    if (const auto [flag, need] = FlagWithoutItsNeed(*command); !flag.empty()) {
      std::cerr << command->get_name() << ": " << flag << " works only with " << need
                << "\nRun with --help for more information.\n";
      return 2;
    }
  }
  site_given = crawl->count("--site") > 0 || links->count("--site") > 0;

  using korvane::Utf8ToCp1251;
  try {
    if (*filter) return korvane::cli::RunFilter({folder, Utf8ToCp1251(count_text)});
    if (*join) {
      return korvane::cli::RunJoin(
          {folder, output, join->count("--separator") > 0, Utf8ToCp1251(separator)});
    }
    if (*clean) {
      const korvane::CleanFields fields{folder, Utf8ToCp1251(from), Utf8ToCp1251(to),
                                        Utf8ToCp1251(word)};
      return *clean_word ? korvane::cli::RunCleanWords(fields)
                         : korvane::cli::RunCleanFromTo(fields);
    }
    if (*split) return korvane::cli::RunSplit({folder, Utf8ToCp1251(count_text)});
    if (*dedupe) {
      return korvane::cli::RunDedupe({folder, threshold, dry_run});
    }
    korvane::cli::LoadSettingsInto(options);
    if (site_given) options.site.Set(korvane::Utf8ToCp1251(site));
    options.thread_count.Set(threads);
    if (*crawl) return korvane::cli::RunCrawl(options);
    if (*text) return korvane::cli::PrintPlainText(file, url, options);
    if (*templates) return korvane::cli::PrintTemplateText(file, options);
    if (*meta) return korvane::cli::PrintMeta(file, url, options);
    if (*links) return korvane::cli::PrintLinks(file, korvane::Utf8ToCp1251(url), options);
    if (*test) return korvane::cli::RunTestFetch(korvane::Utf8ToCp1251(url), options);
  } catch (const korvane::KorvaneError& error) {
    std::cerr << "korvane-cli: " << korvane::cli::ErrorToUtf8(error) << std::endl;
    return 1;
  }
  return 0;
}
