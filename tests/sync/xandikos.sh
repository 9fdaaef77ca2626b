#!/usr/bin/env bash
# xandikos.sh DIR COMMAND [ARGS...]: runs COMMAND beside a Xandikos server of its own (Debian's
# xandikos), with its data inside DIR (emptied first); stopped when COMMAND ends, whose exit
# status is the script's. Xandikos has no authentication of its own: it listens on a unix
# socket in DIR, and nginx, run as the calling user on a free port of 127.0.0.1, checks Basic
# authentication against a password file and passes the requests on, as a reverse proxy in
# front of Xandikos does in real installations. A wrong password gets 401 from nginx.
# The principal is /USER/ with the calendar home /USER/calendars/, made at the start together
# with a calendar "calendar" (xandikos --defaults); the client finds them from / by
# current-user-principal and calendar-home-set, and makes its calendars there (MKCALENDAR).
# COMMAND finds the server in the environment:
#   ALMANIX_DAV_URL   http://127.0.0.1:PORT/
#   ALMANIX_DAV_USER, ALMANIX_DAV_PASS   the user nginx lets in
#   ALMANIX_DAV_CONTROL   the control folder of dav_common.sh: "stop" and "start" stop and start
#                     both nginx and Xandikos; "cmd.sh" runs a command beside the server.
# There is no ALMANIX_TLS_URL and no ALMANIX_ODD_URL here (radicale.sh has them).
set -uo pipefail
. "$(dirname "$0")/dav_common.sh"
xandikos_bin=$(command -v xandikos) || { echo "xandikos is not installed (scripts/install-deps.sh)"; exit 1; }
nginx_bin=$(command -v nginx) || { echo "nginx is not installed (scripts/install-deps.sh)"; exit 1; }
dav_setup "$1"; shift
mkdir -p "$dir/data" "$dir/nginx"
user=almanix pass='s3cret-pw'
printf '%s:%s\n' "$user" "$(openssl passwd -apr1 "$pass")" >"$dir/htpasswd" || { echo "openssl failed"; exit 1; }

# A unix socket's path has at most 107 bytes: a deep build folder gets one under /tmp.
sock="$dir/xandikos.sock"
if [ ${#sock} -gt 100 ]; then
  sockdir=$(mktemp -d /tmp/almanix-xandikos.XXXXXX) || exit 1
  dav_on_exit "rm -rf '$sockdir'"
  sock="$sockdir/xandikos.sock"
fi

start_xandikos() {
  rm -f "$sock"
  "$xandikos_bin" -d "$dir/data" --defaults -l "$sock" --current-user-principal "/$user/" \
    >>"$dir/xandikos.log" 2>&1 &
  local pid=$!; echo "$pid" >"$dir/xandikos.pid"
  for _ in $(seq 300); do
    curl -s -o /dev/null -m 2 --unix-socket "$sock" http://127.0.0.1/ && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  echo "xandikos did not start:"; cat "$dir/xandikos.log"; return 1
}

start_proxy() {
  {
    # Run by root, nginx's workers would otherwise drop to a user who cannot reach the socket.
    [ "$(id -u)" -eq 0 ] && echo "user root;"
    cat <<CONF
daemon off;
worker_processes 1;
pid $dir/nginx/nginx.pid;
error_log $dir/nginx/error.log;
events { worker_connections 64; }
http {
  access_log $dir/nginx/access.log;
  client_body_temp_path $dir/nginx;
  proxy_temp_path $dir/nginx;
  fastcgi_temp_path $dir/nginx;
  uwsgi_temp_path $dir/nginx;
  scgi_temp_path $dir/nginx;
  client_max_body_size 64m;
  server {
    listen 127.0.0.1:$port;
    auth_basic "Almanix";
    auth_basic_user_file $dir/htpasswd;
    location / {
      proxy_pass http://unix:$sock:;
      proxy_http_version 1.1;
      proxy_set_header Host \$http_host;
      proxy_buffering off;
      proxy_read_timeout 120s;
    }
  }
}
CONF
  } >"$dir/nginx/nginx.conf"
  "$nginx_bin" -p "$dir/nginx" -e "$dir/nginx/error.log" -c "$dir/nginx/nginx.conf" >>"$dir/nginx/out.log" 2>&1 &
  local pid=$!; echo "$pid" >"$dir/nginx.pid"
  # Ready when it answers on its port (401 without a password).
  dav_wait_http "http://127.0.0.1:$port/" "$pid" && return 0
  echo "nginx did not start:"; cat "$dir/nginx/error.log" "$dir/nginx/out.log"; return 1
}

start_server() { start_xandikos && start_proxy; }
stop_server() { dav_stop_pidfile "$dir/nginx.pid"; dav_stop_pidfile "$dir/xandikos.pid"; }
dav_on_exit stop_server
dav_start_on_free_port || exit 1

export ALMANIX_DAV_URL="http://127.0.0.1:$port/" ALMANIX_DAV_USER=$user ALMANIX_DAV_PASS=$pass ALMANIX_DAV_SERVER=xandikos
dav_run "$@"
