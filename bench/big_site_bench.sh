#!/usr/bin/env bash
# Big-site crawl benchmark: a generated site of 2,000 pages (and its root), each page naming 500
# addresses found nowhere else, so the address list grows to 1,002,001 lines (35 MB). nginx
# serves it on 127.0.0.80:80; korvane-cli crawls it links-only with 10 workers and is stopped
# once every real page has been fetched (the named addresses sort after them and are not
# pages). Reports pages per second for each 250-page stretch against the dispatcher's ceiling
# of 50 a second, CPU seconds per 1,000 pages, peak resident memory and a digest of the final
# parsed_urls.txt, after the small-site figures of bench/crawl_bench.sh.
#
# usage: bench/big_site_bench.sh [BUILD_DIR]   (default: $KORVANE_BUILD_DIR or build/)
#   SMALL=0 skips the small-site run; THREADS=10 NAMED=500 PAGES=2000 change the scenario.
# Needs korvane-cli (and korvane-fixture-site for the small site), nginx and /usr/bin/time;
# run as root (nginx listens on port 80).
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-${KORVANE_BUILD_DIR:-$repo/build}}" && pwd)
pages=${PAGES:-2000}
named=${NAMED:-500}
threads=${THREADS:-10}
address=127.0.0.80
server_limit=1200 # seconds; nginx ends on its own after this even if this script is killed
crawl_limit=900   # seconds for the crawl itself
ceiling=50        # the dispatch loop starts at most one worker per 20 ms pass
stretch=250

cli=$build/cli/korvane-cli
if [ ! -x "$cli" ] || [ ! -x /usr/bin/time ]; then
  echo "needs $cli (cmake --build $build --target korvane-cli) and /usr/bin/time" >&2
  exit 2
fi

if [ "${SMALL:-1}" != 0 ]; then
  echo "== small site (bench/crawl_bench.sh)"
  "$repo/bench/crawl_bench.sh" "$build"
  echo
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/korvane-big-bench-XXXXXX")
# shellcheck source=bench/bench_server.sh
. "$repo/bench/bench_server.sh"
cli_pid=""
cleanup() {
  if [ -n "$cli_pid" ]; then kill -KILL "$cli_pid" 2>/dev/null || true; fi
  stop_server
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The root links to the first 20 pages, page i to pages i+1..i+20, so the crawl always has real
# pages waiting; page i also names `named` addresses under /z/, spread over the whole list by a
# bijective hash (k * 2654435761 mod 2^32 is a different number for every k below 2^32).
mkdir -p "$work/site/a" "$work/run"
awk -v pages="$pages" -v named="$named" -v root="$work/site" 'BEGIN {
  out = root "/index.html"
  for (t = 1; t <= 20 && t <= pages; t++) printf "<a href=\"/a/%04d.html\">p</a>\n", t > out
  close(out)
  for (i = 1; i <= pages; i++) {
    out = sprintf("%s/a/%04d.html", root, i)
    for (t = i + 1; t <= i + 20 && t <= pages; t++) printf "<a href=\"/a/%04d.html\">p</a>\n", t > out
    for (j = 0; j < named; j++) {
      k = (i - 1) * named + j
      printf "<a href=\"/z/%08x.html\">x</a>\n", (k * 2654435761) % 4294967296 > out
    }
    close(out)
  }
}'
start_server "$address" "$work/site" "$server_limit"

printf 'KorvaneBench/1.0\r\n' >"$work/run/UA.txt"
echo "== big site: $pages pages naming $named addresses each, $threads threads" >&2
(cd "$work/run" && exec timeout -k 5 "$crawl_limit" /usr/bin/time -v -o "$work/time.txt" \
  bash -c 'echo $$ >../cli.pid; exec "$@"' bash "$cli" crawl --site "http://$address/" \
  --threads "$threads" --links-only 2>"$work/crawl.err") &
runner=$!
# STOP (the CLI's first SIGINT) once the root and every page have been fetched.
real_pages=$((pages + 1))
while kill -0 "$runner" 2>/dev/null; do
  if [ -z "$cli_pid" ] && [ -s "$work/cli.pid" ]; then cli_pid=$(cat "$work/cli.pid"); fi
  if [ -n "$cli_pid" ] && [ -f "$work/access.log" ] &&
    [ "$(grep -c -E '\|GET /(a/[0-9]+\.html)? ' "$work/access.log")" -ge "$real_pages" ]; then
    kill -INT "$cli_pid" 2>/dev/null || true
    break
  fi
  sleep 0.02
done
status=0
wait "$runner" || status=$?
cli_pid=""
crawl_ended "$status"

fetched=$(wc -l <"$work/access.log")
seen=$(wc -l <"$work/run/parsed_urls.txt")
bytes=$(stat -c %s "$work/run/parsed_urls.txt")
digest=$(sha256sum "$work/run/parsed_urls.txt" | cut -c1-16)
user_s=$(time_field "User time (seconds)")
sys_s=$(time_field "System time (seconds)")
max_rss_kb=$(time_field "Maximum resident set size")

awk -F'|' -v stretch="$stretch" -v ceiling="$ceiling" -v fetched="$fetched" -v seen="$seen" \
  -v bytes="$bytes" -v digest="$digest" -v user="$user_s" -v sys="$sys_s" \
  -v rss="$max_rss_kb" -v threads="$threads" '
  { t[NR - 1] = $1 }
  END {
    printf "site:              %d pages fetched, %d addresses (%.1f MB) in parsed_urls.txt, sha256 %s\n",
           fetched, seen, bytes / 1e6, digest
    printf "threads:           %d\n", threads
    for (k = 1; k * stretch < NR; k++) {
      rate = stretch / (t[k * stretch] - t[(k - 1) * stretch])
      printf "pages %4d-%4d:   %.1f pages/s = %.1f%% of the %d/s ceiling\n",
             (k - 1) * stretch + 1, k * stretch, rate, 100 * rate / ceiling, ceiling
    }
    printf "CPU (user+sys):    %.2f + %.2f s = %.3f s per 1,000 pages\n", user, sys,
           1000 * (user + sys) / fetched
    printf "peak memory:       %.1f MiB max RSS\n", rss / 1024
  }' "$work/access.log"
