# Sourced by the end-to-end test and the cost benchmark: a "pc" and a "phone" host (two
# network namespaces joined by a veth pair, 10.77.0.1 and 10.77.0.2) and a private X desktop
# on the pc host (Xvfb, openbox, trayer as the tray host), as a user's LAN and desktop would
# be. Needs root. The caller defines fail MESSAGE (prints and exits) and calls desktop_down
# and hosts_down from its EXIT trap.
# shellcheck shell=bash

pc=
phone=
hosts_problem=
desktop_pids=()

# The first tool the desktop needs that is missing, or nothing.
desktop_tool_missing() {
  local tool
  for tool in ip Xvfb openbox trayer xdotool xwininfo xprop; do
    command -v "$tool" >/dev/null || {
      echo "$tool"
      return
    }
  done
}

# Processes started in the background are started with ip netns exec itself (not through
# these functions, which would put a shell between $! and the process).
on_pc() { ip netns exec "$pc" "$@"; }
on_phone() { ip netns exec "$phone" "$@"; }

# hosts_up TAG: the two hosts, named TAG-pc and TAG-ph. Returns 1 and sets hosts_problem
# when namespaces or veth pairs cannot be made here.
hosts_up() {
  local tag=$1
  ip netns add "$tag-pc" || {
    hosts_problem="ip netns add failed"
    return 1
  }
  pc="$tag-pc"
  ip netns add "$tag-ph" || {
    hosts_problem="ip netns add failed"
    return 1
  }
  phone="$tag-ph"
  # Inside a chroot (no mount point at /) namespaces can be made but not entered.
  on_pc true 2>/dev/null || {
    hosts_problem="ip netns exec does not work here"
    return 1
  }
  ip link add "$tag-a" type veth peer name "$tag-b" || {
    hosts_problem="no veth support"
    return 1
  }
  ip link set "$tag-a" netns "$pc"
  ip link set "$tag-b" netns "$phone"
  ip -n "$pc" addr add 10.77.0.1/24 brd 10.77.0.255 dev "$tag-a"
  ip -n "$phone" addr add 10.77.0.2/24 brd 10.77.0.255 dev "$tag-b"
  ip -n "$pc" link set lo up
  ip -n "$phone" link set lo up
  ip -n "$pc" link set "$tag-a" up
  ip -n "$phone" link set "$tag-b" up
}

# hosts_down and desktop_down never fail, so that they run to their end in an EXIT trap of a
# script under set -e.
hosts_down() {
  if [ -n "$pc" ]; then ip netns del "$pc" 2>/dev/null || true; fi
  if [ -n "$phone" ]; then ip netns del "$phone" 2>/dev/null || true; fi
  pc=
  phone=
}

# wait_until SECONDS DESCRIPTION COMMAND...: runs COMMAND every 0.2 s until it succeeds;
# fail DESCRIPTION when SECONDS pass first.
wait_until() {
  local seconds=$1 what=$2
  shift 2
  local deadline=$((SECONDS + seconds))
  while ! "$@" >/dev/null 2>&1; do
    [ "$SECONDS" -lt "$deadline" ] || fail "$what (waited $seconds s)"
    sleep 0.2
  done
}

# deadline_up SECONDS: sends this shell SIGTERM when SECONDS pass, so a hung step still ends
# through the caller's traps (a harness's own time-out kills without them).
deadline_up() {
  local main=$$ seconds=$1
  (
    trap 'kill "$sleeper" 2>/dev/null; exit 0' TERM
    sleep "$seconds" &
    sleeper=$!
    wait "$sleeper" || exit 0
    echo "deadline of $seconds s passed"
    kill -TERM "$main"
  ) &
  desktop_pids+=($!)
}

# drag_over X Y: a drag as a hand makes it, from the tests' drag source (brisel_drag_source,
# shown on the pc host's desktop): press in the middle of its window and move to the screen
# point X, Y in steps. The caller releases the button (xdotool mouseup 1).
drag_over() {
  local source
  wait_until 10 "the drag source did not appear" \
    on_pc xdotool search --onlyvisible --name '^brisel drag source$'
  source=$(on_pc xdotool search --onlyvisible --name '^brisel drag source$' | head -n 1)
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(on_pc xdotool getwindowgeometry --shell "$source")"
  local from_x=$((X + WIDTH / 2)) from_y=$((Y + HEIGHT / 2)) step
  on_pc xdotool mousemove --sync "$from_x" "$from_y" mousedown 1
  for step in 1 2 3 4 5 6 7 8; do
    on_pc xdotool mousemove --sync $((from_x + step * ($1 - from_x) / 8)) \
      $((from_y + step * ($2 - from_y) / 8))
    sleep 0.05
  done
}

# desktop_up FOLDER: the desktop on the pc host, 1280 x 800, with its files in FOLDER. A home,
# runtime and config folder of its own keep the user's session (autostart entries, the
# single-instance lock, the session bus) out of it; the system bus address leads nowhere, so
# the program asks no one to keep the machine awake. Exports DISPLAY.
desktop_up() {
  local folder=$1
  mkdir -p "$folder/home" "$folder/runtime"
  chmod 700 "$folder/runtime"
  export HOME="$folder/home" XDG_RUNTIME_DIR="$folder/runtime"
  export XDG_CONFIG_HOME="$folder/home/.config" XDG_DATA_HOME="$folder/home/.local/share"
  export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$folder/no-bus"
  unset DBUS_SESSION_BUS_ADDRESS QT_QPA_PLATFORM WAYLAND_DISPLAY XDG_CURRENT_DESKTOP
  unset DESKTOP_SESSION SESSION_MANAGER
  export LC_ALL=C.UTF-8

  # Xvfb picks a free display itself and writes its number to fd 3.
  exec 3>"$folder/display"
  ip netns exec "$pc" Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset \
    >"$folder/xvfb.log" 2>&1 &
  desktop_pids+=($!)
  exec 3>&-
  _display_known() { [ -s "$folder/display" ]; }
  wait_until 20 "Xvfb did not start" _display_known
  export DISPLAY=":$(head -n 1 "$folder/display")"
  wait_until 20 "Xvfb does not answer" on_pc xwininfo -root

  ip netns exec "$pc" openbox --sm-disable >"$folder/openbox.log" 2>&1 &
  desktop_pids+=($!)
  _wm_running() { on_pc xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"; }
  wait_until 20 "the window manager did not start" _wm_running

  ip netns exec "$pc" trayer --edge top --align right --widthtype pixel --width 120 \
    --height 28 --SetDockType true >"$folder/trayer.log" 2>&1 &
  desktop_pids+=($!)
  wait_until 20 "the tray host did not start" on_pc xdotool search --onlyvisible --class trayer
}

desktop_down() {
  local pid
  for pid in "${desktop_pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${desktop_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  desktop_pids=()
}
