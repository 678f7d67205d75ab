#!/usr/bin/env bash
# Does a burst of DLNA Browse requests delay the phones' list protocol? 70 shared videos;
# the list protocol is loaded by 8 connections for SECONDS alone, then again while 4 players
# browse the 35 ordinary videos as fast as they can. Prints both runs and the browse rate.
#   bench/dlna_browse_burst.sh [SECONDS]
set -euo pipefail
source "$(dirname "$0")/common.sh"
isolate "$@"
seconds=${1:-10}
build_bench list_load_client

work=$(mktemp -d)
serve_pid=
cleanup() {
  [ -n "$serve_pid" ] && kill -TERM "$serve_pid" 2>/dev/null && wait "$serve_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/videos"
ffmpeg -loglevel error -f lavfi -i testsrc=size=160x120:rate=10 -t 1 -c:v libx264 "$work/clip.mp4"
ordinary=() converted=()
for i in $(seq -w 1 35); do
  cp "$work/clip.mp4" "$work/videos/video_$i.mp4" && ordinary+=("$work/videos/video_$i.mp4")
  cp "$work/clip.mp4" "$work/videos/converted_$i.mp4" && converted+=("$work/videos/converted_$i.mp4")
done
"$BUILD_DIR/bin/briselvr" --program-folder "$work/pf" add "${ordinary[@]}" >/dev/null
"$BUILD_DIR/bin/briselvr" --program-folder "$work/pf" add --converted "${converted[@]}" >/dev/null

"$BUILD_DIR/bin/briselvr" --program-folder "$work/pf" serve --address 127.0.0.1 \
  >"$work/serve.log" 2>&1 &
serve_pid=$!
wait_serving "$work/serve.log"
python3 "$ROOT/bench/dlna_browse_load.py" 127.0.0.1 11719 1 1 >/dev/null  # media values cached

echo "list protocol alone:        $("$BUILD_DIR/bench/list_load_client" --connections 8 --seconds "$seconds")"
python3 "$ROOT/bench/dlna_browse_load.py" 127.0.0.1 11719 "$seconds" 4 >"$work/browse" &
browse_pid=$!
sleep 0.5
echo "list protocol under Browse: $("$BUILD_DIR/bench/list_load_client" --connections 8 --seconds "$seconds")"
wait "$browse_pid"
echo "the burst:                  $(cat "$work/browse")"
