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
# What the server scripts share (free port, control folder, stopping at the end): dav_common.sh.
set -uo pipefail
. "$(dirname "$0")/dav_common.sh"
radicale_bin=$(command -v radicale) || { echo "radicale is not installed (scripts/install-deps.sh)"; exit 1; }
dav_setup "$1"; shift
mkdir -p "$dir/storage"
user=almanix pass='s3cret-pw'
printf '%s:%s\n' "$user" "$pass" >"$dir/users"

start_server() {
  "$radicale_bin" --server-hosts "127.0.0.1:$port" --no-server-ssl \
    --auth-type htpasswd --auth-htpasswd-filename "$dir/users" --auth-htpasswd-encryption plain \
    --auth-delay 0 --rights-type owner_only --storage-type multifilesystem \
    --storage-filesystem-folder "$dir/storage" --web-type none --logging-level warning \
    >>"$dir/radicale.log" 2>&1 &
  pid=$!; echo "$pid" >"$dir/pid"
  # Ready when it answers on its port: any HTTP status will do.
  dav_wait_http "http://127.0.0.1:$port/" "$pid" && return 0
  echo "radicale did not start:"; cat "$dir/radicale.log"; return 1
}
stop_server() { dav_stop_pidfile "$dir/pid"; }
dav_on_exit stop_server
dav_start_on_free_port || exit 1

# The untrusted server: the same Radicale over TLS with a certificate of its own making.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 \
  -keyout "$dir/tls.key" -out "$dir/tls.crt" >/dev/null 2>&1 || { echo "openssl failed"; exit 1; }
for attempt in 1 2 3 4 5; do
  tls_port=$(dav_free_port) || { echo "no free port"; exit 1; }
  "$radicale_bin" --server-hosts "127.0.0.1:$tls_port" --server-ssl --server-certificate "$dir/tls.crt" \
    --server-key "$dir/tls.key" --auth-type htpasswd --auth-htpasswd-filename "$dir/users" \
    --auth-htpasswd-encryption plain --rights-type owner_only --storage-filesystem-folder "$dir/tls-storage" \
    --web-type none --logging-level warning >>"$dir/tls.log" 2>&1 &
  tls=$!
  dav_wait_http "https://127.0.0.1:$tls_port/" "$tls" && { dav_on_exit "kill $tls 2>/dev/null"; break; }
  kill "$tls" 2>/dev/null
  [ "$attempt" = 5 ] && { echo "TLS radicale did not start:"; cat "$dir/tls.log"; exit 1; }
done
export ALMANIX_TLS_URL="https://127.0.0.1:$tls_port/"

/usr/bin/python3 "$(dirname "$0")/odd_server.py" "$dir/odd-port" >>"$dir/odd.log" 2>&1 &
odd=$!
dav_on_exit "kill $odd 2>/dev/null"
for _ in $(seq 200); do [ -s "$dir/odd-port" ] && break; sleep 0.05; done
[ -s "$dir/odd-port" ] || { echo "odd_server.py did not start"; cat "$dir/odd.log"; exit 1; }
export ALMANIX_ODD_URL="http://127.0.0.1:$(cat "$dir/odd-port")/"

export ALMANIX_DAV_URL="http://127.0.0.1:$port/" ALMANIX_DAV_USER=$user ALMANIX_DAV_PASS=$pass ALMANIX_DAV_SERVER=radicale
dav_run "$@"
