#!/usr/bin/env bash
# Duplicate benchmark: a generated site with planted groups of copies and near misses, served by
# nginx on 127.0.0.3:80 under the names bench.test and m.bench.test, crawled three times: plain
# (the baseline), with --main-text --skip-duplicates, and with --selective --skip-duplicates.
# Reports, for each, the files saved and whether every planted copy was skipped and every near
# miss saved. The crawls run in a mount namespace of their own whose /etc/hosts gives the two
# names, so the machine's name lookup is left alone.
#
# Each group g: the article /a/g.html; copies that must be skipped: /a/g.html?print=1,
# /print/g.html (the same page), /dated/g.html (an "Updated" date line), /views/g.html (a
# "views:" counter), /ad/g.html (an advert paragraph) and http://m.bench.test/a/g.html; near
# misses that must be saved: /tpl/g.html (another article on the same template) and
# /follow/g.html (a follow-up that quotes the first third of the article). The pages carry a
# menu and a footer, but their articles are long enough that the plain text shows the same
# groups as the main text would.
#
# usage: bench/dedupe_bench.sh [BUILD_DIR]     (default: $KORVANE_BUILD_DIR or build/)
#   DUP_GROUPS=30 THREADS=10 override the number of groups and the thread count.
# Needs korvane-cli, nginx, unshare and mount; run as root, as
#   flock /tmp/korvane-net.lock bench/dedupe_bench.sh
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-${KORVANE_BUILD_DIR:-$repo/build}}" && pwd)
groups=${DUP_GROUPS:-30}
threads=${THREADS:-10}
address=127.0.0.3
cli=$build/cli/korvane-cli
if [ ! -x "$cli" ]; then
  echo "missing $cli: cmake --build $build --target korvane-cli" >&2
  exit 2
fi

# shellcheck source=bench/bench_server.sh
. "$(dirname "$0")/bench_server.sh"
bench_scratch dedupe-bench

mkdir -p "$work/site"/{a,print,dated,views,ad,tpl,follow}
awk -v groups="$groups" -v root="$work/site" '
  function word(   n, i, w) {
    n = 3 + int(rand() * 6); w = ""
    for (i = 0; i < n; i++) w = w substr("abcdefghijklmnopqrstuvwxyz", 1 + int(rand() * 26), 1)
    return w
  }
  function words(n,   i, s) {
    s = ""
    for (i = 0; i < n; i++) s = s word() (i % 15 == 14 ? "\n" : " ")
    return s
  }
  function page(path, title, article) {
    path = root "/" path
    print "<html><head><title>" title "</title></head><body>" menu \
          "<div class=\"article\">" article "</div>" footer "</body></html>" > path
    close(path)
  }
  function link(target) { links = links "<a href=\"" target "\">" target "</a>\n" }
  BEGIN {
    srand(7)
    menu = "<div class=\"menu\">Home News Sport Weather Culture Travel Science Business " \
           "Opinion Video Podcasts Newsletters</div>\n"
    footer = "<div class=\"footer\">" words(40) "</div>\n"
    for (g = 1; g <= groups; g++) {
      first = words(100)
      article = first words(100) " orig" g " " words(100)
      page("a/" g ".html", "Article " g, article)
      page("print/" g ".html", "Article " g, article)
      page("dated/" g ".html", "Article " g, "<p>Updated 2026-12-0" (g % 9 + 1) " 10:" (10 + g % 50) "</p>\n" article)
      page("views/" g ".html", "Article " g, article "<p>views: " (1000 + g * 37) "</p>\n")
      page("ad/" g ".html", "Article " g, article "<p class=\"ad\">Advert: " words(20) "</p>\n")
      page("tpl/" g ".html", "Article " g, words(150) " other" g " " words(150))
      page("follow/" g ".html", "Article " g, first " follow" g " " words(200))
      link("/a/" g ".html"); link("/a/" g ".html?print=1"); link("/print/" g ".html")
      link("/dated/" g ".html"); link("/views/" g ".html"); link("/ad/" g ".html")
      link("http://m.bench.test/a/" g ".html"); link("/tpl/" g ".html"); link("/follow/" g ".html")
    }
    path = root "/index.html"
    print "<html><body>\n" links "</body></html>" > path
  }'
printf '%s bench.test\n%s m.bench.test\n' "$address" "$address" >"$work/hosts"

start_server "$address" "$work/site" 900

# crawl NAME FLAGS...: one crawl of http://bench.test/ in $work/NAME; prints its line of results.
crawl() {
  local name=$1 run=$work/$1
  shift
  mkdir -p "$run"
  printf 'KorvaneBench/1.0\r\n' >"$run/UA.txt"
  mkdir -p "$run/settings"
  printf '<site>http://bench.test/</site>\r\n<black></black>\r\n<white></white>\r\n<templ>%s</templ>\r\n' \
    '[blockname]article[/blockname][start]<div class="article">[/start][stop]</div>[/stop]' \
    >"$run/settings/settings.txt"
  local status=0 start_ns
  start_ns=$(date +%s%N)
  # The single quotes are the inner shell's script; its arguments follow it.
  # shellcheck disable=SC2016
  timeout -k 5 600 unshare --mount -- bash -c \
    'mount --bind "$1" /etc/hosts && cd "$2" && shift 2 && exec "$@"' _ "$work/hosts" "$run" \
    "$cli" crawl --site http://bench.test/ --threads "$threads" --ignore-whitelist "$@" \
    2>"$run/crawl.err" || status=$?
  if [ "$status" -ne 0 ]; then
    echo "$name: the crawl failed with status $status:" >&2
    tail -20 "$run/crawl.err" >&2
    exit 1
  fi
  local seconds saved missed=0 token g count
  seconds=$((($(date +%s%N) - start_ns) / 1000000000))
  saved=$(find "$run/parse" -name '*.txt' | wc -l)
  for g in $(seq "$groups"); do
    for token in "orig$g" "other$g" "follow$g"; do
      count=$(grep -lw "$token" "$run"/parse/*.txt | wc -l)
      [ "$count" -eq 1 ] || missed=$((missed + 1))
    done
  done
  printf '%s (%s): %d files saved, %d of %d articles and near misses not in exactly one file, %s, %d s\n' \
    "$name" "$*" "$saved" "$missed" "$((3 * groups))" \
    "$(grep -o 'дублей: [0-9]*' "$run/crawl.err" | tail -1 || true)" "$seconds"
}

echo "site: $((1 + 9 * groups)) pages, $groups groups of an article, 6 copies and 2 near misses;"
echo "with the option $((1 + 3 * groups)) files and $((6 * groups)) duplicates are expected"
crawl baseline
crawl main-text --main-text --skip-duplicates
crawl selective --selective --skip-duplicates
