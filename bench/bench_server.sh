# For the crawl benchmarks (sourced, not run): nginx serving a folder on port 80 of one
# loopback address, started and stopped by its PID, and the reading of /usr/bin/time.
# Expects $work (a scratch folder of the caller's, or one bench_scratch makes) to exist; sets
# $server_pid.

server_pid=""

# bench_scratch NAME: makes the scratch folder $work (korvane-NAME-XXXXXX under $TMPDIR) and
# arranges that the server stops and the folder goes when the script ends or is interrupted.
bench_scratch() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/korvane-$1-XXXXXX")
  trap 'stop_server; rm -rf "$work"' EXIT
  trap 'exit 130' INT TERM
}

# start_server ADDRESS ROOT LIMIT_SECONDS [HTTP_EXTRA]: nginx on ADDRESS:80 serving ROOT,
# logging one line per request to $work/access.log (emptied first) as
# "msec|request line|status|bytes sent"; HTTP_EXTRA is added to its http block (gzip, ...).
# It ends on its own after the limit.
start_server() {
  local address=$1 root=$2 limit=$3 extra=${4:-}
  if timeout 1 bash -c "exec 3<>/dev/tcp/$address/80" 2>/dev/null; then
    echo "something already listens on $address:80" >&2
    exit 1
  fi
  cat >"$work/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/error.log;
events { worker_connections 1024; }
http {
  log_format korvane '\$msec|\$request|\$status|\$bytes_sent';
  access_log $work/access.log korvane;
  client_body_temp_path $work/body;
  proxy_temp_path $work/proxy;
  fastcgi_temp_path $work/fastcgi;
  uwsgi_temp_path $work/uwsgi;
  scgi_temp_path $work/scgi;
  types { text/html html; }
  default_type text/html;
  $extra
  server {
    listen $address:80;
    root $root;
  }
}
CONF
  rm -f "$work/access.log"
  timeout -k 5 "$limit" /usr/sbin/nginx -e "$work/error.log" -p "$work/" \
    -c "$work/nginx.conf" </dev/null >"$work/nginx.out" 2>&1 &
  server_pid=$!
  for _ in $(seq 100); do
    timeout 1 bash -c "exec 3<>/dev/tcp/$address/80" 2>/dev/null && return 0
    if ! kill -0 "$server_pid" 2>/dev/null; then
      echo "nginx did not start:" >&2
      cat "$work/error.log" "$work/nginx.out" >&2
      exit 1
    fi
    sleep 0.05
  done
}

stop_server() {
  [ -n "$server_pid" ] || return 0
  # server_pid is the `timeout` that runs nginx: TERM is passed on to nginx.
  kill -TERM "$server_pid" 2>/dev/null || true
  for _ in $(seq 50); do
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$server_pid" 2>/dev/null; then
    if [ -s "$work/nginx.pid" ]; then
      kill -KILL "$(cat "$work/nginx.pid")" 2>/dev/null || true
    fi
    kill -KILL "$server_pid" 2>/dev/null || true
  fi
  wait "$server_pid" 2>/dev/null || true
  server_pid=""
}

# crawl_ended STATUS: stops the server; a crawl that failed ends the script with its errors.
crawl_ended() {
  stop_server
  if [ "$1" -ne 0 ]; then
    echo "the crawl failed with status $1:" >&2
    tail -20 "$work/crawl.err" >&2
    exit 1
  fi
}

# time_field NAME: one field of /usr/bin/time -v's report in $work/time.txt.
time_field() {
  awk -F': ' -v name="$1" 'index($0, name) {print $2}' "$work/time.txt"
}
