#!/usr/bin/env bash
# The host benchmark: 1 KiB requests (wrk, keep-alive, an Internet Explorer user agent,
# so every request becomes an activity notification) through the full Umbravia.exe,
# headless, and through the engine alone (bench/proxy's harness), interleaved, against
# one nginx origin on a loopback address of its own. While wrk loads the host, a probe
# sends the main window message 1226 every 20 ms and times the answers.
# Prints host.rps, host.engine_rps (medians), host.ratio, host.ui_median_ms,
# host.ui_max_ms (worst answer during load), host.rss_start_mb and host.rss_loaded_mb
# (the host's resident memory after start and after all rounds), host.exit_ms (SIGTERM
# to process end). HOST_BENCH_ROUNDS (default 3), HOST_BENCH_SECONDS (default 5).
set -euo pipefail
build="${UMBRAVIA_BUILD:?UMBRAVIA_BUILD must name the build folder}"
rounds="${HOST_BENCH_ROUNDS:-3}"
seconds="${HOST_BENCH_SECONDS:-5}"
ie_agent="Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)"

source "$(dirname "$0")/../lib/common.sh"
bench_install nginx:nginx-light wrk:wrk curl:curl

work="$(mktemp -d /tmp/host-bench-XXXXXX)"
bench_decoy_home "$work"
pids=()
host_pid=""
cleanup() {
  [ -z "$host_pid" ] || kill "$host_pid" 2>/dev/null || true
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

rss_mb() { awk '/^VmRSS:/ {printf "%.1f", $2 / 1024}' "/proc/$1/status"; }

# --- origin ---------------------------------------------------------------------------
bench_start_origin "$work"
head -c 1024 /dev/zero | tr '\0' 'a' >"$work/www/1k.bin"

# --- the engine alone and the whole host ------------------------------------------------
engine_port=$(free_port)
mkdir -p "$work/prefix-engine" "$work/prefix-host"
UMBRAVIA_PREFIX="$work/prefix-engine" "$build/bench/proxy_bench" "$engine_port" \
  "$build/testmodules/proxy_bench_chain/BenchChain.dll" >"$work/engine.log" 2>&1 &
pids+=($!)

host_port=$(free_port "$engine_port") # the engine may not be listening yet
cat >"$work/port.reg" <<REG
REGEDIT4

[HKEY_LOCAL_MACHINE\\Software\\Kestrani\\Hollowmere]
"PROXYPORT"=dword:$(printf '%08x' "$host_port")
REG
UMBRAVIA_PREFIX="$work/prefix-host" "$build/bin/RegEdit.exe" /s "$work/port.reg"
# Headless, after a first run that declined the settings wizard, every question answered
# Yes: the activity list's 1000-entry question clears the list, as an unattended host
# should.
bench_first_run "$work/prefix-host" "$build/bin" "$host_port"
UMBRAVIA_PREFIX="$work/prefix-host" QT_QPA_PLATFORM=offscreen UMBRAVIA_MESSAGEBOX_ANSWER=yes \
  "$build/bin/Umbravia.exe" >"$work/host.log" 2>&1 &
host_pid=$!
wait_listening 127.0.0.1 "$engine_port"
wait_listening 127.0.0.1 "$host_port"
# Like the engine alone, the host relays without filtering (the switches are read on
# every chunk, so this takes effect at once): the figure is the host's own cost.
cat >"$work/nofilter.reg" <<REG
REGEDIT4

[HKEY_LOCAL_MACHINE\\Software\\Kestrani\\Hollowmere\\DLLs\\Filters.dll\\Req]
@=dword:00000000

[HKEY_LOCAL_MACHINE\\Software\\Kestrani\\Hollowmere\\DLLs\\Filters.dll\\Res]
@=dword:00000000
REG
UMBRAVIA_PREFIX="$work/prefix-host" "$build/bin/RegEdit.exe" /s "$work/nofilter.reg"
sleep 1
rss_start=$(rss_mb "$host_pid")

cat >"$work/1k.lua" <<LUA
wrk.method = "GET"
wrk.path = "http://$origin/1k.bin"
wrk.headers["Host"] = "$origin"
wrk.headers["User-Agent"] = "$ie_agent"
LUA
rps() { # port
  local out
  out=$(wrk -t2 -c50 -d"${seconds}s" --timeout 5s -s "$work/1k.lua" "http://127.0.0.1:$1/" 2>&1) || true
  awk '/^Requests\/sec:/ {print $2; found=1} END {if (!found) print 0}' <<<"$out"
}

host_runs=""; engine_runs=""; ui_median=""; ui_max=""
for _ in $(seq 1 "$rounds"); do
  engine_runs+=" $(rps "$engine_port")"
  UMBRAVIA_PREFIX="$work/prefix-host" QT_QPA_PLATFORM=offscreen \
    "$build/bench/host_ping" "$seconds" 20 >"$work/ping.out" 2>"$work/ping.err" &
  ping_pid=$!
  host_runs+=" $(rps "$host_port")"
  wait "$ping_pid" || true
  read -r median_ms max_ms _ <"$work/ping.out" || { median_ms=0; max_ms=0; }
  ui_median+=" $median_ms"; ui_max+=" $max_ms"
done
rss_loaded=$(rss_mb "$host_pid")

start_ns=$(date +%s%N)
kill -TERM "$host_pid"
while kill -0 "$host_pid" 2>/dev/null; do sleep 0.01; done
exit_ms=$(( ($(date +%s%N) - start_ns) / 1000000 ))
host_pid=""

host_rps=$(median <<<"$host_runs")
engine_rps=$(median <<<"$engine_runs")
echo "host.rps $host_rps req/s"
echo "host.engine_rps $engine_rps req/s"
awk -v h="$host_rps" -v e="$engine_rps" 'BEGIN {printf "host.ratio %.2f x (target >= 0.80)\n", (e > 0 ? h / e : 0)}'
echo "host.ui_median_ms $(median <<<"$ui_median") ms"
echo "host.ui_max_ms $(tr ' ' '\n' <<<"$ui_max" | grep -v '^$' | sort -g | tail -1) ms"
echo "host.rss_start_mb $rss_start MB"
echo "host.rss_loaded_mb $rss_loaded MB"
echo "host.exit_ms $exit_ms ms"
