#!/usr/bin/env bash
# The DLNA media server end to end: a PC with two networks, a player on the first and a
# stranger on the second, each in a network namespace of its own and joined by veth pairs.
# Each host gets a multicast route, as a LAN's default route would give it.
#   DlnaTwoHostsTest.sh BRISELVR DLNA_PROBE
# Exit 77 (skipped) when it cannot make namespaces (not root, no iproute2).
set -u
briselvr=$1
probe=$2
skip() { echo "SKIPPED: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "creating network namespaces needs root"
command -v ip >/dev/null || skip "iproute2 (ip) is missing"

tag="bdl$$"
pc="$tag-pc"
player="$tag-pl"
stranger="$tag-st"
folder=$(mktemp -d)
serve_pid=
cleanup() {
  [ -n "$serve_pid" ] && kill -TERM "$serve_pid" 2>/dev/null && wait "$serve_pid" 2>/dev/null
  for ns in "$pc" "$player" "$stranger"; do ip netns del "$ns" 2>/dev/null; done
  rm -rf "$folder"
}
trap cleanup EXIT
fail() { echo "FAILED: $*"; echo "--- serve output"; cat "$folder/serve.log" 2>/dev/null; exit 1; }

for ns in "$pc" "$player" "$stranger"; do ip netns add "$ns" || skip "ip netns add failed"; done
# Inside a chroot (no mount point at /) namespaces can be made but not entered.
ip netns exec "$pc" true 2>/dev/null || skip "ip netns exec does not work here"
ip link add "$tag-a" type veth peer name "$tag-b" || skip "no veth support"
ip link add "$tag-c" type veth peer name "$tag-d" || skip "no veth support"
ip link set "$tag-a" netns "$pc"
ip link set "$tag-c" netns "$pc"
ip link set "$tag-b" netns "$player"
ip link set "$tag-d" netns "$stranger"
ip -n "$pc" addr add 10.77.0.1/24 brd 10.77.0.255 dev "$tag-a"
ip -n "$pc" addr add 10.88.0.1/24 brd 10.88.0.255 dev "$tag-c"
ip -n "$player" addr add 10.77.0.2/24 brd 10.77.0.255 dev "$tag-b"
ip -n "$stranger" addr add 10.88.0.2/24 brd 10.88.0.255 dev "$tag-d"
for ns in "$pc" "$player" "$stranger"; do ip -n "$ns" link set lo up; done
ip -n "$pc" link set "$tag-a" up
ip -n "$pc" link set "$tag-c" up
ip -n "$player" link set "$tag-b" up
ip -n "$stranger" link set "$tag-d" up
# The PC's multicast route points at the network it does not serve, so only its binding to
# the service address keeps the announcements on the right network.
ip -n "$pc" route add 224.0.0.0/4 dev "$tag-c"
ip -n "$player" route add 224.0.0.0/4 dev "$tag-b"
ip -n "$stranger" route add 224.0.0.0/4 dev "$tag-d"

# Two clips long enough for a thumbnail (it is taken 15 s in).
for name in first second; do
  ffmpeg -loglevel error -f lavfi -i testsrc=size=160x120:rate=10 -f lavfi -i sine=duration=17 \
    -t 17 -c:v libx264 -preset ultrafast -c:a aac "$folder/$name.mp4" || fail "ffmpeg"
done
"$briselvr" --program-folder "$folder/pc" add "$folder/first.mp4" "$folder/second.mp4" \
  || fail "briselvr add"

serve() {
  ip netns exec "$pc" "$briselvr" --program-folder "$folder/pc" serve --address 10.77.0.1 \
    >"$folder/serve.log" 2>&1 &
  serve_pid=$!
  for _ in $(seq 100); do
    grep -q "serving on 10.77.0.1" "$folder/serve.log" && return 0
    kill -0 "$serve_pid" 2>/dev/null || break
    sleep 0.1
  done
  fail "serve did not start"
}
stop() {
  kill -TERM "$serve_pid"
  wait "$serve_pid"
  local status=$?
  serve_pid=
  [ "$status" -eq 0 ] || fail "serve ended with $status"
}

serve
grep -q "DLNA media server: http://10.77.0.1:11719/" "$folder/serve.log" \
  || { sleep 1; grep -q "DLNA media server: http://10.77.0.1:11719/" "$folder/serve.log"; } \
  || fail "no DLNA media server"
ip netns exec "$stranger" "$probe" silent --local 10.88.0.2 --wait-ms 3000 \
  --closed 10.88.0.1:11719 || fail "the other network heard the server"
ip netns exec "$player" "$probe" find --local 10.77.0.2 --expect 10.77.0.1 --videos 2 \
  || fail "the player did not find both videos"
ip netns exec "$player" "$probe" byebye --local 10.77.0.2 --wait-ms 8000 >"$folder/byebye.log" &
byebye_pid=$!
for _ in $(seq 50); do grep -q listening "$folder/byebye.log" && break; sleep 0.1; done
stop
wait "$byebye_pid" || { cat "$folder/byebye.log"; fail "no goodbye"; }
cat "$folder/byebye.log"

printf '[NormalSetting]\nDlnaServer=0\n' >>"$folder/pc/config.ini"
serve
ip netns exec "$player" "$probe" silent --local 10.77.0.2 --wait-ms 3000 \
  --closed 10.77.0.1:11719 || fail "DlnaServer=0 still announces"
stop
echo "DLNA end to end: ok"
