#!/usr/bin/env bash
# The whole program end to end, as a user and a phone meet it: the real BriselVRClient on a
# private X desktop (Xvfb, a window manager and a tray host) on a "pc" host, driven by real
# input events (XTest through xdotool), and a phone on a "phone" host. The two hosts are
# network namespaces joined by a veth pair: 10.77.0.1 and 10.77.0.2.
#   ProgramEndToEndTest.sh CLIENT BRISELVR PHONE_PROBE SKINRES
# Exit 77 (skipped) when it cannot run here: not root, or no namespaces, Xvfb, window
# manager, tray host or xdotool. Every wait is bounded; the trap ends every process the test
# started and removes the namespaces whatever happens. BRISEL_E2E_KEEP=1 keeps the work
# folder (logs, screenshots) for a look afterwards.
set -u
client=$1
briselvr=$2
probe=$3
skin=$4
# shellcheck source=../support/two_hosts_desktop.sh
source "$(dirname "$0")/../support/two_hosts_desktop.sh"
skip() {
  echo "SKIPPED: $*"
  exit 77
}
[ "$(id -u)" -eq 0 ] || skip "creating network namespaces needs root"
missing=$(desktop_tool_missing)
[ -z "$missing" ] || skip "$missing is missing"
command -v ffmpeg >/dev/null || skip "ffmpeg is missing"

work=$(mktemp -d /tmp/brisel-e2e.XXXXXX)
pf="$work/program"  # the program folder (portable layout: the executable and SkinRes)
media="$work/media"
client_pid=
step="preparing"

stop_client() {
  [ -n "$client_pid" ] || return 0
  kill -TERM "$client_pid" 2>/dev/null
  for _ in $(seq 50); do kill -0 "$client_pid" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$client_pid" 2>/dev/null
  wait "$client_pid" 2>/dev/null
  client_pid=
}
cleanup() {
  stop_client
  desktop_down
  hosts_down
  if [ "${BRISEL_E2E_KEEP:-0}" = 1 ]; then echo "work folder kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'echo "FAILED ($step): interrupted"; exit 1' INT TERM
# Well inside CTest's time-out, which kills without running the trap.
deadline_up "${BRISEL_E2E_DEADLINE:-240}"

fail() {
  echo "FAILED ($step): $*"
  echo "--- program output"
  cat "$work/client.log" 2>/dev/null
  echo "--- program log"
  cat "$pf"/ZADLog/*.log 2>/dev/null | iconv -f GBK -t UTF-8 2>/dev/null | tail -n 40
  [ -n "${DISPLAY:-}" ] && command -v import >/dev/null &&
    on_pc import -window root "$work/failure.png" 2>/dev/null && echo "screen: $work/failure.png"
  exit 1
}
begin() {
  step=$1
  echo "=== $step"
}

hosts_up "e2e$$" || skip "$hosts_problem"
desktop_up "$work"
mkdir -p "$media"

# --- the user's videos and the program folder: two shared clips and one finished task
# (the first clip converted), whose output is shared as a converted video. Clips run 17 s:
# thumbnails are taken 15 s in.
make_clip() {
  ffmpeg -nostdin -loglevel error -f lavfi -i "testsrc=size=160x120:rate=10" \
    -f lavfi -i "sine=frequency=$2:duration=17" -t 17 -c:v libx264 -preset ultrafast -c:a aac \
    "$media/$1" || fail "ffmpeg could not make $1"
}
for clip in first:440 second:550 third:660 fourth:770; do make_clip "${clip%%:*}.mp4" "${clip#*:}"; done
mkdir -p "$pf"
cp "$client" "$pf/BriselVRClient"
ln -s "$skin" "$pf/SkinRes"
cli() { "$briselvr" --program-folder "$pf" "$@"; }
cli add "$media/first.mp4" "$media/second.mp4" >"$work/add.log" 2>&1 || fail "briselvr add"
cli convert "$media/first.mp4" >"$work/convert.log" 2>&1 || fail "briselvr convert"
converted_first="$pf/appData/converted/first.mp4"
cli add --converted "$converted_first" >>"$work/add.log" 2>&1 || fail "briselvr add --converted"
grep -q 'VideoName="first.mp4"' "$pf/ConvertList.xml" || fail "no finished task to start with"

key_of() { printf '%s' "$1" | md5sum | cut -c1-32; }

start_client() {
  ip netns exec "$pc" "$pf/BriselVRClient" >>"$work/client.log" 2>&1 &
  client_pid=$!
}
main_window() { on_pc xdotool search --onlyvisible --name '^BriselVR助手$'; }
# phone ARGS...: one visit of the phone (probe options), which must succeed.
phone() { on_phone "$probe" --expect-address 10.77.0.1 --timeout-ms 5000 "$@"; }
# phone_sees SECONDS ARGS...: visits until the phone sees what ARGS ask for.
phone_sees() {
  local seconds=$1
  shift
  local deadline=$((SECONDS + seconds))
  until phone "$@" >"$work/phone.log" 2>&1; do
    [ "$SECONDS" -lt "$deadline" ] || { cat "$work/phone.log"; fail "phone: $*"; }
    sleep 0.5
  done
  cat "$work/phone.log"
}
# streams_range KEY FILE: the phone streams bytes 4096-8191 of video KEY, which must equal
# those bytes of FILE.
streams_range() {
  phone_sees 10 --stream "$1" --range 4096-8191 --save "$work/range.bin"
  cmp -s "$work/range.bin" <(tail -c +4097 "$2" | head -c 4096) || fail "the range of $2 differs"
}

# --- 1. start: the window, and the phone hears, lists and streams
begin "start"
start_client
wait_until 30 "the main window did not appear" main_window
streams_range "$(key_of "$media/second.mp4")" "$media/second.mp4"
phone_sees 10 --list1 2 --list2 1 --thumbnails
streams_range "$(key_of "$converted_first")" "$converted_first"

# --- 5. quit and restart: what was shared and queued comes back
begin "restart"
snapshot() {
  (cd "$pf" && cat ConvertList.xml VideoRelation.xml 2>/dev/null && ls file_root file_root/image)
}
snapshot >"$work/before-restart"
stop_client_cleanly() {
  kill -TERM "$client_pid"
  local deadline=$((SECONDS + 20))
  while kill -0 "$client_pid" 2>/dev/null; do
    [ "$SECONDS" -lt "$deadline" ] || fail "the program did not end within 20 s of SIGTERM"
    sleep 0.2
  done
  wait "$client_pid"
  local status=$?
  client_pid=
  [ "$status" -eq 0 ] || fail "the program ended with status $status"
}
stop_client_cleanly
start_client
wait_until 30 "the main window did not come back" main_window
phone_sees 10 --list1 2 --list2 1 --thumbnails
stop_client_cleanly
snapshot >"$work/after-restart"
diff "$work/before-restart" "$work/after-restart" || fail "the files changed across a restart"
echo "program end to end: ok"
