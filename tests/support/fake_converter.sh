#!/bin/sh
# A fault-injecting stand-in for the converter, for tests only. It answers the converter's
# command line the way the real one would fail or succeed on demand.
#
#   BRISEL_FAKE_MODE  what to do (below)
#   BRISEL_FAKE_DIR   where it records its pid ("pid") and arguments ("args", one a line)
#   BRISEL_FAKE_FDK   1: list libfdk_aac among the encoders
#
# Like the real converter (its stdin is /dev/null, so it cannot ask) it never overwrites an
# existing output: every mode but "hang" then refuses at once with status 1, and "hang"
# leaves the file alone.
#
# Modes (the output file is the last argument):
#   ok                   progress reports, writes the output, exits 0
#   silent-exit          no output at all, exits 0
#   exit-at-once         one error line, exits 1
#   fail-after-progress  progress reports and a partial output, then exits 1
#   hang                 a partial output, prints nothing and waits to be killed
#   progress-then-hang   progress reports and a partial output, then waits to be killed
#   progress-na          reports "time=N/A" only, writes the output, exits 0
#   hold                 progress reports and a partial output, then waits for the file
#                        OUTPUT.release and exits with the status written in it
set -u
for a in "$@"; do
  if [ "$a" = "-encoders" ]; then
    echo "Encoders:"
    echo " A..... aac                  AAC (Advanced Audio Coding)"
    [ "${BRISEL_FAKE_FDK:-0}" = 1 ] && echo " A..... libfdk_aac           Fraunhofer FDK AAC"
    echo " V..... libx264              libx264 H.264 / AVC / MPEG-4 AVC / MPEG-4 part 10"
    exit 0
  fi
done

dir=${BRISEL_FAKE_DIR:-/tmp}
echo $$ > "$dir/pid"
: > "$dir/args"
for a in "$@"; do printf '%s\n' "$a" >> "$dir/args"; done
for out in "$@"; do :; done

existed=0
[ -e "$out" ] && existed=1
if [ $existed = 1 ] && [ "${BRISEL_FAKE_MODE:-ok}" != hang ]; then
  echo "File '$out' already exists. Exiting." >&2
  exit 1
fi

progress() {
  printf 'frame=   24 fps=0.0 q=28.0 size=       1kB time=00:00:01.00 bitrate=   8.2kbits/s speed=2x\r' >&2
  sleep 0.2
  printf 'frame=   48 fps= 40 q=28.0 size=       2kB time=00:00:02.00 bitrate=   8.2kbits/s speed=2x\r' >&2
}

case "${BRISEL_FAKE_MODE:-ok}" in
  ok)
    progress
    printf 'complete' > "$out"
    echo "video:2kB audio:1kB" >&2
    exit 0 ;;
  silent-exit)
    exit 0 ;;
  exit-at-once)
    echo "Conversion failed!" >&2
    exit 1 ;;
  fail-after-progress)
    printf 'partial' > "$out"
    progress
    echo "Error writing trailer: No space left on device" >&2
    exit 1 ;;
  hang)
    [ $existed = 1 ] || printf 'partial' > "$out"
    exec sleep 600 ;;
  progress-then-hang)
    printf 'partial' > "$out"
    progress
    exec sleep 600 ;;
  progress-na)
    printf 'size=N/A time=N/A bitrate=N/A speed=N/A\r' >&2
    printf 'complete' > "$out"
    exit 0 ;;
  hold)
    printf 'partial' > "$out"
    progress
    while [ ! -f "$out.release" ]; do sleep 0.02; done
    status=$(cat "$out.release")
    [ "$status" = 0 ] && printf 'complete' > "$out"
    exit "${status:-0}" ;;
  *)
    echo "unknown mode" >&2
    exit 2 ;;
esac
