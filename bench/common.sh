# Shared by the benchmark scripts. shellcheck shell=bash
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BRISEL_BUILD_DIR:-$ROOT/build}

# The service broadcasts on the subnet it serves: benchmarks run it only inside a private
# network namespace that has nothing but loopback.
isolate() {
  if [ -n "${BRISEL_BENCH_ISOLATED:-}" ]; then return 0; fi
  if [ "$(id -u)" -ne 0 ]; then
    echo "The benchmark needs root: it runs in a private network namespace." >&2
    exit 1
  fi
  exec unshare --net -- env BRISEL_BENCH_ISOLATED=1 \
    sh -c 'ip link set lo up && exec "$0" "$@"' "$0" "$@"
}

build_bench() {
  cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRISEL_BUILD_BENCHMARKS=ON >/dev/null
  cmake --build "$BUILD_DIR" -j "$(nproc 2>/dev/null || echo 2)" --target briselvr "$@" >/dev/null
}

# CPU time (user + system) of a process in milliseconds.
cpu_ms() {
  local ticks
  ticks=$(awk '{print $14 + $15}' "/proc/$1/stat")
  echo $((ticks * 1000 / $(getconf CLK_TCK)))
}

# Waits until "serving on" appears in the log file $1 (at most 15 s).
wait_serving() {
  for _ in $(seq 150); do
    grep -q "serving on" "$1" && return 0
    sleep 0.1
  done
  echo "the service did not start:" >&2
  cat "$1" >&2
  return 1
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
