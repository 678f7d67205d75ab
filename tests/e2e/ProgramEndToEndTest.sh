#!/usr/bin/env bash
# The whole program end to end, as a user and a phone meet it: the real BriselVRClient on a
# private X desktop (Xvfb, a window manager and a tray host) on a "pc" host, driven by real
# input events (XTest through xdotool), and a phone on a "phone" host. The two hosts are
# network namespaces joined by a veth pair: 10.77.0.1 and 10.77.0.2.
#   ProgramEndToEndTest.sh CLIENT BRISELVR PHONE_PROBE DRAG_SOURCE SKINRES
# Exit 77 (skipped) when it cannot run here: not root, or no namespaces, Xvfb, window
# manager, tray host or xdotool. Every wait is bounded; the trap ends every process the test
# started and removes the namespaces whatever happens. BRISEL_E2E_KEEP=1 keeps the work
# folder (logs, screenshots) for a look afterwards.
set -u
client=$1
briselvr=$2
probe=$3
drag_source=$4
skin=$5
# shellcheck source=../support/two_hosts_desktop.sh
source "$(dirname "$0")/../support/two_hosts_desktop.sh"
screen_watch="$(cd "$(dirname "$0")/../support" && pwd)/screen_watch.py"
skip() {
  echo "SKIPPED: $*"
  exit 77
}
[ "$(id -u)" -eq 0 ] || skip "creating network namespaces needs root"
missing=$(desktop_tool_missing)
[ -z "$missing" ] || skip "$missing is missing"
for tool in ffmpeg python3; do command -v "$tool" >/dev/null || skip "$tool is missing"; done

work=$(mktemp -d /tmp/brisel-e2e.XXXXXX)
pf="$work/program"  # the program folder (portable layout: the executable and SkinRes)
media="$work/media"
client_pid=
drag_pid=
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
  [ -z "$drag_pid" ] || kill "$drag_pid" 2>/dev/null
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
# (the first clip converted), whose output is shared as a converted video. Clips run 17 s,
# past the thumbnails' seek point of 15 s (a shorter clip gets its picture from a second grab).
make_clip() {  # name size seconds
  ffmpeg -nostdin -loglevel error -f lavfi -i "testsrc=size=$2:rate=10" \
    -f lavfi -i "sine=duration=$3" -t "$3" -c:v libx264 -preset ultrafast -c:a aac \
    "$media/$1" || fail "ffmpeg could not make $1"
}
for name in first second; do make_clip "$name.mp4" 160x120 17; done
make_clip third.mp4 640x360 60  # long enough to watch its progress
# The fourth's conversion must outlast step 4 (tens of seconds even on a fast machine).
make_clip fourth.mp4 320x240 600
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

# --- the desktop, through real input events
# geometry ID: sets X, Y, WIDTH and HEIGHT to the window's place on the screen.
geometry() { eval "$(on_pc xdotool getwindowgeometry --shell "$1")"; }
# program_window W H: the id of a shown window of the program of that size.
program_window() {
  local id
  for id in $(on_pc xdotool search --onlyvisible --class '^BriselVRClient$'); do
    geometry "$id"
    if [ "$WIDTH" -eq "$1" ] && [ "$HEIGHT" -eq "$2" ]; then
      echo "$id"
      return 0
    fi
  done
  return 1
}
main_window() { program_window 972 630; }
main_window_hidden() { ! main_window; }
# The tray icon: a small window of the program inside the tray host.
tray_icon() {
  local id
  for id in $(on_pc xdotool search --onlyvisible --class '^BriselVRClient$'); do
    geometry "$id"
    if [ "$WIDTH" -le 64 ] && [ "$HEIGHT" -le 64 ] && [ "$Y" -lt 28 ]; then
      echo "$id"
      return 0
    fi
  done
  return 1
}
# shot NAME: with BRISEL_E2E_KEEP=1, the screen as NAME.png in the work folder, to look at.
shot() {
  if [ "${BRISEL_E2E_KEEP:-0}" = 1 ] && command -v import >/dev/null; then
    on_pc import -window root "$work/$1.png"
  fi
}
# click X Y [BUTTON]: a click at that point of the screen.
click() { on_pc xdotool mousemove --sync "$1" "$2" click "${3:-1}"; }
# click_in ID X Y: a click at that point of a window.
click_in() {
  geometry "$1"
  click $((X + $2)) $((Y + $3))
}
# tray_menu ITEM: opens the tray icon's menu with a right click and clicks its ITEM-th item
# of two ("关闭", "显示"); the menu is the window that the right click brings.
tray_menu() {
  local icon before menu id
  icon=$(tray_icon) || fail "no tray icon"
  before=$(on_pc xdotool search --onlyvisible --class '^BriselVRClient$' | sort)
  geometry "$icon"
  click $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) 3
  local deadline=$((SECONDS + 10))
  while [ -z "${menu:-}" ]; do
    [ "$SECONDS" -lt "$deadline" ] || fail "the tray icon's menu did not open"
    sleep 0.2
    for id in $(on_pc xdotool search --onlyvisible --class '^BriselVRClient$'); do
      grep -qx "$id" <<<"$before" || menu=$id
    done
  done
  # Two items of equal height: the middle of the first and the second quarter.
  shot "tray-menu-$1"
  geometry "$menu"
  click $((X + WIDTH / 2)) $((Y + HEIGHT * (2 * $1 - 1) / 4))
}
exit_prompt() { program_window 460 300; }
# answer_exit_prompt X Y: the prompt appears; a click on its button at (X, Y).
answer_exit_prompt() {
  wait_until 10 "no exit prompt" exit_prompt
  shot "exit-prompt-$1"
  click_in "$(exit_prompt)" "$1" "$2"
}
# Places the Parts give: the share page lies at (160, 0) in the main window; its close button
# at (776, 18), 18 x 18; the exit prompt's "后台运行" at (350, 252) and "完全退出" at
# (242, 252), 90 x 30 each.
close_button=(945 27)
# The share page's "添加" at (10, 12) and "转码" at (84, 12), 64 x 30; the grid at (0, 56) of
# it; the left menu's "飞屏" at (0, 55) and "转码" at (0, 103), 160 x 48.
add_button=(202 27)
convert_button=(276 27)
share_item=(80 79)
convert_item=(80 127)
run_in_background=(395 267)
quit_completely=(287 267)

# --- 1. start: the window and the tray icon, and the phone hears, lists and streams
begin "start"
start_client
wait_until 30 "the main window did not appear" main_window
wait_until 10 "the tray icon did not appear" tray_icon
shot start
streams_range "$(key_of "$media/second.mp4")" "$media/second.mp4"
phone_sees 10 --list1 2 --list2 1 --thumbnails
streams_range "$(key_of "$converted_first")" "$converted_first"

# --- 2. a third video through the file dialog (its path typed), a fourth dropped from a
# drag source of the test's own; both get thumbnails; the phone's next list shows four.
begin "add through the file dialog and by a drop"
file_dialog() { on_pc xdotool search --onlyvisible --name '^请选择需要转换文件$'; }
file_dialog_closed() { ! file_dialog; }
click_in "$(main_window)" "${add_button[@]}"
wait_until 10 "the file dialog did not open" file_dialog
on_pc xdotool windowactivate --sync "$(file_dialog | head -n 1)"
on_pc xdotool type --delay 20 "$media/third.mp4"
shot file-dialog
on_pc xdotool key Return
wait_until 10 "the file dialog did not close" file_dialog_closed
ip netns exec "$pc" "$drag_source" "$media/fourth.mp4" >"$work/drag.log" 2>&1 &
drag_pid=$!
geometry "$(main_window)"
drag_over $((X + 560)) $((Y + 400))  # over the grid
on_pc xdotool mouseup 1
drag_ended() { grep -q 'dropped$' "$work/drag.log"; }
wait_until 10 "the drag did not end" drag_ended
grep -q '^dropped' "$work/drag.log" || fail "the drop was not taken: $(cat "$work/drag.log")"
phone_sees 60 --list1 4 --list2 1 --thumbnails
# Tiles lie at (14 + 158 x column, 18) of the grid, their pictures at (8, 8), 128 x 72, and
# their check boxes at (8, 92). The third and fourth tiles show their thumbnails: the middle
# of each picture is neither the placeholder's dark grey nor the tile's background.
third_tile=(505 173)
fourth_tile=(663 173)
geometry "$(main_window)"
on_pc python3 "$screen_watch" --timeout 30 --point "$((X + 562)),$((Y + 118)),48474C,F2F3F3" \
  --point "$((X + 720)),$((Y + 118)),48474C,F2F3F3" >"$work/thumbnails.log" ||
  fail "the added videos' tiles show no thumbnails: $(cat "$work/thumbnails.log")"
shot added

# --- 3. tick the third video's tile, press "转码": the converter runs and the conversion
# view shows its progress; when done the converted file is in list 2 and its tile shows.
begin "convert"
click_in "$(main_window)" "${third_tile[@]}"
click_in "$(main_window)" "${convert_button[@]}"
click_in "$(main_window)" "${convert_item[@]}"
converter_runs() { ps -o comm= --ppid "$client_pid" | grep -qx ffmpeg; }
wait_until 10 "the converter did not start" converter_runs
# A row's progress bar at (452, 32) in it fills with EE8E31; the rows are 80 high at (0, 56)
# of the page.
progress=()
for row in 0 1 2 3 4 5; do progress+=(--point "615,$((92 + 80 * row)),=EE8E31"); done
geometry "$(main_window)"
for ((i = 1; i < ${#progress[@]}; i += 2)); do
  IFS=, read -r px py colour <<<"${progress[i]}"
  progress[i]="$((X + px)),$((Y + py)),$colour"
done
on_pc python3 "$screen_watch" --timeout 30 --any "${progress[@]}" >"$work/progress.log" ||
  fail "the conversion view showed no progress: $(cat "$work/progress.log")"
shot converting
converted_third="$pf/appData/converted/third.mp4"
phone_sees 90 --list2 2 --thumbnails
streams_range "$(key_of "$converted_third")" "$converted_third"
grep -q "third.mp4" "$pf/VideoRelation.xml" || fail "no relation of the converted video"
click_in "$(main_window)" "${share_item[@]}"
shot converted

# --- 4. a long conversion runs (the fourth video) while the window is closed with
# ExitWndType 1: the prompt; "后台运行" hides the window and the phone still streams; the
# tray menu's "显示" brings it back; its "关闭", then "完全退出", end the program (status 0)
# and leave the conversion unfinished in the queue.
begin "close, run in the background, show, quit"
grep -q '^ExitWndType=1' "$pf/config.ini" || fail "ExitWndType is not 1"
click_in "$(main_window)" "${share_item[@]}"
click_in "$(main_window)" "${fourth_tile[@]}"
click_in "$(main_window)" "${convert_button[@]}"
wait_until 10 "the fourth video's conversion did not start" converter_runs
on_phone "$probe" --expect-address 10.77.0.1 | grep '^list' | sort >"$work/phone-before-quit"
click_in "$(main_window)" "${close_button[@]}"
answer_exit_prompt "${run_in_background[@]}"
wait_until 10 "后台运行 did not hide the window" main_window_hidden
wait_until 10 "the tray icon went away" tray_icon
streams_range "$(key_of "$media/second.mp4")" "$media/second.mp4"
converter_runs || fail "the conversion did not go on while the window was hidden"
tray_menu 2
wait_until 10 "显示 did not bring the window back" main_window
tray_menu 1
answer_exit_prompt "${quit_completely[@]}"
wait_for_exit() {
  local deadline=$((SECONDS + 20))
  while kill -0 "$client_pid" 2>/dev/null; do
    [ "$SECONDS" -lt "$deadline" ] || fail "the program did not end within 20 s"
    sleep 0.2
  done
  wait "$client_pid"
  local status=$?
  client_pid=
  [ "$status" -eq 0 ] || fail "the program ended with status $status"
}
wait_for_exit
grep -q 'VideoName="fourth.mp4"' "$pf/ConvertList.xml" || fail "the unfinished task was not kept"

# --- 5. restart: the phone sees the same lists, and the records, relations and the queue
# (finished and unfinished tasks) are as they were; a quit by SIGTERM (the session ending)
# leaves them so.
begin "restart"
snapshot() {
  (cd "$pf" && cat ConvertList.xml VideoRelation.xml && ls file_root file_root/image)
}
snapshot >"$work/before-restart" || fail "files missing after the quit"
start_client
wait_until 30 "the main window did not come back" main_window
phone_sees 10 --thumbnails
grep '^list' "$work/phone.log" | sort >"$work/phone-after-restart"
diff "$work/phone-before-quit" "$work/phone-after-restart" || fail "the phone's lists changed"
click_in "$(main_window)" "${convert_item[@]}"
shot restarted-queue
kill -TERM "$client_pid"
wait_for_exit
snapshot >"$work/after-restart"
diff "$work/before-restart" "$work/after-restart" || fail "the files changed across a restart"
echo "program end to end: ok"
