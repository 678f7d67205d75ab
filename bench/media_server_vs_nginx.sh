#!/usr/bin/env bash
# The media server against nginx (sendfile on) on loopback, serving the same files in one
# run: a record pointing at a 1 GiB video, and a 64 KiB thumbnail.
#   1. one client downloading the whole video (curl);
#   2. 64 keep-alive connections doing random 1 MiB range reads of the video (wrk, Lua);
#   3. 64 connections doing random 1 KiB range reads of the thumbnail (latency-bound).
# Prints our/nginx ratios and our server's CPU time per request. Installs nginx-light and
# wrk when they are missing.
#   bench/media_server_vs_nginx.sh [SECONDS]
set -euo pipefail
source "$(dirname "$0")/common.sh"
seconds=${1:-15}

# Installed before the script moves into its private namespace, which has no network.
missing=()
command -v nginx >/dev/null || missing+=(nginx-light)
command -v wrk >/dev/null || missing+=(wrk)
command -v curl >/dev/null || missing+=(curl)
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  apt-get install -y --no-install-recommends "${missing[@]}" >/dev/null
fi
isolate "$@"
build_bench

work=$(mktemp -d)
serve_pid=
nginx_pid=
cleanup() {
  [ -n "$serve_pid" ] && kill -TERM "$serve_pid" 2>/dev/null && wait "$serve_pid" 2>/dev/null
  [ -n "$nginx_pid" ] && kill -QUIT "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

big_size=$((1024 * 1024 * 1024))
small_size=$((64 * 1024))
mkdir -p "$work/www"
head -c "$big_size" /dev/urandom >"$work/www/big.mp4"
head -c "$small_size" /dev/urandom >"$work/www/small.jpg"
key=$("$BUILD_DIR/bin/briselvr" --program-folder "$work/pf" add "$work/www/big.mp4" | cut -f1)
cp "$work/www/small.jpg" "$work/pf/file_root/image/$key.jpg"

"$BUILD_DIR/bin/briselvr" --program-folder "$work/pf" serve --address 127.0.0.1 \
  >"$work/serve.log" 2>&1 &
serve_pid=$!
wait_serving "$work/serve.log"

cat >"$work/nginx.conf" <<CONF
user root;
worker_processes auto;
pid $work/nginx.pid;
error_log $work/nginx-error.log;
daemon off;
events { worker_connections 1024; }
http {
  access_log off;
  sendfile on;
  tcp_nopush on;
  tcp_nodelay on;
  keepalive_requests 1000000;
  types { video/mp4 mp4; image/jpeg jpg; }
  server { listen 127.0.0.1:8080; root $work/www; }
}
CONF
nginx -c "$work/nginx.conf" -p "$work" &
nginx_pid=$!
sleep 0.5

cat >"$work/range.lua" <<'LUA'
local size = tonumber(os.getenv("BENCH_SIZE"))
local chunk = tonumber(os.getenv("BENCH_CHUNK"))
math.randomseed(os.time() + tonumber(tostring({}):sub(8), 16))
request = function()
  local first = math.random(0, size - chunk)
  return wrk.format("GET", nil, { ["Range"] = "bytes=" .. first .. "-" .. (first + chunk - 1) })
end
LUA

# CPU of nginx: the master and its workers.
nginx_cpu_ms() {
  local total=0 p
  for p in $nginx_pid $(pgrep -P "$nginx_pid"); do total=$((total + $(cpu_ms "$p"))); done
  echo "$total"
}

download() {  # URL -> bytes per second, best of two
  local best=0 s
  for _ in 1 2; do
    s=$(curl -s -o /dev/null -w '%{speed_download}' "$1")
    best=$(awk -v a="$best" -v b="$s" 'BEGIN { print (b > a ? b : a) }')
  done
  echo "$best"
}

# wrk_run URL SIZE CHUNK -> "requests/s p99_ms"
wrk_run() {
  BENCH_SIZE=$2 BENCH_CHUNK=$3 wrk -t2 -c64 -d"${seconds}s" --latency -s "$work/range.lua" "$1" \
    >"$work/wrk.out"
  local rps p99
  rps=$(awk '/Requests\/sec/ {print $2}' "$work/wrk.out")
  p99=$(awk '$1 == "99%" {v=$2; if (v ~ /us$/) {sub(/us/, "", v); v /= 1000} else if (v ~ /ms$/) {sub(/ms/, "", v)} else if (v ~ /s$/) {sub(/s/, "", v); v *= 1000}; print v}' "$work/wrk.out")
  local errors
  errors=$(awk '/Non-2xx|Socket errors/' "$work/wrk.out")
  [ -n "$errors" ] && echo "  wrk: $errors" >&2
  echo "$rps $p99"
}

ours_url="http://127.0.0.1:11717/$key"
nginx_url="http://127.0.0.1:8080/big.mp4"

echo "== whole 1 GiB download, one client"
ours=$(download "$ours_url")
theirs=$(download "$nginx_url")
awk -v a="$ours" -v b="$theirs" -v r="$(ratio "$ours" "$theirs")" \
  'BEGIN { printf "  ours %.0f MB/s, nginx %.0f MB/s, ratio %s\n", a / 1e6, b / 1e6, r }'

# range_case TITLE OUR_URL NGINX_URL SIZE CHUNK
range_case() {
  local title=$1 ours_u=$2 nginx_u=$3 size=$4 chunk=$5
  echo "== $title, 64 keep-alive connections, ${seconds} s"
  local before after ours_rps ours_p99 nginx_rps nginx_p99 ours_cpu nginx_cpu
  before=$(cpu_ms "$serve_pid")
  read -r ours_rps ours_p99 <<<"$(wrk_run "$ours_u" "$size" "$chunk")"
  after=$(cpu_ms "$serve_pid")
  ours_cpu=$(awk -v c=$((after - before)) -v r="$ours_rps" -v s="$seconds" 'BEGIN { printf "%.1f", c * 1000 / (r * s) }')
  before=$(nginx_cpu_ms)
  read -r nginx_rps nginx_p99 <<<"$(wrk_run "$nginx_u" "$size" "$chunk")"
  after=$(nginx_cpu_ms)
  nginx_cpu=$(awk -v c=$((after - before)) -v r="$nginx_rps" -v s="$seconds" 'BEGIN { printf "%.1f", c * 1000 / (r * s) }')
  echo "  ours  $ours_rps requests/s, p99 $ours_p99 ms, CPU $ours_cpu us/request"
  echo "  nginx $nginx_rps requests/s, p99 $nginx_p99 ms, CPU $nginx_cpu us/request"
  echo "  ratio ours/nginx $(ratio "$ours_rps" "$nginx_rps")"
}
range_case "1 MiB ranges of the video" "$ours_url" "$nginx_url" "$big_size" 1048576
range_case "1 KiB ranges of the thumbnail" "http://127.0.0.1:11717/image/$key.jpg" \
  "http://127.0.0.1:8080/small.jpg" "$small_size" 1024
