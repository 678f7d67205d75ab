#!/usr/bin/env bash
# End to end across two network namespaces joined by a veth pair, like a PC and a phone on a
# LAN of their own: the phone hears the broadcast, fetches the lists and streams by key.
#   LanTwoHostsTest.sh BRISELVR PHONE_PROBE
# Exit 77 (skipped) when it cannot make namespaces (not root, no iproute2).
set -u
briselvr=$1
probe=$2
skip() { echo "SKIPPED: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "creating network namespaces needs root"
command -v ip >/dev/null || skip "iproute2 (ip) is missing"

tag="brs$$"
pc="$tag-pc"
phone="$tag-ph"
folder=$(mktemp -d)
serve_pid=
cleanup() {
  [ -n "$serve_pid" ] && kill -TERM "$serve_pid" 2>/dev/null && wait "$serve_pid" 2>/dev/null
  ip netns del "$pc" 2>/dev/null
  ip netns del "$phone" 2>/dev/null
  rm -rf "$folder"
}
trap cleanup EXIT

ip netns add "$pc" || skip "ip netns add failed"
ip netns add "$phone" || skip "ip netns add failed"
# Inside a chroot (no mount point at /) namespaces can be made but not entered.
ip netns exec "$pc" true 2>/dev/null || skip "ip netns exec does not work here"
ip link add "$tag-a" type veth peer name "$tag-b" || skip "no veth support"
ip link set "$tag-a" netns "$pc"
ip link set "$tag-b" netns "$phone"
ip -n "$pc" addr add 10.77.0.1/24 brd 10.77.0.255 dev "$tag-a"
ip -n "$phone" addr add 10.77.0.2/24 brd 10.77.0.255 dev "$tag-b"
for ns in "$pc" "$phone"; do ip -n "$ns" link set lo up; done
ip -n "$pc" link set "$tag-a" up
ip -n "$phone" link set "$tag-b" up

head -c 300000 /dev/urandom >"$folder/clip.mp4"
"$briselvr" --program-folder "$folder/pc" add "$folder/clip.mp4" || exit 1
ip netns exec "$pc" "$briselvr" --program-folder "$folder/pc" serve --address 10.77.0.1 \
  >"$folder/serve.log" 2>&1 &
serve_pid=$!
for _ in $(seq 100); do
  grep -q "serving on 10.77.0.1" "$folder/serve.log" && break
  kill -0 "$serve_pid" 2>/dev/null || break
  sleep 0.1
done
grep -q "serving on 10.77.0.1" "$folder/serve.log" || { cat "$folder/serve.log"; exit 1; }

ip netns exec "$phone" "$probe" --expect-address 10.77.0.1 --timeout-ms 5000 || {
  echo "--- serve output"; cat "$folder/serve.log"; exit 1; }
kill -TERM "$serve_pid"
wait "$serve_pid"
status=$?
serve_pid=
[ "$status" -eq 0 ] || { echo "serve ended with $status"; exit 1; }
echo "end to end: ok"
