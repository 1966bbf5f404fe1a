#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer + UndefinedBehaviorSanitizer) into
# build-fuzz/ and runs them.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]  fuzz each target for SECONDS (default 20) on a copy
#                                          of its seed corpus; the repository's corpus never grows
#   scripts/fuzz.sh --replay [TARGET...]   run every seed and every kept crashing input once (CI)
#   scripts/fuzz.sh --list                 print the target names
#
# Without TARGETs every target runs. KORVANE_FUZZ_JOBS targets run at once (default 1), each
# under `nice -n ${KORVANE_FUZZ_NICE:-10}`. Any crash, sanitizer report, failed check, leak or
# time-out fails the script; the input that caused it is left in build-fuzz/runs/TARGET/ and
# belongs in tests/fuzz/regressions/TARGET/ once the fault is understood.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=build-fuzz
fuzz_dir=tests/fuzz
targets_all=(
  extract_between plain_text apply_templates clean_fragment drop_blank_lines extract_links
  settings_load receive_answer answer_head robots main_text markdown sitemap inflate standard_links page_meta
  diff_extract_between diff_plain_text diff_clean_fragment diff_drop_blank_lines
  diff_apply_templates diff_extract_links
)

# Longest input per target: the step-by-step references are quadratic or worse, and the
# receive loop's inputs only need to span a few reads.
max_len_of() {
  case $1 in
    receive_answer) echo 16384 ;;
    diff_*) echo 4096 ;;
    *) echo 65536 ;;
  esac
}

# The dictionary of markers each target's mutations draw on.
dictionary_of() {
  case ${1#diff_} in
    extract_between) echo between ;;
    plain_text|clean_fragment|drop_blank_lines|main_text|markdown|standard_links|page_meta) echo markup ;;
    apply_templates) echo templates ;;
    extract_links) echo links ;;
    settings_load) echo settings ;;
    receive_answer) echo answer ;;
    answer_head) echo head ;;
    robots) echo robots ;;
    sitemap) echo sitemap ;;
    inflate) echo head ;;
  esac
}

# Seconds one input may take before it counts as a hang.
timeout_of() {
  case $1 in
    receive_answer) echo 60 ;;
    *) echo 20 ;;
  esac
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:symbolize=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

mode=fuzz
seconds=20
case ${1:-} in
  --replay) mode=replay; shift ;;
  --list) printf '%s\n' "${targets_all[@]}"; exit 0 ;;
  ''|-*) ;;
  *[!0-9]*) ;;
  *) seconds=$1; shift ;;
esac
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${targets_all[@]}")
for target in "${targets[@]}"; do
  [ -f "$fuzz_dir/${target}_fuzzer.cpp" ] || { echo "fuzz.sh: no target '$target'" >&2; exit 2; }
done

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DKORVANE_FUZZ=ON -DKORVANE_BUILD_TESTS=OFF \
  -DKORVANE_BUILD_BENCH=OFF -DKORVANE_BUILD_GUI=OFF -DKORVANE_SANITIZE=address,undefined >/dev/null
cmake --build "$build_dir" --target korvane_fuzzers --parallel "$(nproc)"

# The files to replay for one target: its seeds and its kept crashing inputs.
inputs_of() {
  local dir
  for dir in "$fuzz_dir/corpus/$1" "$fuzz_dir/regressions/$1"; do
    [ -d "$dir" ] && find "$dir" -type f | sort
  done
  return 0
}

replay_one() {
  local target=$1 files
  mapfile -t files < <(inputs_of "$target")
  if [ ${#files[@]} -eq 0 ]; then
    echo "$target: nothing to replay"
    return 0
  fi
  local log="$build_dir/runs/$target.replay.log"
  mkdir -p "$build_dir/runs"
  if "$build_dir/tests/fuzz/${target}_fuzzer" -timeout="$(timeout_of "$target")" \
      -rss_limit_mb=4096 "${files[@]}" >"$log" 2>&1; then
    echo "$target: ${#files[@]} inputs replayed"
  else
    echo "$target: FAILED on replay (log: $log)"
    tail -n 60 "$log"
    return 1
  fi
}

fuzz_one() {
  local target=$1
  local work="$build_dir/runs/$target"
  rm -rf "$work"
  mkdir -p "$work/corpus"
  if [ -d "$fuzz_dir/corpus/$target" ]; then
    cp "$fuzz_dir/corpus/$target"/* "$work/corpus/" 2>/dev/null || true
  fi
  local extra=()
  [ -d "$fuzz_dir/regressions/$target" ] && extra+=("$fuzz_dir/regressions/$target")
  local status=0
  nice -n "${KORVANE_FUZZ_NICE:-10}" "$build_dir/tests/fuzz/${target}_fuzzer" \
    -max_total_time="$seconds" -max_len="$(max_len_of "$target")" \
    -timeout="$(timeout_of "$target")" -rss_limit_mb=4096 -print_final_stats=1 \
    -dict="$fuzz_dir/dictionaries/$(dictionary_of "$target").dict" -artifact_prefix="$work/" \
    "$work/corpus" "${extra[@]}" >"$work/log" 2>&1 || status=$?
  local executed
  executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1)
  if [ "$status" -eq 0 ]; then
    echo "$target: ${executed:-?} executions in ${seconds}s, corpus $(ls "$work/corpus" | wc -l)"
  else
    echo "$target: FAILED after ${executed:-?} executions (log: $work/log)"
    ls "$work" | grep -E '^(crash|leak|timeout|oom|slow-unit)-' | sed "s|^|  $work/|" || true
    tail -n 60 "$work/log"
    return 1
  fi
}

jobs=${KORVANE_FUZZ_JOBS:-1}
failed=0
running=()
for target in "${targets[@]}"; do
  if [ ${#running[@]} -ge "$jobs" ]; then
    wait "${running[0]}" || failed=1
    running=("${running[@]:1}")
  fi
  if [ "$mode" = replay ]; then replay_one "$target" & else fuzz_one "$target" & fi
  running+=($!)
done
for pid in "${running[@]}"; do
  wait "$pid" || failed=1
done
exit "$failed"
