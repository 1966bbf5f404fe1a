#!/usr/bin/env bash
# Writes one large HTTP answer made of the HTML documentation installed on this machine, for
# timing `korvane-cli text` on a big page: an HTTP head, then every HTML file found under
# /usr/share/doc (and the Qt documentation when it is installed) in name order, the list
# repeated, until the body holds at least SIZE_MB megabytes.
#
# usage: bench/doc_page.sh OUT_FILE      (SIZE_MB=24 by default)
# then:  /usr/bin/time -v build/cli/korvane-cli text OUT_FILE >/dev/null
#   or:  bench/text_speed.py 41 OUT_FILE OLD_BUILD/cli/korvane-cli build/cli/korvane-cli
set -euo pipefail

out=${1:?usage: bench/doc_page.sh OUT_FILE}
size=$((${SIZE_MB:-24} * 1000 * 1000))
roots=()
for root in /usr/share/doc /usr/share/qt6/doc /usr/share/doc/qt6; do
  [ -d "$root" ] && roots+=("$root")
done
mapfile -d '' pages < <(find "${roots[@]}" -name '*.html' -type f -print0 | sort -z)
if [ "${#pages[@]}" -eq 0 ]; then
  echo "no HTML documentation found under ${roots[*]}" >&2
  exit 1
fi

printf 'HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n' >"$out"
written=0
while [ "$written" -lt "$size" ]; do
  for page in "${pages[@]}"; do
    cat "$page" >>"$out"
    written=$((written + $(stat -c %s "$page")))
    [ "$written" -lt "$size" ] || break
  done
done
echo "$out: $(stat -c %s "$out") bytes from ${#pages[@]} documentation pages"
