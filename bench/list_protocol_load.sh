#!/usr/bin/env bash
# Load on the list protocol: 64 connections asking for a full list of 35 videos (60-byte
# names) for 10 s, against `briselvr serve` and against a Python select() server that sends
# a canned reply of the same size, in one run. The two are measured in turns (ROUNDS each, 3
# unless told) because two shared cores make single runs differ by a quarter; prints every
# run and the medians.
#   bench/list_protocol_load.sh [SECONDS] [ROUNDS]
set -euo pipefail
source "$(dirname "$0")/common.sh"
isolate "$@"
seconds=${1:-10}
rounds=${2:-3}
build_bench list_load_client

work=$(mktemp -d)
serve_pid=
py_pid=
cleanup() {
  [ -n "$serve_pid" ] && kill -TERM "$serve_pid" 2>/dev/null && wait "$serve_pid" 2>/dev/null
  [ -n "$py_pid" ] && kill "$py_pid" 2>/dev/null && wait "$py_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

files=()
for i in $(seq -w 1 35); do
  f="$work/videos/$(printf 'n%.0s' $(seq 53))_$i.mp4"  # 60-byte names
  mkdir -p "$work/videos"
  : >"$f"
  files+=("$f")
done
"$BUILD_DIR/bin/briselvr" --program-folder "$work/pf" add "${files[@]}" >/dev/null

"$BUILD_DIR/bin/briselvr" --program-folder "$work/pf" serve --address 127.0.0.1 \
  >"$work/serve.log" 2>&1 &
serve_pid=$!
wait_serving "$work/serve.log"
python3 "$ROOT/bench/py_list_server.py" 12718 &
py_pid=$!
for _ in $(seq 100); do (exec 3<>/dev/tcp/127.0.0.1/12718) 2>/dev/null && break; sleep 0.1; done

# One run against the server on port $2 (process $1): the client's line and the server's CPU.
measure() {
  local before after line
  before=$(cpu_ms "$1")
  line=$("$BUILD_DIR/bench/list_load_client" --port "$2" --seconds "$seconds")
  after=$(cpu_ms "$1")
  echo "$line  (server CPU $((after - before)) ms)"
}
median() { sort -n | awk '{v[NR] = $1} END { print v[int((NR + 1) / 2)] }'; }
field() { awk -v name="$1" '{ for (i = 1; i < NF; ++i) if ($i == name) print $(i + 1) }'; }

: >"$work/ours" && : >"$work/theirs"
for round in $(seq "$rounds"); do
  measure "$serve_pid" 11718 | tee -a "$work/ours" | sed "s/^/briselvr serve  $round: /"
  measure "$py_pid" 12718 | tee -a "$work/theirs" | sed "s/^/Python select() $round: /"
done
for side in ours theirs; do
  echo "median $side: requests/s $(field requests/s <"$work/$side" | median)" \
    " p50 $(field p50 <"$work/$side" | median) ms  p99 $(field p99 <"$work/$side" | median) ms"
done
ours_rps=$(field requests/s <"$work/ours" | median)
theirs_rps=$(field requests/s <"$work/theirs" | median)
echo "ratio ours/python (medians): $(ratio "$ours_rps" "$theirs_rps")"
