#!/usr/bin/env bash
# Crawl benchmark: korvane-cli crawls a generated site of 2,000 pages served by nginx on
# 127.0.0.3:80, and the run is reported as pages per second (against the dispatcher's ceiling
# of 50 dispatches a second), CPU seconds per 1,000 pages and peak resident memory.
# SCHEME=https serves the same site over TLS on 127.0.0.3:443 instead, with a throw-away test
# authority made by the openssl tool and trusted through SSL_CERT_FILE, and crawls it with
# --https.
#
# usage: bench/crawl_bench.sh [BUILD_DIR]     (default: $KORVANE_BUILD_DIR or build/)
#   PAGES=2000 THREADS=10 SCHEME=http override the site size, the thread count and the scheme;
#   FLAGS="--report ..." adds crawl flags.
# Needs the targets korvane-cli and korvane-fixture-site, nginx, openssl (for https) and
# /usr/bin/time; run as root (nginx listens on port 80 or 443).
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-${KORVANE_BUILD_DIR:-$repo/build}}" && pwd)
pages=${PAGES:-2000}
threads=${THREADS:-10}
scheme=${SCHEME:-http}
address=127.0.0.3
case "$scheme" in
  http) port=80 ;;
  https) port=443 ;;
  *)
    echo "SCHEME must be http or https" >&2
    exit 2
    ;;
esac
server_limit=900 # seconds; nginx ends on its own after this even if this script is killed
crawl_limit=600  # seconds for the crawl itself
ceiling=50       # the dispatch loop starts at most one worker per 20 ms pass

cli=$build/cli/korvane-cli
generator=$build/tests/korvane-fixture-site
for tool in "$cli" "$generator"; do
  if [ ! -x "$tool" ]; then
    echo "missing $tool: cmake --build $build --target korvane-cli korvane-fixture-site" >&2
    exit 2
  fi
done
if [ ! -x /usr/bin/time ]; then
  echo "missing /usr/bin/time (Debian package 'time'; scripts/install-deps.sh installs it)" >&2
  exit 2
fi

# shellcheck source=bench/bench_server.sh
. "$(dirname "$0")/bench_server.sh"
bench_scratch crawl-bench

if timeout 1 bash -c "exec 3<>/dev/tcp/$address/$port" 2>/dev/null; then
  echo "something already listens on $address:$port" >&2
  exit 1
fi

mkdir -p "$work/site" "$work/run"
site_flags=()
read -r -a crawl_flags <<<"${FLAGS:-}"
listen="listen $address:80;"
if [ "$scheme" = https ]; then
  site_flags=(--https)
  crawl_flags+=(--https)
  mkdir -p "$work/tls"
  (
    cd "$work/tls"
    key=(-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes)
    openssl req -x509 "${key[@]}" -keyout ca.key -out ca.pem -days 2 -subj "/CN=Bench CA" \
      -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign
    openssl req "${key[@]}" -keyout server.key -out server.csr -subj "/CN=$address"
    printf 'subjectAltName=IP:%s\n' "$address" >server.ext
    openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
      -extfile server.ext -out server.pem
  ) >"$work/tls/openssl.log" 2>&1 || {
    cat "$work/tls/openssl.log" >&2
    exit 1
  }
  listen="listen $address:443 ssl;
    ssl_certificate $work/tls/server.pem;
    ssl_certificate_key $work/tls/server.key;"
  export SSL_CERT_FILE=$work/tls/ca.pem
fi
"$generator" "$work/site" --pages "$pages" --host "$address" "${site_flags[@]}" >/dev/null

cat >"$work/nginx.conf" <<EOF
daemon off;
master_process off;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/error.log;
events { worker_connections 1024; }
http {
  log_format korvane '\$request|\$http_host|\$http_via|\$http_user_agent|\$ssl_session_reused';
  access_log $work/access.log korvane;
  client_body_temp_path $work/body;
  proxy_temp_path $work/proxy;
  fastcgi_temp_path $work/fastcgi;
  uwsgi_temp_path $work/uwsgi;
  scgi_temp_path $work/scgi;
  types { text/html html; }
  default_type text/html;
  server {
    $listen
    root $work/site;
  }
}
EOF
timeout -k 5 "$server_limit" /usr/sbin/nginx -e "$work/error.log" -p "$work/" \
  -c "$work/nginx.conf" </dev/null >"$work/nginx.out" 2>&1 &
server_pid=$!
for _ in $(seq 100); do
  timeout 1 bash -c "exec 3<>/dev/tcp/$address/$port" 2>/dev/null && break
  if ! kill -0 "$server_pid" 2>/dev/null; then
    echo "nginx did not start:" >&2
    cat "$work/error.log" "$work/nginx.out" >&2
    exit 1
  fi
  sleep 0.05
done

printf 'KorvaneBench/1.0\r\n' >"$work/run/UA.txt"
echo "crawling $pages pages of $scheme://$address/ with $threads threads..." >&2
start_ns=$(date +%s%N)
status=0
(cd "$work/run" && timeout -k 5 "$crawl_limit" /usr/bin/time -v -o "$work/time.txt" \
  "$cli" crawl --site "$scheme://$address/" --threads "$threads" --ignore-whitelist \
  "${crawl_flags[@]}" \
  2>"$work/crawl.err") || status=$?
end_ns=$(date +%s%N)
crawl_ended "$status"

fetched=$(wc -l <"$work/access.log")
resumed=$(grep -c '|r$' "$work/access.log" || true)
seen=$(wc -l <"$work/run/parsed_urls.txt")
results=$(find "$work/run/parse" -name '*.txt' | wc -l)
user_s=$(time_field "User time (seconds)")
sys_s=$(time_field "System time (seconds)")
max_rss_kb=$(time_field "Maximum resident set size")

awk -v pages="$pages" -v fetched="$fetched" -v seen="$seen" -v results="$results" \
  -v ns="$((end_ns - start_ns))" -v user="$user_s" -v sys="$sys_s" -v rss="$max_rss_kb" \
  -v ceiling="$ceiling" -v threads="$threads" -v scheme="$scheme" -v resumed="$resumed" \
  -v flags="${FLAGS:-}" 'BEGIN {
  wall = ns / 1e9
  rate = fetched / wall
  printf "site:              %d pages generated, %d fetched, %d addresses listed, %d result files\n",
         pages, fetched, seen, results
  printf "threads:           %d over %s%s\n", threads, scheme, flags == "" ? "" : " with " flags
  if (scheme == "https") printf "TLS sessions:      %d of %d connections resumed\n", resumed, fetched
  printf "wall time:         %.2f s\n", wall
  printf "throughput:        %.1f pages/s = %.1f%% of the %d dispatches/s ceiling\n",
         rate, 100 * rate / ceiling, ceiling
  printf "CPU (user+sys):    %.2f s = %.3f s per 1,000 pages\n", user + sys,
         1000 * (user + sys) / fetched
  printf "peak memory:       %.1f MiB max RSS\n", rss / 1024
}'
if [ "$fetched" -ne "$pages" ]; then
  echo "warning: $fetched pages fetched, $pages expected" >&2
fi
