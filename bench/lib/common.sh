# Shared by the benchmark scripts (sourced): Debian tools installed on demand, free
# ports, an nginx origin on a loopback address of its own, medians.
# The caller keeps the background processes it starts in the array "pids".

# bench_install COMMAND:PACKAGE... installs the packages whose command is missing, then
# stops the services Debian starts for them (the benchmarks run their own instances).
bench_install() {
  local need=() pair sudo=""
  for pair in "$@"; do
    command -v "${pair%%:*}" >/dev/null 2>&1 || need+=("${pair#*:}")
  done
  [ ${#need[@]} -gt 0 ] || return 0
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${need[@]}" >/dev/null
  for pair in "$@"; do
    $sudo service "${pair%%:*}" stop >/dev/null 2>&1 || true
  done
}

# bench_decoy_home WORK: a home folder of the benchmark's own for every program it starts
# from now on. The host points the desktop's proxy settings (GNOME, KDE, Firefox, the login
# environment) at the proxy it runs; a benchmark's host must never do that to the real
# desktop, least of all when it is killed and its journal goes with the work folder.
bench_decoy_home() {
  local home="$1/home"
  mkdir -p "$home/.config" "$home/.local/share" "$home/.cache"
  export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share"
  export XDG_CACHE_HOME="$home/.cache" GSETTINGS_BACKEND=keyfile
}

port_free() { ! (exec 3<>"/dev/tcp/$1/$2") 2>/dev/null; }
# Listening ports are drawn below the system's range of ephemeral ports: a port in that
# range can look free to a connect and still be taken by the local end of one of the
# clients' many connections, and the bind then fails.
free_port() { # [PORT...]: a free port other than the ones given (handed out, not yet bound)
  local p low
  read -r low _ </proc/sys/net/ipv4/ip_local_port_range 2>/dev/null || low=32768
  [ "$low" -gt 11024 ] || low=11024
  while :; do
    p=$((10000 + RANDOM % (low - 10000)))
    [[ " $* " == *" $p "* ]] && continue
    port_free 127.0.0.1 "$p" && { echo "$p"; return; }
  done
}
wait_listening() { # address port
  for _ in $(seq 1 400); do
    port_free "$1" "$2" || return 0
    sleep 0.05
  done
  echo "bench: nothing listens on $1:$2" >&2
  return 1
}
median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{v[NR]=$1} END {print (NR ? v[int((NR+1)/2)] : 0)}'; }

# bench_start_origin WORK: nginx serving WORK/www on port 80 of a loopback address of
# its own, which it leaves in the variable "origin".
bench_start_origin() {
  local work="$1"
  while :; do
    origin="127.$((100 + RANDOM % 100)).$((RANDOM % 250 + 2)).$((RANDOM % 250 + 2))"
    port_free "$origin" 80 && break
  done
  mkdir -p "$work/www" "$work/nginx"
  cat >"$work/nginx/nginx.conf" <<CONF
user root;
worker_processes 1;
daemon off;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 4096; }
http {
  types { text/html html; application/octet-stream bin; }
  access_log off;
  sendfile on;
  tcp_nopush off;
  tcp_nodelay on;
  keepalive_requests 10000000;
  keepalive_timeout 120;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  server { listen $origin:80; root $work/www; }
}
CONF
  nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" -e "$work/nginx/error.log" &
  pids+=($!)
  wait_listening "$origin" 80
}

# bench_first_run PREFIX BIN PORT: the host's first start in PREFIX, its wizard offer
# answered No (headless nobody could finish the wizard, and the start would wait for it),
# until it listens on PORT; then it is closed again. The benchmark's own start that
# follows is not a first run any more and may answer every question Yes.
bench_first_run() {
  local prefix="$1" bin="$2" port="$3"
  UMBRAVIA_PREFIX="$prefix" QT_QPA_PLATFORM=offscreen UMBRAVIA_MESSAGEBOX_ANSWER=no \
    "$bin/Umbravia.exe" >"$prefix/first-run.log" 2>&1 &
  local first=$!
  wait_listening 127.0.0.1 "$port"
  UMBRAVIA_PREFIX="$prefix" "$bin/umbravia-ctl" exit >/dev/null
  wait "$first"
}
