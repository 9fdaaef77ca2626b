#!/usr/bin/env bash
# radicale.sh DIR COMMAND [ARGS...]: runs COMMAND beside a Radicale server of its own.
# The server listens on a free port of 127.0.0.1 only, with a password file and a storage
# folder inside DIR (emptied first), and is stopped when COMMAND ends; COMMAND's exit status
# is the script's. COMMAND finds the server in the environment:
#   ALMANIX_DAV_URL   http://127.0.0.1:PORT/
#   ALMANIX_DAV_USER, ALMANIX_DAV_PASS   a user the password file knows
#   ALMANIX_TLS_URL   https://127.0.0.1:PORT3/, a second Radicale whose certificate (for
#                     127.0.0.1, self-signed) no system trusts: a sync there must fail
#   ALMANIX_ODD_URL   http://127.0.0.1:PORT2/, odd_server.py: replies Radicale never sends
#   ALMANIX_DAV_CONTROL   a folder: COMMAND makes a file "stop" or "start" there to have the
#                     server stopped or started again; the script answers with "stopped" or
#                     "started" once it is so (for a server gone in the middle of a sync);
#                     or a file "cmd.sh" that the script runs with bash (curl at the server,
#                     as another client would), answering with "cmd.out" and then "cmd.rc".
set -uo pipefail
dir=$1; shift
radicale_bin=$(command -v radicale) || { echo "radicale is not installed (scripts/install-deps.sh)"; exit 1; }
rm -rf "$dir"; mkdir -p "$dir/storage" "$dir/control"
user=almanix pass='s3cret-pw'
printf '%s:%s\n' "$user" "$pass" >"$dir/users"

# Below the system's ephemeral ports (32768 on), which other programs' connections take.
free_port() {
  local p
  for _ in $(seq 200); do
    p=$((20000 + RANDOM % 12000))
    (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null || { echo "$p"; return 0; }
  done
  return 1
}

start_server() {
  "$radicale_bin" --server-hosts "127.0.0.1:$port" --no-server-ssl \
    --auth-type htpasswd --auth-htpasswd-filename "$dir/users" --auth-htpasswd-encryption plain \
    --auth-delay 0 --rights-type owner_only --storage-type multifilesystem \
    --storage-filesystem-folder "$dir/storage" --web-type none --logging-level warning \
    >>"$dir/radicale.log" 2>&1 &
  pid=$!; echo "$pid" >"$dir/pid"
  # Ready when it answers on its port: any HTTP status will do.
  for _ in $(seq 300); do
    if curl -s -o /dev/null -m 2 "http://127.0.0.1:$port/"; then return 0; fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  echo "radicale did not start:"; cat "$dir/radicale.log"; return 1
}
# The server may have been started by the watcher below: its pid is in the file.
stop_server() {
  local p; p=$(cat "$dir/pid" 2>/dev/null) || return 0
  rm -f "$dir/pid"
  kill "$p" 2>/dev/null
  for _ in $(seq 200); do kill -0 "$p" 2>/dev/null || return 0; sleep 0.05; done
  kill -9 "$p" 2>/dev/null
}

odd="" tls="" watch=""
trap 'stop_server; [ -n "$odd$tls" ] && kill $odd $tls 2>/dev/null; [ -n "$watch" ] && kill "$watch" 2>/dev/null' EXIT
# Another program may take the port between the look and the bind: then another port.
for attempt in 1 2 3 4 5; do
  port=$(free_port) || { echo "no free port"; exit 1; }
  start_server && break
  stop_server
  [ "$attempt" = 5 ] && exit 1
done
# The untrusted server: the same Radicale over TLS with a certificate of its own making.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 \
  -keyout "$dir/tls.key" -out "$dir/tls.crt" >/dev/null 2>&1 || { echo "openssl failed"; exit 1; }
for attempt in 1 2 3 4 5; do
  tls_port=$(free_port) || { echo "no free port"; exit 1; }
  "$radicale_bin" --server-hosts "127.0.0.1:$tls_port" --server-ssl --server-certificate "$dir/tls.crt" \
    --server-key "$dir/tls.key" --auth-type htpasswd --auth-htpasswd-filename "$dir/users" \
    --auth-htpasswd-encryption plain --rights-type owner_only --storage-filesystem-folder "$dir/tls-storage" \
    --web-type none --logging-level warning >>"$dir/tls.log" 2>&1 &
  tls=$!
  for _ in $(seq 300); do
    curl -sk -o /dev/null -m 2 "https://127.0.0.1:$tls_port/" && break 2
    kill -0 "$tls" 2>/dev/null || break
    sleep 0.05
  done
  kill "$tls" 2>/dev/null; tls=""
  [ "$attempt" = 5 ] && { echo "TLS radicale did not start:"; cat "$dir/tls.log"; exit 1; }
done
export ALMANIX_TLS_URL="https://127.0.0.1:$tls_port/"

/usr/bin/python3 "$(dirname "$0")/odd_server.py" "$dir/odd-port" >>"$dir/odd.log" 2>&1 &
odd=$!
for _ in $(seq 200); do [ -s "$dir/odd-port" ] && break; sleep 0.05; done
[ -s "$dir/odd-port" ] || { echo "odd_server.py did not start"; cat "$dir/odd.log"; exit 1; }
export ALMANIX_ODD_URL="http://127.0.0.1:$(cat "$dir/odd-port")/"

export ALMANIX_DAV_URL="http://127.0.0.1:$port/" ALMANIX_DAV_USER=$user ALMANIX_DAV_PASS=$pass
export ALMANIX_DAV_CONTROL="$dir/control"

# Stop and start on request of the command (which may run under Wine and cannot signal us).
(
  while :; do
    if [ -e "$dir/control/stop" ]; then
      rm -f "$dir/control/stop" "$dir/control/started"; stop_server; touch "$dir/control/stopped"
    elif [ -e "$dir/control/cmd.sh" ]; then
      mv "$dir/control/cmd.sh" "$dir/control/cmd.run"
      (cd "$dir/control" && bash cmd.run >cmd.out 2>&1; echo $? >cmd.rc.tmp; mv cmd.rc.tmp cmd.rc)
    elif [ -e "$dir/control/start" ]; then
      rm -f "$dir/control/start" "$dir/control/stopped"; start_server && touch "$dir/control/started"
    fi
    sleep 0.05
  done
) &
watch=$!

"$@"
rc=$?
kill "$watch" 2>/dev/null; wait "$watch" 2>/dev/null; watch=""
exit $rc
