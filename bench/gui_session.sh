# shellcheck shell=bash
# Sourced by bench/gui_bench.sh and scripts/screenshots.sh: the generated fixture site behind
# nginx on a loopback address, an X server (Xvfb) with a window manager, and the window
# driven with xdotool at the places its accessibility tree gives. Every process is started in the background with a time limit, so it
# ends by itself even if the calling script is killed, and is stopped by its PID.
# The caller sets `work` (a fresh folder) and calls session_cleanup on exit.

session_pids=()  # the `timeout` wrappers of everything started here, newest last

# session_enter_bus "$0" "$@": runs the calling script again inside a private session bus
# (dbus-run-session), where the window's accessibility tree can be read; returns inside it.
session_enter_bus() {
  [ -n "${KORVANE_SESSION_BUS:-}" ] && return 0
  session_install dbus at-spi2-core
  # The bus daemons' own chatter is dropped.
  KORVANE_SESSION_BUS=1 exec dbus-run-session -- bash "$@" \
    > >(grep --line-buffered -v '^SpiRegistry daemon is running') \
    2> >(grep --line-buffered -v '^dbus-daemon' >&2)
}

# session_install PACKAGE...: installs the Debian packages that are missing.
session_install() {
  local missing=() package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$package")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    local sudo_cmd=""
    [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends \
      "${missing[@]}" >/dev/null
  fi
}

# session_require_tools BUILD: the tools every driver needs, and the programs it drives.
session_require_tools() {
  local build=$1 tool
  session_install xvfb xauth xdotool wmctrl openbox imagemagick x11-utils nginx-light time \
    python3-pyatspi at-spi2-core dbus
  # The window shows its accessibility tree on the session bus, where gui_locate.py reads it.
  export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
  for tool in "$build/app/korvane" "$build/tests/korvane-fixture-site"; do
    if [ ! -x "$tool" ]; then
      echo "missing $tool: cmake --build $build --target korvane korvane-fixture-site" >&2
      return 2
    fi
  done
}

# session_spawn LIMIT COMMAND...: runs COMMAND in the background for at most LIMIT seconds.
session_spawn() {
  local limit=$1
  shift
  timeout -k 5 "$limit" "$@" &
  session_pids+=("$!")
}

# session_stop PID: TERM (passed on by `timeout`), then KILL after five seconds.
session_stop() {
  local pid=$1
  kill -0 "$pid" 2>/dev/null || {
    wait "$pid" 2>/dev/null || true
    return 0
  }
  kill -TERM "$pid" 2>/dev/null || true
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

session_cleanup() {
  local i
  for ((i = ${#session_pids[@]} - 1; i >= 0; i--)); do session_stop "${session_pids[$i]}"; done
  session_pids=()
}

# session_port_open ADDRESS PORT
session_port_open() {
  timeout 1 bash -c "exec 3<>/dev/tcp/$1/$2" 2>/dev/null
}

# session_serve_site BUILD ADDRESS PAGES [RATE [EXTRA [NAME]]]: generates the fixture site of
# PAGES pages into $work/NAME (default site) and serves it on ADDRESS:80 for at most 900 s;
# with RATE (bytes a second, e.g. 1k), every answer is sent that slowly, so workers stay on
# screen; EXTRA is added to the server block (a slower location, say). The access log
# ($work/NAME-access.log, for the default $work/access.log) has one line per request: the
# time in seconds with milliseconds, and the request line.
session_serve_site() {
  local build=$1 address=$2 pages=$3 rate=${4:-0} extra=${5:-} name=${6:-site}
  local log=$work/access.log conf=$work/nginx
  if [ "$name" != site ]; then
    log=$work/$name-access.log
    conf=$work/nginx-$name
  fi
  if session_port_open "$address" 80; then
    echo "something already listens on $address:80" >&2
    return 1
  fi
  mkdir -p "$work/$name" "$conf"
  "$build/tests/korvane-fixture-site" "$work/$name" --pages "$pages" --host "$address" >/dev/null
  cat >"$conf/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $conf/nginx.pid;
error_log $conf/error.log;
events { worker_connections 1024; }
http {
  log_format korvane '\$msec|\$request';
  access_log $log korvane;
  client_body_temp_path $conf/body;
  proxy_temp_path $conf/proxy;
  fastcgi_temp_path $conf/fastcgi;
  uwsgi_temp_path $conf/uwsgi;
  scgi_temp_path $conf/scgi;
  types { text/html html; }
  default_type text/html;
  server {
    listen $address:80;
    root $work/$name;
    limit_rate $rate;
    $extra
  }
}
CONF
  session_spawn 900 /usr/sbin/nginx -e "$conf/error.log" -p "$conf/" \
    -c "$conf/nginx.conf" </dev/null >"$conf/out.txt" 2>&1
  local server=${session_pids[-1]}
  for _ in $(seq 100); do
    session_port_open "$address" 80 && return 0
    if ! kill -0 "$server" 2>/dev/null; then
      echo "nginx did not start:" >&2
      cat "$conf/error.log" "$conf/out.txt" >&2
      return 1
    fi
    sleep 0.05
  done
  echo "nginx did not open $address:80" >&2
  return 1
}

# session_start_display: an X server of WIDTHxHEIGHT (default 1024x768) for at most 900 s
# with a window manager, so windows get their title bar and close requests reach the program
# as they do on a desktop. Sets DISPLAY.
session_start_display() {
  local size=${1:-1024x768}
  : >"$work/display.txt"
  session_spawn 900 Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp \
    3>"$work/display.txt" 2>"$work/xvfb.log"
  for _ in $(seq 100); do
    [ -s "$work/display.txt" ] && break
    sleep 0.05
  done
  if [ ! -s "$work/display.txt" ]; then
    echo "Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    return 1
  fi
  DISPLAY=":$(cat "$work/display.txt")"
  export DISPLAY
  mkdir -p "$work/openbox"
  # An empty configuration home keeps openbox from reading the user's own.
  XDG_CONFIG_HOME="$work/openbox" session_spawn 900 openbox >"$work/openbox.log" 2>&1
  for _ in $(seq 100); do
    wmctrl -m >/dev/null 2>&1 && return 0
    sleep 0.05
  done
  echo "the window manager did not start" >&2
  return 1
}

# session_find_window NAME [SECONDS]: prints the id of the first visible window whose title
# starts with NAME, waiting up to SECONDS (default 30).
session_find_window() {
  local name=$1 limit=${2:-30} id
  for _ in $(seq $((limit * 10))); do
    id=$(xdotool search --onlyvisible --name "^$name" 2>/dev/null | head -1) || true
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  echo "no window named \"$name\" appeared" >&2
  return 1
}

# session_locate TITLE ROLE=NAME...: prints "x y" for each control, the middle of it in the
# client area of the window whose title starts with TITLE, found in the accessibility tree by
# role and accessible name (bench/gui_locate.py), so no pixel position is written down here.
# session_locate_into ARRAY TITLE ROLE=NAME...: the same into the elements of ARRAY.
session_locate() {
  /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/gui_locate.py" "$@"
}
session_locate_into() {
  local -n into=$1
  shift
  local places
  places=$(session_locate "$@") || return 1
  # shellcheck disable=SC2034  # `into` is the caller's array
  mapfile -t into <<<"$places"
}

# window_click WINDOW "X Y": a left click at X,Y of the window's client area.
window_click() {
  local x y
  read -r x y <<<"$2"
  xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"
  xdotool mousemove --window "$1" --sync "$x" "$y" click 1
}

# window_type WINDOW "X Y" TEXT: clicks into the field at X,Y and replaces its text by TEXT.
window_type() {
  window_click "$1" "$2"
  xdotool key --clearmodifiers ctrl+a BackSpace
  xdotool type --delay 5 "$3"
}

# session_shot WINDOW FILE: the window with its frame (title bar included) as a PNG.
session_shot() {
  local frame
  frame=$(xwininfo -id "$1" -children | awk '/Parent window id/ {print $4}')
  # The window manager's frame is the window's parent, unless the parent is the root.
  if [ -z "$frame" ] || xwininfo -id "$frame" | grep -q '(the root window)'; then frame=$1; fi
  import -window "$frame" "$2"
}
