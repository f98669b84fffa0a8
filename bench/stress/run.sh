#!/usr/bin/env bash
# The stress harness: Umbravia.exe, headless in a prefix of its own, against an nginx
# origin on port 80 of a loopback address of its own, driven by bench/stress_bench
# (500/1,000/2,000 keep-alive clients, 200 byte-a-second clients beside 50 normal ones,
# hostile input at privacy levels 0 and 4, 200 stop/start cycles under load), then
# ended with SIGTERM. Prints "name value unit" lines and a FAIL line per broken promise;
# exits non-zero when there was one. Loopback only; about 3 to 6 minutes.
# UMBRAVIA_STRESS_BIN names another folder of products to run (default: the build's bin).
# A sanitizer build (scripts/stress-sanitized.sh) also counts the sanitizers' reports.
set -euo pipefail
build="${UMBRAVIA_BUILD:?UMBRAVIA_BUILD must name the build folder}"
bin="${UMBRAVIA_STRESS_BIN:-$build/bin}"

source "$(dirname "$0")/../lib/common.sh"
bench_install nginx:nginx-light

work="$(mktemp -d /tmp/stress-bench-XXXXXX)"
bench_decoy_home "$work"
pids=()
host_pid=""
cleanup() {
  [ -z "$host_pid" ] || kill -KILL "$host_pid" 2>/dev/null || true
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

bench_start_origin "$work"
echo "small page" >"$work/www/s.html"
head -c $((1 << 20)) /dev/zero >"$work/www/big.bin"

port=$(free_port)
mkdir -p "$work/prefix"
cat >"$work/port.reg" <<REG
REGEDIT4

[HKEY_LOCAL_MACHINE\\Software\\Kestrani\\Hollowmere]
"PROXYPORT"=dword:$(printf '%08x' "$port")
REG
UMBRAVIA_PREFIX="$work/prefix" "$bin/RegEdit.exe" /s "$work/port.reg"
# Headless, after a first run that declined the settings wizard, every question answered
# Yes (the activity list's 1000-entry question). The host starts with the usual desktop
# session's soft limit of 1,024 descriptors; the clients' side is raised to the hard limit.
bench_first_run "$work/prefix" "$bin" "$port"
(
  ulimit -Sn 1024
  UMBRAVIA_PREFIX="$work/prefix" QT_QPA_PLATFORM=offscreen UMBRAVIA_MESSAGEBOX_ANSWER=yes \
    exec "$bin/Umbravia.exe" >"$work/host.log" 2>&1
) &
host_pid=$!
wait_listening 127.0.0.1 "$port"
ulimit -n "$(ulimit -Hn)"

status=0
UMBRAVIA_PREFIX="$work/prefix" timeout 540 "$build/bench/stress_bench" "$port" "$origin" \
  "$host_pid" "$bin/umbravia-ctl" || status=$?

exit_status="gone"
if kill -0 "$host_pid" 2>/dev/null; then
  start_ns=$(date +%s%N)
  kill -TERM "$host_pid"
  exit_status=0
  wait "$host_pid" || exit_status=$?
  echo "stress.exit_ms $(( ($(date +%s%N) - start_ns) / 1000000 )) ms"
fi
host_pid=""
echo "stress.exit_status $exit_status code"
if [ "$exit_status" != "0" ]; then
  echo "FAIL the host did not end cleanly after SIGTERM (status $exit_status)"
  status=1
fi
reports=$(grep -c -E "ERROR: (AddressSanitizer|LeakSanitizer|ThreadSanitizer)|runtime error:|WARNING: ThreadSanitizer" "$work/host.log" || true)
echo "stress.sanitizer_reports $reports reports"
if [ "$reports" -gt 0 ]; then
  echo "FAIL $reports sanitizer report(s); the first:"
  grep -m1 -A25 -E "ERROR: |runtime error:|WARNING: ThreadSanitizer" "$work/host.log" | sed 's/^/  /'
  status=1
fi
refusals=$(grep -c "turned away" "$work/host.log" || true)
echo "stress.refusal_lines $refusals lines"
[ -z "${STRESS_KEEP_LOG:-}" ] || cp "$work/host.log" "$STRESS_KEEP_LOG"
exit "$status"
