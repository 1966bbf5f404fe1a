#!/usr/bin/env bash
# Checks a built package as a user meets it: runs lintian on it (no error may remain; the
# warnings left are explained in packaging/lintian-notes.txt), installs the .deb with apt-get,
# validates the menu entry and the AppStream metainfo, renders both manual pages, asks both
# programs for --version, starts the installed menu entry the way a desktop does (gio launch)
# under Xvfb
# with a fresh home folder, waits for the window, checks that ~/Korvane was prepared, saves a
# screenshot of the window to $OUT (default build-deb/menu-start.png), closes the window and
# removes the package again (KEEP=1 keeps it installed).
#
# usage: packaging/check-deb.sh [build-deb/korvane_*.deb]      (as root)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
deb=$(realpath "${1:-$(ls "$repo"/build-deb/korvane_*.deb | tail -1)}")
out=$(realpath -m "${OUT:-$repo/build-deb/menu-start.png}")
source "$repo/bench/gui_session.sh"
session_install desktop-file-utils libglib2.0-bin xvfb xauth xdotool wmctrl openbox \
  imagemagick x11-utils lintian appstream man-db

work=$(mktemp -d "${TMPDIR:-/tmp}/korvane-check-deb-XXXXXX")
installed=""
cleanup() {
  session_cleanup
  if [ -n "$installed" ] && [ "${KEEP:-0}" = 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq korvane >/dev/null
    echo "removed the package"
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

echo "package: $deb"
dpkg-deb -f "$deb" Package Version Depends Recommends
# lintian's own exit status fails on errors; its warnings are listed for the notes.
lintian --fail-on error --info "$deb" | tee "$work/lintian.txt"
echo "lintian: $(grep -c '^E:' "$work/lintian.txt" || true) errors," \
  "$(grep -c '^W:' "$work/lintian.txt" || true) warnings"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
installed=1
entry=/usr/share/applications/invalid.korvane.Korvane.desktop
metainfo=/usr/share/metainfo/invalid.korvane.Korvane.metainfo.xml
desktop-file-validate "$entry"
appstreamcli validate --no-net --explain "$metainfo"
for page in korvane korvane-cli; do
  # man -l renders the installed page; groff's warnings fail the check.
  rendered=$(MANWIDTH=80 man --warnings -l "$(man -w "$page")" 2>"$work/man-warnings.txt")
  if [ -s "$work/man-warnings.txt" ]; then
    cat "$work/man-warnings.txt" >&2
    exit 1
  fi
  echo "man $page: $(wc -l <<<"$rendered") lines; $(grep -A1 '^NAME' <<<"$rendered" | tail -1)"
done
echo "versions: $(korvane --version), $(korvane-cli --version)"
for file in /usr/bin/korvane /usr/bin/korvane-cli "$entry" "$metainfo" \
  /usr/share/bash-completion/completions/korvane-cli /usr/share/doc/korvane/copyright \
  /usr/share/icons/hicolor/scalable/apps/korvane.svg; do
  [ -e "$file" ] || {
    echo "missing $file" >&2
    exit 1
  }
done
echo "installed; $entry is valid: $(grep '^Exec=' "$entry")"

session_start_display
export HOME=$work/home
mkdir -p "$HOME"
(cd / && gio launch "$entry")
window=$(session_find_window "Korvane ")
for name in settings parse SelectiveParseTest; do
  [ -d "$HOME/Korvane/$name" ] || {
    echo "the menu start did not create ~/Korvane/$name" >&2
    exit 1
  }
done
echo "the menu entry opened \"$(xdotool getwindowname "$window")\"; ~/Korvane holds:" \
  "$(cd "$HOME/Korvane" && ls -m) and UA.txt says: $(tr -d '\r' <"$HOME/Korvane/UA.txt")"
pid=$(xdotool getwindowpid "$window")
echo "its working folder: $(readlink "/proc/$pid/cwd")"
sleep 1
session_shot "$window" "$out"
echo "screenshot: $out"
wmctrl -i -c "$window"
for _ in $(seq 50); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  echo "the window did not end when closed" >&2
  kill -KILL "$pid"
  exit 1
fi
echo "closed: the program ended"
