#!/usr/bin/env bash
# Load on the list protocol: 64 connections asking for a full list of 35 videos (60-byte
# names) for 10 s, against `briselvr serve` and against a Python select() server that sends
# a canned reply of the same size, in one run. Prints requests/s and p50/p99 latency.
#   bench/list_protocol_load.sh [SECONDS]
set -euo pipefail
source "$(dirname "$0")/common.sh"
isolate "$@"
seconds=${1:-10}
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

"$BUILD_DIR/bin/briselvr" --program-folder "$work/pf" serve --address 127.0.0.1 --quiet \
  >"$work/serve.log" 2>&1 &
serve_pid=$!
wait_serving "$work/serve.log"
before=$(cpu_ms "$serve_pid")
ours=$("$BUILD_DIR/bench/list_load_client" --seconds "$seconds")
after=$(cpu_ms "$serve_pid")
echo "briselvr serve:      $ours  (server CPU $((after - before)) ms)"

python3 "$ROOT/bench/py_list_server.py" 12718 &
py_pid=$!
for _ in $(seq 100); do (exec 3<>/dev/tcp/127.0.0.1/12718) 2>/dev/null && break; sleep 0.1; done
before=$(cpu_ms "$py_pid")
theirs=$("$BUILD_DIR/bench/list_load_client" --port 12718 --seconds "$seconds")
after=$(cpu_ms "$py_pid")
echo "Python select():     $theirs  (server CPU $((after - before)) ms)"

ours_rps=$(echo "$ours" | awk '{print $2}')
theirs_rps=$(echo "$theirs" | awk '{print $2}')
echo "ratio ours/python:   $(ratio "$ours_rps" "$theirs_rps")"
