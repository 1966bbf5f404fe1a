#!/usr/bin/env bash
# Folder tools benchmark: korvane-cli joins, cleans and splits 10,000 files of 10 KB, and cleans
# one 200 MB and one 20 MB file from "&" to ";". Reports MB/s, files/s and the 200/20 MB ratio
# (a linear cleaner stays near 10). The files live in memory (/dev/shm, else $TMPDIR), so the
# figures measure the tools, not the disk's write-back.
#
# usage: bench/tools_bench.sh [BUILD_DIR]     (default: $KORVANE_BUILD_DIR or build/)
#   FILES=10000 FILE_KB=10 override the folder's size; WORK_DIR=... the folder to work in.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-${KORVANE_BUILD_DIR:-$repo/build}}" && pwd)
cli=$build/cli/korvane-cli
files=${FILES:-10000}
file_kb=${FILE_KB:-10}
if [ ! -x "$cli" ]; then
  echo "missing $cli: cmake --build $build --target korvane-cli" >&2
  exit 2
fi

work_root=${WORK_DIR:-$([ -d /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")}
work=$(mktemp -d "$work_root/korvane-tools-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Seconds (with fractions) that the command takes; its own output goes.
seconds() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}
rate() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a / b }'; }

# Lines of prose with character references, CR LF ended as the cleaner writes them, repeated
# to the size asked for.
make_text() {
  local bytes=$1 out=$2
  local line=$'the river runs &amp; past the old mill &#1046; and slowly &nbsp; into town\r'
  { yes "$line" || true; } | head -c "$bytes" >"$out"
}

mkdir "$work/parse"
make_text $((file_kb * 1024)) "$work/one"
for ((i = 0; i < files; i++)); do cp "$work/one" "$work/parse/$i.txt"; done
total_mb=$(awk -v n="$files" -v k="$file_kb" 'BEGIN { printf "%.1f", n * k / 1024 }')
echo "folder: $files files of $file_kb KB ($total_mb MB)"

"$cli" join "$work/parse" "$work/union.txt" >/dev/null 2>&1
t=$(seconds "$cli" join "$work/parse" "$work/union.txt")
echo "join:  ${t}s  $(rate "$total_mb" "$t") MB/s"

t=$(seconds "$cli" clean "$work/parse" --from '&' --to ';')
echo "clean: ${t}s  $(rate "$files" "$t") files/s"

t=$(seconds "$cli" split "$work/parse" --per 150)
echo "split: ${t}s  $(rate "$files" "$t") files/s"

mkdir "$work/big" "$work/small"
make_text $((200 << 20)) "$work/big/big.txt"
make_text $((20 << 20)) "$work/small/small.txt"
t_big=$(seconds "$cli" clean "$work/big" --from '&' --to ';')
t_small=$(seconds "$cli" clean "$work/small" --from '&' --to ';')
echo "clean 200 MB: ${t_big}s  20 MB: ${t_small}s  ratio $(rate "$t_big" "$t_small")"
