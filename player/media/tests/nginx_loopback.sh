#!/usr/bin/env bash
# A throw-away nginx on loopback for the Windows stream tests, started from inside the test
# program (Wine starts Linux programs too) and stopped by it:
#
#   nginx_loopback.sh start DIR   serves DIR/www on 127.0.0.1:<free port>; writes the port to
#                                 DIR/port once nginx accepts connections, or "absent" /
#                                 "failed: ..." to DIR/status. Returns at once after that.
#   nginx_loopback.sh stop DIR    stops it and writes DIR/stopped.
#
# A file DIR/server.conf, when there is one, is included in the server block (a throttled
# location, for instance).
#
# nginx runs in the foreground of a `timeout`, so it is gone after LIFETIME seconds (default
# 180) even when nobody stops it. Its access log DIR/access.log has one line per request:
#   <connection> <request on it> "<Range header>" <status> <body bytes> "<agent>" "<accept>"
set -u
cmd=${1:-}
dir=${2:-}
lifetime=${CRV_NGINX_LIFETIME:-180}
if [ -z "$cmd" ] || [ -z "$dir" ] || [ ! -d "$dir" ]; then
  echo "usage: nginx_loopback.sh start|stop DIR" >&2
  exit 2
fi

say_status() { printf '%s\n' "$1" >"$dir/status.tmp" && mv "$dir/status.tmp" "$dir/status"; }

start() {
  local nginx
  nginx=$(command -v nginx || true)
  [ -z "$nginx" ] && [ -x /usr/sbin/nginx ] && nginx=/usr/sbin/nginx
  if [ -z "$nginx" ]; then
    say_status "absent"
    return 0
  fi
  mkdir -p "$dir/temp"
  local user_line=""
  [ "$(id -u)" = 0 ] && user_line="user root;"
  local attempt port pid extra=""
  [ -f "$dir/server.conf" ] && extra="include $dir/server.conf;"
  for attempt in $(seq 1 20); do
    port=$((20000 + (RANDOM * 32768 + RANDOM) % 40000))
    cat >"$dir/nginx.conf" <<EOF
$user_line
daemon off;
master_process off;
pid $dir/nginx.pid;
error_log $dir/error.log warn;
events { worker_connections 64; }
http {
  log_format crv '\$connection \$connection_requests "\$http_range" \$status \$body_bytes_sent "\$http_user_agent" "\$http_accept"';
  access_log $dir/access.log crv;
  # Every temporary folder inside DIR: the built-in ones under /var/lib/nginx may be missing
  # and not ours to create when the suite runs as an ordinary user.
  client_body_temp_path $dir/temp/body;
  proxy_temp_path $dir/temp/proxy;
  fastcgi_temp_path $dir/temp/fastcgi;
  uwsgi_temp_path $dir/temp/uwsgi;
  scgi_temp_path $dir/temp/scgi;
  types { application/octet-stream avi bin; text/html html; }
  default_type application/octet-stream;
  keepalive_requests 10000;
  keepalive_timeout 60s;
  server {
    listen 127.0.0.1:$port;
    root $dir/www;
    location / { }
    $extra
  }
}
EOF
    # -e: the error log before the configuration is read, never the system's.
    setsid timeout "$lifetime" "$nginx" -e "$dir/error.log" -p "$dir" -c "$dir/nginx.conf" \
      </dev/null >>"$dir/nginx.out" 2>&1 &
    pid=$!
    echo "$pid" >"$dir/runner.pid"
    local i
    for i in $(seq 1 50); do
      if ! kill -0 "$pid" 2>/dev/null; then break; fi
      if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
        printf '%s\n' "$port" >"$dir/port.tmp" && mv "$dir/port.tmp" "$dir/port"
        say_status "running"
        return 0
      fi
      sleep 0.1
    done
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  say_status "failed: $(tail -n 3 "$dir/error.log" "$dir/nginx.out" 2>/dev/null | tr '\n' ' ')"
}

stop() {
  # TERM to the timeout is passed on to nginx; whatever is left after 5 s is killed.
  local runner nginx_pid i
  runner=$(cat "$dir/runner.pid" 2>/dev/null || true)
  nginx_pid=$(cat "$dir/nginx.pid" 2>/dev/null || true)
  [ -n "$runner" ] && kill "$runner" 2>/dev/null
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null
  for i in $(seq 1 50); do
    { [ -n "$runner" ] && kill -0 "$runner" 2>/dev/null; } || { [ -n "$nginx_pid" ] && kill -0 "$nginx_pid" 2>/dev/null; } || break
    sleep 0.1
  done
  [ -n "$runner" ] && kill -9 "$runner" 2>/dev/null
  [ -n "$nginx_pid" ] && kill -9 "$nginx_pid" 2>/dev/null
  : >"$dir/stopped"
}

case $cmd in
  start) start ;;
  stop) stop ;;
  *) echo "nginx_loopback.sh: unknown command $cmd" >&2; exit 2 ;;
esac
