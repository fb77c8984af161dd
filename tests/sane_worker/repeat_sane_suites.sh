#!/usr/bin/env bash
# Runs the SANE suites again and again and counts hangs and failures: the check that scanning
# through libsane never hangs and never needs a retry.
#
#   tests/sane_worker/repeat_sane_suites.sh [RUNS] [BUILD_DIR]
#
# Each run executes, one after the other: scan_sane_tests (the control against SANE's test
# backend), engine_tests' SANE tests, and sane_worker_tests without the cases that wait out a
# deadline on purpose (set LUM_REPEAT_DEADLINES=1 to include them; each costs 2 s). A program
# that has not finished after LUM_REPEAT_TIMEOUT seconds (default 60) counts as a hang: its
# threads' stacks go to the log folder (with gdb), then it is killed.
set -uo pipefail
runs=${1:-500}
build=${2:-$(cd "$(dirname "$0")/../.." && pwd)/build}
limit=${LUM_REPEAT_TIMEOUT:-60}
log=$(mktemp -d /tmp/lum-sane-repeat-XXXXXX)

worker_filter='-*hang_read*:*hang_start*:*endless*:*FreshWorker*'
[ "${LUM_REPEAT_DEADLINES:-0}" = 1 ] && worker_filter='*'
suites=(
  "scan_sane_tests|*"
  "engine_tests|Sane*:*/Sane*"
  "sane_worker_tests|$worker_filter"
)

for s in "${suites[@]}"; do
  [ -x "$build/bin/${s%%|*}" ] || { echo "missing $build/bin/${s%%|*}: build it first" >&2; exit 2; }
done

declare -A hangs failures seconds
for s in "${suites[@]}"; do hangs[${s%%|*}]=0; failures[${s%%|*}]=0; seconds[${s%%|*}]=0; done

# Runs one program; 0 passed, 1 failed, 2 hung.
run_one() {  # name filter run
  local name=$1 filter=$2 run=$3 out="$log/$1.$3.out" pid t0 t1
  t0=$(date +%s%N)
  (cd "$build" && exec "./bin/$name" --gtest_filter="$filter" >"$out" 2>&1) &
  pid=$!
  for _ in $(seq 1 $((limit * 10))); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    command -v gdb >/dev/null && gdb -p "$pid" -batch -ex "thread apply all bt" >"$log/$name.$run.stacks" 2>&1
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    return 2
  fi
  wait "$pid"
  local rc=$?
  t1=$(date +%s%N)
  seconds[$name]=$(( ${seconds[$name]} + (t1 - t0) / 1000000 ))
  [ $rc -eq 0 ] && rm -f "$out"
  [ $rc -eq 0 ] && return 0 || return 1
}

for run in $(seq 1 "$runs"); do
  for s in "${suites[@]}"; do
    name=${s%%|*}
    run_one "$name" "${s#*|}" "$run"
    case $? in
      1) failures[$name]=$(( ${failures[$name]} + 1 )); echo "run $run: $name failed ($log/$name.$run.out)" ;;
      2) hangs[$name]=$(( ${hangs[$name]} + 1 )); echo "run $run: $name hung ($log/$name.$run.stacks)" ;;
    esac
  done
  [ $((run % 50)) -eq 0 ] && echo "... $run runs"
done

total=0
for s in "${suites[@]}"; do
  name=${s%%|*}
  printf '%-18s runs %d  hangs %d  failures %d  mean %d ms\n' "$name" "$runs" "${hangs[$name]}" \
    "${failures[$name]}" $(( ${seconds[$name]} / runs ))
  total=$(( total + ${hangs[$name]} + ${failures[$name]} ))
done
echo "logs: $log"
[ $total -eq 0 ]
