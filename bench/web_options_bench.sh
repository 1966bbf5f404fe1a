#!/usr/bin/env bash
# Benchmarks of the three options for today's web, each against a local server on
# 127.0.0.3:80:
#   compressed  the 2,000-page fixture site from nginx with gzip on, crawled without and with
#               --compressed: bytes sent by the server, pages/s, CPU per 1,000 pages, and
#               whether every result file and the address list are the same
#   sitemaps    a site of which only 10% of the pages are linked and all are listed in a
#               sitemap index of gzipped sitemaps, crawled without and with --sitemaps
#   retry       a server that answers 429 with "Retry-After: 1" to the first request of every
#               page, crawled with --retry: pages saved, the shortest wait from a 429 to the
#               next request for that page, and the run's length beside the expected one
#
# usage: bench/web_options_bench.sh MODE [BUILD_DIR]   (default: $KORVANE_BUILD_DIR or build/)
#   PAGES and THREADS override each mode's site size and the thread count (10); PARAGRAPHS
#   the prose paragraphs per page of the compressed mode's site (6, pages of about 1.6 KB).
# Needs korvane-cli, korvane-fixture-site, korvane-busy-site, nginx, gzip and /usr/bin/time;
# run as root under flock /tmp/korvane-net.lock.
set -euo pipefail

mode=${1:-}
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${2:-${KORVANE_BUILD_DIR:-$repo/build}}" && pwd)
threads=${THREADS:-10}
address=127.0.0.3
server_limit=900
crawl_limit=600
cli=$build/cli/korvane-cli
case "$mode" in
  compressed) pages=${PAGES:-2000} ;;
  sitemaps) pages=${PAGES:-1000} ;;
  retry) pages=${PAGES:-30} ;;
  *)
    echo "usage: $0 compressed|sitemaps|retry [BUILD_DIR]" >&2
    exit 2
    ;;
esac
for tool in "$cli" "$build/tests/korvane-fixture-site" "$build/bench/korvane-busy-site"; do
  if [ ! -x "$tool" ]; then
    echo "missing $tool: cmake --build $build --target korvane-cli korvane-fixture-site" \
      "korvane-busy-site" >&2
    exit 2
  fi
done

# shellcheck source=bench/bench_server.sh
. "$(dirname "$0")/bench_server.sh"
bench_scratch web-bench

# nginx on $address:80 serving $work/site (bench_server.sh); with gzip on when $1 is "gzip".
start_nginx() {
  local gzip=""
  [ "$1" = gzip ] && gzip="gzip on; gzip_http_version 1.0; gzip_types text/html;"
  start_server "$address" "$work/site" "$server_limit" "$gzip"
}

# crawl NAME FLAGS...: one run in $work/NAME; sets wall (seconds) and cpu (user + sys).
crawl() {
  local name=$1
  shift
  mkdir -p "$work/$name"
  printf 'KorvaneBench/1.0\r\n' >"$work/$name/UA.txt"
  local start_ns end_ns status=0
  start_ns=$(date +%s%N)
  (cd "$work/$name" && timeout -k 5 "$crawl_limit" /usr/bin/time -v -o "$work/time.txt" \
    "$cli" crawl --site "http://$address/" --threads "$threads" --ignore-whitelist --markup "$@" \
    2>"$work/crawl.err") || status=$?
  end_ns=$(date +%s%N)
  if [ "$status" -ne 0 ]; then
    echo "the crawl failed with status $status:" >&2
    tail -20 "$work/crawl.err" >&2
    exit 1
  fi
  cp "$work/crawl.err" "$work/$name.err"
  wall=$(awk -v ns="$((end_ns - start_ns))" 'BEGIN {printf "%.2f", ns / 1e9}')
  cpu=$(awk -v u="$(time_field "User time (seconds)")" -v s="$(time_field "System time (seconds)")" \
    'BEGIN {printf "%.2f", u + s}')
}

# The result files of a run as a sorted list of checksums: workers number their files in the
# order they start, which differs from run to run.
results_of() {
  find "$work/$1/parse" -name '*.txt' -exec md5sum {} + | awk '{print $1}' | sort
}

mkdir -p "$work/site"
case "$mode" in
  compressed)
    "$build/tests/korvane-fixture-site" "$work/site" --pages "$pages" --host "$address" \
      --paragraphs "${PARAGRAPHS:-6}" >/dev/null
    for run in plain compressed; do
      start_nginx gzip
      flags=()
      [ "$run" = compressed ] && flags=(--compressed)
      crawl "$run" "${flags[@]}"
      stop_server
      awk -F'|' '{n++; b += $4} END {printf "%d %d\n", n, b}' "$work/access.log" >"$work/$run.sent"
      read -r fetched bytes <"$work/$run.sent"
      awk -v run="$run" -v f="$fetched" -v b="$bytes" -v w="$wall" -v c="$cpu" 'BEGIN {
        printf "%-11s %5d pages, %10d bytes received, %6.2f s, %5.1f pages/s, CPU %.2f s = %.3f s per 1,000 pages\n",
               run, f, b, w, f / w, c, 1000 * c / f }'
    done
    read -r _ plain_bytes <"$work/plain.sent"
    read -r _ compressed_bytes <"$work/compressed.sent"
    awk -v p="$plain_bytes" -v c="$compressed_bytes" 'BEGIN {printf "bytes: %.2f times fewer\n", p / c}'
    if cmp -s "$work/plain/parsed_urls.txt" "$work/compressed/parsed_urls.txt" &&
      [ "$(results_of plain)" = "$(results_of compressed)" ]; then
      echo "result files and address list: identical"
    else
      echo "result files or address list DIFFER" >&2
      exit 1
    fi
    ;;
  sitemaps)
    linked=$((pages / 10))
    {
      echo "<html><body><p>The start page of the sitemap benchmark site.</p>"
      for i in $(seq 1 "$linked"); do echo "<a href=\"/p$i.html\">page $i</a>"; done
      echo "</body></html>"
    } >"$work/site/index.html"
    for i in $(seq 1 "$pages"); do
      echo "<html><body><p>Page number $i of the sitemap benchmark site, long enough.</p></body></html>" \
        >"$work/site/p$i.html"
    done
    printf 'User-agent: *\nDisallow:\nSitemap: http://%s/maps/index.xml\n' "$address" \
      >"$work/site/robots.txt"
    mkdir -p "$work/site/maps"
    parts=4
    {
      echo '<?xml version="1.0" encoding="UTF-8"?>'
      echo '<sitemapindex xmlns="http://www.sitemaps.org/schemas/sitemap/0.9">'
      for part in $(seq 1 "$parts"); do
        echo "<sitemap><loc>http://$address/maps/part$part.xml.gz</loc></sitemap>"
      done
      echo '</sitemapindex>'
    } >"$work/site/maps/index.xml"
    for part in $(seq 1 "$parts"); do
      {
        echo '<?xml version="1.0" encoding="UTF-8"?>'
        echo '<urlset xmlns="http://www.sitemaps.org/schemas/sitemap/0.9">'
        for i in $(seq "$part" "$parts" "$pages"); do
          echo "<url><loc>http://$address/p$i.html</loc></url>"
        done
        echo '</urlset>'
      } | gzip -9 >"$work/site/maps/part$part.xml.gz"
    done
    for run in plain sitemaps; do
      start_nginx plain
      flags=()
      [ "$run" = sitemaps ] && flags=(--sitemaps)
      crawl "$run" "${flags[@]}"
      stop_server
      crawled=$(grep -c '|GET /p[0-9]*\.html ' "$work/access.log" || true)
      saved=$(find "$work/$run/parse" -name '*.txt' | wc -l)
      echo "$run: $crawled of $pages pages crawled ($linked linked), $saved result files, ${wall} s"
    done
    grep 'sitemaps:' "$work/sitemaps.err" || true
    ;;
  retry)
    "$build/tests/korvane-fixture-site" "$work/site" --pages "$pages" --host "$address" >/dev/null
    timeout -k 5 "$server_limit" "$build/bench/korvane-busy-site" "$address" "$work/site" \
      "$work/access.log" 1 "$server_limit" &
    server_pid=$!
    for _ in $(seq 100); do
      timeout 1 bash -c "exec 3<>/dev/tcp/$address/80" 2>/dev/null && break
      sleep 0.05
    done
    crawl retry --retry
    stop_server
    saved=$(find "$work/retry/parse" -name '*.txt' | wc -l)
    busy_saved=$(grep -l '^busy' "$work/retry/parse"/*.txt 2>/dev/null | wc -l || true)
    answered=$(awk -F'|' '$3 == 200' "$work/access.log" | wc -l)
    # For each path, the time from its 429 to its next request.
    awk -F'|' '$3 == 429 {busy[$2] = $1} $3 != 429 && ($2 in busy) {
        w = $1 - busy[$2]; if (n == 0 || w < least) least = w; n++ }
      END {printf "waits: %d pages asked again, shortest wait %.3f s\n", n, least}' "$work/access.log"
    echo "retry: $answered pages answered, $saved result files ($busy_saved hold a busy answer)"
    awk -v w="$wall" -v p="$answered" 'BEGIN {
      printf "run length: %.2f s; expected about %d s (the pause raised to 1 s: one page a second)\n", w, p }'
    ;;
esac
