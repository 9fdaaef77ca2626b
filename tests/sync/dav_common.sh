# dav_common.sh: what the server scripts (radicale.sh, xandikos.sh, cyrus.sh) share. Sourced,
# never run. Each script calls them as
#   dav_setup DIR                 empties DIR, makes DIR/control, sets $dir
#   dav_start_on_free_port       picks a free port of 127.0.0.1 into $port and calls the script's
#                                start_server (stop_server after a failed try); five ports at most
#   dav_run COMMAND [ARGS...]    exports ALMANIX_DAV_CONTROL, answers the control folder while
#                                COMMAND runs, and exits with COMMAND's status
# and registers what must be stopped at the end with dav_on_exit; the EXIT trap runs those in
# reverse order, also when the script is interrupted (INT, TERM, HUP).
#
# The control folder: COMMAND (which may run under Wine and cannot signal the script) makes
#   "stop"    the script runs stop_server and answers with "stopped" once the server is gone;
#   "start"   the script runs start_server on the same port and answers with "started";
#   "cmd.sh"  the script runs it with bash in the control folder (curl at the server, or
#             phone.py, as another client would), answering with "cmd.out" and then "cmd.rc".
# COMMAND and cmd.sh also find ALMANIX_PHONE, the path of phone.py, and cmd.sh the bash function
#   phone CALENDAR ACTION [ARGS...]   phone.py with the server's URL, user and password
# (for example: phone /almanix/cal/ move ev1 20261209).

dav_cleanup=()
dav_on_exit() { dav_cleanup+=("$1"); }
dav_exit() {
  local i
  for ((i = ${#dav_cleanup[@]} - 1; i >= 0; i--)); do eval "${dav_cleanup[$i]}"; done
  dav_cleanup=()
}
trap dav_exit EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

dav_setup() {
  dir=$1
  rm -rf "$dir"; mkdir -p "$dir/control"
}

# A free port below the system's ephemeral ports (32768 on), which other programs' connections
# take. Another program may still take it between the look and the bind: hence the retries of
# dav_start_on_free_port.
dav_free_port() {
  local p
  for _ in $(seq 200); do
    p=$((20000 + RANDOM % 12000))
    (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null || { echo "$p"; return 0; }
  done
  return 1
}

# dav_wait_http URL PID...: true once URL answers with any HTTP status (an https URL need not
# verify); false when one of the PIDs ends first or after 15 s.
dav_wait_http() {
  local url=$1; shift
  local p
  for _ in $(seq 300); do
    curl -sk -o /dev/null -m 2 "$url" && return 0
    for p in "$@"; do kill -0 "$p" 2>/dev/null || return 1; done
    sleep 0.05
  done
  return 1
}

# dav_stop_pidfile FILE: stops the process whose pid FILE holds (TERM, KILL after 10 s) and
# removes FILE. The pid is in a file because the control watcher, a subshell, may have started
# the process.
dav_stop_pidfile() {
  local p; p=$(cat "$1" 2>/dev/null) || return 0
  rm -f "$1"
  [ -n "$p" ] || return 0
  kill "$p" 2>/dev/null
  for _ in $(seq 200); do kill -0 "$p" 2>/dev/null || return 0; sleep 0.05; done
  kill -9 "$p" 2>/dev/null
  return 0
}

dav_start_on_free_port() {
  local attempt
  for attempt in 1 2 3 4 5; do
    port=$(dav_free_port) || { echo "no free port"; return 1; }
    start_server && return 0
    stop_server
  done
  return 1
}

dav_script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

dav_run() {
  export ALMANIX_DAV_CONTROL="$dir/control"
  export ALMANIX_PHONE="$dav_script_dir/phone.py"
  phone() { /usr/bin/python3 "$ALMANIX_PHONE" "$ALMANIX_DAV_URL" "$ALMANIX_DAV_USER" "$ALMANIX_DAV_PASS" "$@"; }
  export -f phone
  (
    trap - EXIT INT TERM HUP
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
  local watch=$!
  dav_on_exit "kill $watch 2>/dev/null; wait $watch 2>/dev/null"
  # The tests read phone events on the clock of the people who use the calendar (UTC+8, in
  # the form both the C library under Wine and the system take).
  TZ=CST-8 "$@"
  exit $?
}
