#!/usr/bin/env bash
# GUI crawl benchmark: the window (build/app/korvane) crawls the generated 2,000-page site
# served by nginx on 127.0.0.90:80, started the way a user starts it: under Xvfb with a window
# manager, xdotool types the address into "сайт:", ticks "игнорить вайтлист" and clicks START,
# and a close request follows at once, so the program ends after the run's final save (a
# close during a run leaves the window open and the run going). Reported: pages per second
# from the click to the program's end, against the dispatcher's ceiling of 50 a second, and
# the window process's own CPU time, then korvane-cli's figures from bench/crawl_bench.sh on
# the same site for comparison (CLI=0 skips that).
#
# usage: flock /tmp/korvane-net.lock bench/gui_bench.sh [BUILD_DIR]
#   (default: $KORVANE_BUILD_DIR or build/; needs the targets korvane, korvane-cli and
#   korvane-fixture-site; PAGES=2000 THREADS=10 override the site size and the thread count;
#   PERF=FILE records a call-graph profile of the window's crawl into FILE with perf, which
#   adds its own cost to the window's figures; PERF_TARGET="-t" follows only the main thread,
#   PERF_GRAPH="--call-graph dwarf" unwinds libraries built without frame pointers;
#   TAB=Отчёт shows that tab of the window during the crawl)
# Run as root (nginx listens on port 80); installs xdotool, openbox, ... when missing.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-${KORVANE_BUILD_DIR:-$repo/build}}" && pwd)
pages=${PAGES:-2000}
threads=${THREADS:-10}
tab=${TAB:-}
address=127.0.0.90
crawl_limit=600 # seconds for the crawl itself
ceiling=50      # the dispatch loop starts at most one worker per 20 ms pass
source "$repo/bench/gui_session.sh"
at=() # places of controls, from session_locate_into

session_enter_bus "$0" "$@"
session_require_tools "$build"
work=$(mktemp -d "${TMPDIR:-/tmp}/korvane-gui-bench-XXXXXX")
trap 'session_cleanup; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

session_serve_site "$build" "$address" "$pages"
session_start_display
mkdir -p "$work/run"
printf 'KorvaneBench/1.0\r\n' >"$work/run/UA.txt"

# A first start finds the controls in the accessibility tree and is closed again; the measured
# start runs without the accessibility bridge, as on most desktops, at the same places. Both
# show the Russian captions located here, whatever the desktop's language.
(cd "$work/run" && exec timeout -k 5 60 "$build/app/korvane" --lang ru >"$work/locate.out" 2>&1) &
locate_job=$!
window=$(session_find_window "Korvane ")
tab_control=()
[ -z "$tab" ] || tab_control=("page tab=$tab")
session_locate_into at "Korvane [" "text=сайт:" "spin button=потоки" \
  "check box=игнорить вайтлист" "push button=START" "${tab_control[@]}"
wmctrl -i -c "$window"
wait "$locate_job"

# /usr/bin/time is the window's parent and reports its CPU time and memory when it ends.
(cd "$work/run" && unset QT_LINUX_ACCESSIBILITY_ALWAYS_ON &&
  exec timeout -k 5 "$crawl_limit" /usr/bin/time -v -o "$work/time.txt" \
    "$build/app/korvane" --lang ru >"$work/window.out" 2>&1) &
window_job=$!
window=$(session_find_window "Korvane ")
window_pid=$(xdotool getwindowpid "$window")
perf_job=
if [ -n "${PERF:-}" ]; then
  # shellcheck disable=SC2086 # the graph option is one or two words
  perf record -q -F 499 ${PERF_GRAPH:--g} "${PERF_TARGET:--p}" "$window_pid" -o "$PERF" \
    >"$work/perf.out" 2>&1 &
  perf_job=$!
fi

window_type "$window" "${at[0]}" "http://$address/"
[ "$threads" = 10 ] || window_type "$window" "${at[1]}" "$threads"
window_click "$window" "${at[2]}"
ticks_before=$(awk '{print $14 + $15}' "/proc/$window_pid/stat")
start_ns=$(date +%s%N)
window_click "$window" "${at[3]}"
# The tab comes after START, which sits on the first tab.
[ -z "$tab" ] || window_click "$window" "${at[4]}"
wmctrl -i -c "$window"
status=0
wait "$window_job" || status=$?
end_ns=$(date +%s%N)
# perf ends when the process it follows has ended.
[ -z "$perf_job" ] || wait "$perf_job" || true

if [ "$status" -ne 0 ]; then
  echo "the window ended with status $status:" >&2
  tail -20 "$work/window.out" >&2
  exit 1
fi
fetched=$(wc -l <"$work/access.log")
if [ "$fetched" -eq 0 ]; then
  echo "the window ended without fetching a page: did the START click miss?" >&2
  exit 1
fi
seen=$(wc -l <"$work/run/parsed_urls.txt")
results=$(find "$work/run/parse" -name '*.txt' | wc -l)
user_s=$(awk -F': ' '/User time \(seconds\)/ {print $2}' "$work/time.txt")
sys_s=$(awk -F': ' '/System time \(seconds\)/ {print $2}' "$work/time.txt")
max_rss_kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
first_ms=$(head -1 "$work/access.log" | cut -d'|' -f1)
last_ms=$(tail -1 "$work/access.log" | cut -d'|' -f1)

echo "== the window (korvane), started from its START button =="
awk -v pages="$pages" -v fetched="$fetched" -v seen="$seen" -v results="$results" \
  -v ns="$((end_ns - start_ns))" -v user="$user_s" -v sys="$sys_s" -v rss="$max_rss_kb" \
  -v before="$ticks_before" -v hz="$(getconf CLK_TCK)" -v first="$first_ms" -v last="$last_ms" \
  -v ceiling="$ceiling" -v threads="$threads" -v tab="$tab" 'BEGIN {
  wall = ns / 1e9
  rate = fetched / wall
  crawl_cpu = user + sys - before / hz
  printf "site:              %d pages generated, %d fetched, %d addresses listed, %d result files\n",
         pages, fetched, seen, results
  printf "threads:           %d%s\n", threads, tab == "" ? "" : ", tab \"" tab "\" shown"
  printf "wall time:         %.2f s from the START click to the end of the program\n", wall
  printf "throughput:        %.1f pages/s = %.1f%% of the %d dispatches/s ceiling\n",
         rate, 100 * rate / ceiling, ceiling
  if (fetched > 1)
    printf "request span:      %.1f pages/s between the first and the last request\n",
           (fetched - 1) / (last - first)
  printf "window CPU:        %.2f s user+sys in all, %.2f s during the crawl = %.3f s per 1,000 pages, %.1f%% of one core\n",
         user + sys, crawl_cpu, 1000 * crawl_cpu / fetched, 100 * crawl_cpu / wall
  printf "peak memory:       %.1f MiB max RSS\n", rss / 1024
}'
if [ "$fetched" -ne "$pages" ]; then
  echo "warning: $fetched pages fetched, $pages expected" >&2
fi

if [ "${CLI:-1}" != 0 ]; then
  session_cleanup
  echo
  echo "== korvane-cli on the same site (bench/crawl_bench.sh) =="
  PAGES=$pages THREADS=$threads "$repo/bench/crawl_bench.sh" "$build"
fi
