#!/usr/bin/env bash
# Coverage benchmark: how much of a real site korvane-cli reaches, side by side with
# `wget -r -l inf --spider -e robots=off`, both crawling the same folder served by nginx on
# 127.0.0.31:80. Pages are counted from nginx's log: the distinct paths each crawler got a 200
# for whose name is a page's (".html", ".htm" or a folder "/"; wget also asks for the images,
# styles and scripts pages use), and the requests each made for a missing address (404).
#
# usage: flock /tmp/korvane-net.lock bench/coverage_bench.sh [BUILD_DIR]
#   ROOT=/usr/share/doc/python3.11/html (Debian's python3.11-doc) is the site served;
#   THREADS=10; FLAGS="--standard-links" are the crawl flags beside --ignore-whitelist.
# Needs korvane-cli, nginx and wget; run as root (nginx listens on port 80).
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-${KORVANE_BUILD_DIR:-$repo/build}}" && pwd)
root=${ROOT:-/usr/share/doc/python3.11/html}
threads=${THREADS:-10}
address=127.0.0.31
read -r -a crawl_flags <<<"${FLAGS---standard-links}"
cli=$build/cli/korvane-cli
for tool in "$cli" /usr/bin/wget /usr/sbin/nginx; do
  if [ ! -x "$tool" ]; then
    echo "missing $tool (scripts/install-deps.sh installs nginx-light and wget)" >&2
    exit 2
  fi
done
if [ ! -d "$root" ]; then
  echo "missing $root (Debian package python3.11-doc, or set ROOT)" >&2
  exit 2
fi

# shellcheck source=bench/bench_server.sh
. "$(dirname "$0")/bench_server.sh"
bench_scratch coverage-bench
start_server "$address" "$root" 1200

# The requests of one crawler: the log lines after the first $1.
log_after() { tail -n +"$(($1 + 1))" "$work/access.log"; }
# Distinct paths answered with status $1 (and, for 200, named as a page) in the lines on stdin.
paths_with() {
  awk -F'|' -v s="$1" '$3 == s {
    split($2, r, " "); path = r[2]; name = path; sub(/\?.*/, "", name)
    if (s != 200 || name ~ /(\.html?|\/)$/) print path
  }' | sort -u
}

echo "wget crawling http://$address/ ..." >&2
start=$(date +%s.%N)
(cd "$work" && timeout -k 5 900 wget -r -l inf --spider -e robots=off -nv -P "$work/wget" \
  "http://$address/" >"$work/wget.out" 2>&1) || true
wget_s=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN {print b - a}')
sleep 1 # nginx writes its log lines as it finishes the answers
wget_lines=$(wc -l <"$work/access.log")
log_after 0 | head -n "$wget_lines" >"$work/wget.log"

mkdir -p "$work/run"
printf 'KorvaneBench/1.0\r\n' >"$work/run/UA.txt"
echo "korvane-cli crawling http://$address/ with ${crawl_flags[*]:-no flags} ..." >&2
start=$(date +%s.%N)
status=0
(cd "$work/run" && timeout -k 5 900 "$cli" crawl --site "http://$address/" --threads "$threads" \
  --ignore-whitelist "${crawl_flags[@]}" 2>"$work/crawl.err") || status=$?
korvane_s=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN {print b - a}')
sleep 1
crawl_ended "$status"
log_after "$wget_lines" >"$work/korvane.log"

paths_with 200 <"$work/wget.log" >"$work/wget.200"
paths_with 200 <"$work/korvane.log" >"$work/korvane.200"
paths_with 404 <"$work/wget.log" >"$work/wget.404"
paths_with 404 <"$work/korvane.log" >"$work/korvane.404"
wget_pages=$(wc -l <"$work/wget.200")
korvane_pages=$(wc -l <"$work/korvane.200")
both=$(comm -12 "$work/wget.200" "$work/korvane.200" | wc -l)
extra_missing=$(comm -13 "$work/wget.404" "$work/korvane.404")

printf 'site:            %s served on http://%s/\n' "$root" "$address"
printf 'wget:            %d pages with status 200, %d requests for missing addresses, %.1f s\n' \
  "$wget_pages" "$(wc -l <"$work/wget.404")" "$wget_s"
printf 'korvane-cli:     %d pages with status 200, %d requests for missing addresses, %.1f s (%s, %d workers)\n' \
  "$korvane_pages" "$(wc -l <"$work/korvane.404")" "$korvane_s" "${crawl_flags[*]:-no flags}" \
  "$threads"
awk -v both="$both" -v wget="$wget_pages" 'BEGIN {
  printf "coverage:        %d of wget'"'"'s %d pages = %.1f%%\n", both, wget, wget ? 100 * both / wget : 0
}'
printf 'not from wget:   %d pages korvane-cli reached that wget did not\n' \
  "$(comm -13 "$work/wget.200" "$work/korvane.200" | wc -l)"
if [ -n "$extra_missing" ]; then
  printf 'missing addresses korvane-cli asked for and wget did not (%d):\n' \
    "$(echo "$extra_missing" | wc -l)"
  echo "$extra_missing" | head -20 | sed 's/^/  /'
else
  echo 'missing addresses korvane-cli asked for and wget did not: none'
fi
if [ "$both" -lt "$wget_pages" ]; then
  echo "wget's pages korvane-cli missed (first 20):"
  comm -23 "$work/wget.200" "$work/korvane.200" | head -20 | sed 's/^/  /'
fi
