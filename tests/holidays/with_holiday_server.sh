#!/usr/bin/env bash
# with_holiday_server.sh DIR COMMAND [ARGS...]: runs COMMAND beside holiday_server.py, which
# listens on a free port of 127.0.0.1 only and serves the real holiday-cn files of
# tests/data/holiday-cn; COMMAND finds it in ALMANIX_HOLIDAY_TEST_URL (http://127.0.0.1:PORT)
# and exits with its status. The server is stopped when COMMAND ends.
set -uo pipefail
here=$(dirname "$(realpath "$0")")
dir=$1; shift
rm -rf "$dir"; mkdir -p "$dir"
/usr/bin/python3 "$here/holiday_server.py" "$dir/port" "$here/../data/holiday-cn" >"$dir/server.log" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null' EXIT
for _ in $(seq 200); do [ -s "$dir/port" ] && break; kill -0 $server 2>/dev/null || break; sleep 0.05; done
[ -s "$dir/port" ] || { echo "holiday_server.py did not start"; cat "$dir/server.log"; exit 1; }
export ALMANIX_HOLIDAY_TEST_URL="http://127.0.0.1:$(cat "$dir/port")"
"$@"
