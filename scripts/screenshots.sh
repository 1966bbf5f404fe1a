#!/usr/bin/env bash
# Makes the README's screenshots with the real program under Xvfb:
#   docs/main-window.png      the main window during a crawl of the local fixture site, with
#                             running workers in the monitor grid;
#   docs/main-window-en.png   the same in English (korvane --lang en);
#   docs/template-window.png  the selective-parse window with two template blocks added and
#                             the address of a page to test them on;
#   docs/report-page.png      report/index.html of a korvane-cli crawl with --report, as
#                             headless Chromium shows it from disk;
#   docs/report-tab.png       the main window's "Отчёт" tab during a crawl.
# The fixture site is served by nginx on 127.0.0.91:80, slowly (400 bytes a second), so the
# workers stay on screen long enough to be seen. The report's site, on 127.0.0.92:80, answers
# at full speed except in one slow folder; another folder is missing (404) and one more closes
# every connection without an answer.
#
# usage: flock /tmp/korvane-net.lock scripts/screenshots.sh [BUILD_DIR]
#   (default: $KORVANE_BUILD_DIR or build/; needs the targets korvane and korvane-fixture-site)
# Run as root (nginx listens on port 80); installs xdotool, openbox, ... when missing.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-${KORVANE_BUILD_DIR:-$repo/build}}" && pwd)
address=127.0.0.91
source "$repo/bench/gui_session.sh"
at=()        # places of controls, from session_locate_into
report_at=() # the same, on the "Текст" tab

session_enter_bus "$0" "$@"
session_require_tools "$build"
work=$(mktemp -d "${TMPDIR:-/tmp}/korvane-screenshots-XXXXXX")
trap 'session_cleanup; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

session_serve_site "$build" "$address" 200 400
report_address=127.0.0.92
session_install chromium
session_serve_site "$build" "$report_address" 600 0 \
  "location /s1/ { limit_rate 1500; } location /s3/p2/ { return 444; }" report-site
rm -rf "$work/report-site/s2/p1"
session_start_display 1600x1200
mkdir -p "$work/run/settings" "$work/run/parse" "$work/run/SelectiveParseTest" "$repo/docs"
printf 'Mozilla/5.0 (X11; Linux x86_64; rv:128.0) Gecko/20100101 Firefox/128.0\r\n' \
  >"$work/run/UA.txt"

# start_window [ARGUMENT...]: the program in the run folder, in Russian unless the arguments
# say otherwise, for at most two minutes; end_window waits for it to end (after HALT) and
# stops it if it does not.
start_window() {
  (cd "$work/run" && exec timeout -k 5 120 "$build/app/korvane" --lang ru "$@") \
    >>"$work/window.out" 2>&1 &
  session_pids+=("$!")
}
end_window() {
  local pid=${session_pids[-1]}
  unset 'session_pids[-1]'
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  session_stop "$pid"
}

# main_window_shot FILE SITE_CAPTION WHITELIST_CAPTION [ARGUMENT...]: the main window, started
# with the arguments, during a crawl: type the address, admit every page, START, wait until
# workers are busy, take the shot, HALT.
main_window_shot() {
  local file=$1 site=$2 whitelist=$3 logged
  shift 3
  logged=$(wc -l <"$work/access.log")
  start_window "$@"
  window=$(session_find_window "Korvane ")
  session_locate_into at "Korvane [" "text=$site" "check box=$whitelist" \
    "push button=START" "push button=HALT"
  window_type "$window" "${at[0]}" "http://$address/"
  window_click "$window" "${at[1]}"
  window_click "$window" "${at[2]}"
  for _ in $(seq 300); do
    [ "$(wc -l <"$work/access.log")" -ge $((logged + 4)) ] && break
    sleep 0.1
  done
  sleep 3
  xdotool mousemove 0 0
  session_shot "$window" "$file"
  window_click "$window" "${at[3]}"
  end_window
}
main_window_shot "$repo/docs/main-window.png" "сайт:" "игнорить вайтлист"
main_window_shot "$repo/docs/main-window-en.png" "site:" "ignore the whitelist" --lang en

# Template window: opened from "SelectiveParse", two blocks added, a test address typed.
start_window
window=$(session_find_window "Korvane ")
session_locate_into at "Korvane [" "push button=SelectiveParse"
window_click "$window" "${at[0]}"
templates=$(session_find_window "SelectiveParse")
session_locate_into at "SelectiveParse" "push button=add new block" "text=URL"
window_click "$templates" "${at[0]}"
window_click "$templates" "${at[0]}"
window_type "$templates" "${at[1]}" "http://$address/s0/p1/page42.html"
xdotool mousemove 0 0
session_shot "$templates" "$repo/docs/template-window.png"

end_window

# The report page: a whole crawl of the report's site with --report, then the page as a
# browser opens it from disk (no network: Chart.js and the data are inside it).
mkdir -p "$work/report-run"
cp "$work/run/UA.txt" "$work/report-run/"
(cd "$work/report-run" && timeout -k 5 300 "$build/cli/korvane-cli" crawl \
  --site "http://$report_address/" --threads 10 --ignore-whitelist --report) \
  2>"$work/report-crawl.err" || {
  echo "the report's crawl failed:" >&2
  tail -5 "$work/report-crawl.err" >&2
  exit 1
}
timeout -k 5 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$work/chromium" --hide-scrollbars --window-size=1280,1700 \
  --virtual-time-budget=3000 --screenshot="$repo/docs/report-page.png" \
  "file://$work/report-run/report/index.html" >"$work/chromium.log" 2>&1

# The "Отчёт" tab during a crawl of the report's site, with the report option on.
start_window
window=$(session_find_window "Korvane ")
session_locate_into at "Korvane [" "text=сайт:" "check box=игнорить вайтлист" \
  "push button=START" "push button=HALT" "page tab=Настройки" "page tab=Текст" "page tab=Отчёт"
window_type "$window" "${at[0]}" "http://$report_address/"
window_click "$window" "${at[1]}"
window_click "$window" "${at[5]}"
session_locate_into report_at "Korvane [" "check box=писать отчёт об обходе"
window_click "$window" "${report_at[0]}"
window_click "$window" "${at[4]}"
window_click "$window" "${at[2]}"
window_click "$window" "${at[6]}"
sleep 12
xdotool mousemove 0 0
session_shot "$window" "$repo/docs/report-tab.png"
window_click "$window" "${at[4]}"
window_click "$window" "${at[3]}"
end_window

echo "wrote docs/main-window.png, docs/main-window-en.png, docs/template-window.png," \
  "docs/report-page.png and docs/report-tab.png" >&2
