#!/usr/bin/env bash
# The proxy benchmark: one local origin (nginx on a loopback address of its own, port 80)
# and six ways to reach it, measured side by side with the targets interleaved:
#   direct, socat (16 KiB buffers: a plain userspace relay of our chunk size), engine
#   (filtering off), engine_filtered (the real Filters.dll, every option on), privoxy
#   (Debian's default actions and filters), tinyproxy (minimal configuration).
# Prints, per target, proxy.rps.<t> (wrk, 1 KiB file), proxy.html_rps.<t> (wrk, 100 KiB
# HTML page) and proxy.download_mbps.<t> (curl, 100 MiB file): medians over the rounds.
# A download takes a tenth of a second and its speed varies by a quarter from one to the
# next, so each round downloads PROXY_BENCH_DOWNLOADS times (default 5) and the median is
# taken over all of them.
# PROXY_BENCH_ROUNDS (default 3) and PROXY_BENCH_SECONDS (wrk run length, default 3).
set -euo pipefail
build="${UMBRAVIA_BUILD:?UMBRAVIA_BUILD must name the build folder}"
rounds="${PROXY_BENCH_ROUNDS:-3}"
seconds="${PROXY_BENCH_SECONDS:-3}"
downloads="${PROXY_BENCH_DOWNLOADS:-5}"
targets=(direct socat engine engine_filtered privoxy tinyproxy)
ie_agent="Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)"

# --- tools -------------------------------------------------------------------------
source "$(dirname "$0")/../lib/common.sh"
bench_install nginx:nginx-light privoxy:privoxy tinyproxy:tinyproxy socat:socat wrk:wrk curl:curl

work="$(mktemp -d /tmp/proxy-bench-XXXXXX)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# --- origin ------------------------------------------------------------------------
bench_start_origin "$work"
head -c 1024 /dev/zero | tr '\0' 'a' >"$work/www/1k.bin"
head -c $((100 * 1024 * 1024)) /dev/urandom >"$work/www/big.bin"
{ # a tag-dense page full of scripts, pop-ups, images and timers: about 100 KiB
  echo "<html><head><title>Benchmark page</title></head>"
  echo "<body onunload=\"bye()\" oncontextmenu=\"return false\">"
  for i in $(seq 1 445); do
    echo "<div class=\"c$i\"><a href=\"/p$i.html\"><img src=\"/img/$i.gif\" width=\"10\"></a>"
    echo "<script>setTimeout(\"tick($i)\", $i); window.status='s$i';</script>"
    echo "<p onclick=\"window.open('/w$i.html','w$i')\">item <b>$i</b> <i>text</i></p></div>"
  done
  echo "</body></html>"
} >"$work/www/page.html"

# --- relays and proxies --------------------------------------------------------------
declare -A port
# Each port differs from those already handed out: none is bound before all are chosen.
for t in socat engine engine_filtered privoxy tinyproxy; do port[$t]=$(free_port "${port[@]}"); done

socat -b16384 "TCP-LISTEN:${port[socat]},bind=127.0.0.1,reuseaddr,fork,nodelay" \
  "TCP:$origin:80,nodelay" 2>"$work/socat.log" &
pids+=($!)

chain="$build/testmodules/proxy_bench_chain/BenchChain.dll"
mkdir -p "$work/prefix-engine" "$work/prefix-filtered"
UMBRAVIA_PREFIX="$work/prefix-engine" "$build/bench/proxy_bench" "${port[engine]}" "$chain" \
  >"$work/engine.log" 2>&1 &
pids+=($!)
filters="$build/bin/Filters.dll"
have_filters=0
if [ -f "$filters" ]; then
  have_filters=1
  UMBRAVIA_PREFIX="$work/prefix-filtered" "$build/bench/proxy_bench" "${port[engine_filtered]}" \
    "$chain" "$filters" >"$work/engine_filtered.log" 2>&1 &
  pids+=($!)
fi

sed -e "s|^logdir .*|logdir $work|" -e "s|^logfile .*||" -e "/^listen-address/d" \
  /etc/privoxy/config >"$work/privoxy.conf"
echo "listen-address 127.0.0.1:${port[privoxy]}" >>"$work/privoxy.conf"
privoxy --no-daemon "$work/privoxy.conf" >"$work/privoxy.log" 2>&1 &
pids+=($!)

cat >"$work/tinyproxy.conf" <<CONF
Port ${port[tinyproxy]}
Listen 127.0.0.1
Timeout 600
MaxClients 100
Allow 127.0.0.1
LogLevel Critical
PidFile "$work/tinyproxy.pid"
CONF
tinyproxy -d -c "$work/tinyproxy.conf" >"$work/tinyproxy.log" 2>&1 &
pids+=($!)

for t in socat engine privoxy tinyproxy; do wait_listening 127.0.0.1 "${port[$t]}"; done
[ "$have_filters" -eq 0 ] || wait_listening 127.0.0.1 "${port[engine_filtered]}"

# --- measurements --------------------------------------------------------------------
wrk_script() { # target file -> lua script path
  local script="$work/$1-$2.lua" path="/$2"
  [ "$1" = direct ] || path="http://$origin/$2"
  cat >"$script" <<LUA
wrk.method = "GET"
wrk.path = "$path"
wrk.headers["Host"] = "$origin"
wrk.headers["User-Agent"] = "$ie_agent"
LUA
  echo "$script"
}
url_of() { [ "$1" = direct ] && echo "http://$origin" || echo "http://127.0.0.1:${port[$1]}"; }

rps() { # target file
  local out
  out=$(wrk -t2 -c50 -d"${seconds}s" --timeout 5s -s "$(wrk_script "$1" "$2")" "$(url_of "$1")/" \
        2>&1) || true
  awk '/^Requests\/sec:/ {print $2; found=1} END {if (!found) print 0}' <<<"$out"
}
mbps() { # target
  local proxy=() speed
  [ "$1" = direct ] || proxy=(-x "http://127.0.0.1:${port[$1]}")
  speed=$(curl -s -o /dev/null --max-time 300 -A "$ie_agent" "${proxy[@]}" \
          -w '%{speed_download}' "http://$origin/big.bin" 2>/dev/null) || speed=0
  awk -v s="$speed" 'BEGIN {printf "%.1f", s / 1000000}'
}

# The filtered engine must really rewrite the page (its scripts, pop-ups and timers).
if [ "$have_filters" -eq 1 ]; then
  plain=$(curl -s -A "$ie_agent" "http://$origin/page.html" | md5sum)
  filtered=$(curl -s -A "$ie_agent" -x "http://127.0.0.1:${port[engine_filtered]}" \
             "http://$origin/page.html" | md5sum)
  if [ "$plain" = "$filtered" ]; then
    echo "bench/proxy: engine_filtered leaves the page unchanged; Filters.dll is not filtering" >&2
  fi
fi

declare -A results
# The targets take turns within each kind of measurement, so that a slower spell of the
# machine falls on all of them alike rather than on one.
measured=()
for t in "${targets[@]}"; do
  if [ "$t" = engine_filtered ] && [ "$have_filters" -eq 0 ]; then continue; fi
  measured+=("$t")
done
for r in $(seq 1 "$rounds"); do
  for t in "${measured[@]}"; do results[rps.$t]+=" $(rps "$t" 1k.bin)"; done
  for t in "${measured[@]}"; do results[html_rps.$t]+=" $(rps "$t" page.html)"; done
  for _ in $(seq 1 "$downloads"); do
    for t in "${measured[@]}"; do results[download_mbps.$t]+=" $(mbps "$t")"; done
  done
done
# Every single figure, for the reader who wants the spread behind a median.
for key in $(printf '%s\n' "${!results[@]}" | sort); do
  echo "proxy.samples.$key:${results[$key]}" >&2
done

declare -A med
for t in "${targets[@]}"; do
  for m in rps html_rps download_mbps; do
    unit="req/s"; [ "$m" = download_mbps ] && unit="MB/s"
    if [ "$t" = engine_filtered ] && [ "$have_filters" -eq 0 ]; then
      echo "proxy.$m.$t missing $unit"
      continue
    fi
    med[$m.$t]=$(echo "${results[$m.$t]}" | median)
    echo "proxy.$m.$t ${med[$m.$t]} $unit"
  done
done

ratio() { awk -v a="${med[$1]:-0}" -v b="${med[$2]:-0}" 'BEGIN {printf "%.2f", (b > 0 ? a / b : 0)}'; }
echo "proxy.ratio.download_engine_vs_socat $(ratio download_mbps.engine download_mbps.socat) x"
echo "proxy.ratio.rps_engine_vs_tinyproxy $(ratio rps.engine rps.tinyproxy) x"
if [ "$have_filters" -eq 1 ]; then
  echo "proxy.ratio.download_filtered_vs_engine $(ratio download_mbps.engine_filtered download_mbps.engine) x"
  echo "proxy.ratio.download_filtered_vs_socat $(ratio download_mbps.engine_filtered download_mbps.socat) x"
  echo "proxy.ratio.html_filtered_vs_privoxy $(ratio html_rps.engine_filtered html_rps.privoxy) x"
  echo "proxy.ratio.html_filtered_vs_socat $(ratio html_rps.engine_filtered html_rps.socat) x"
fi
