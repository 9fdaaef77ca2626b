#!/usr/bin/env bash
# cyrus.sh DIR COMMAND [ARGS...]: runs COMMAND beside a Cyrus IMAP server's CalDAV of its own
# (Debian's cyrus-imapd and cyrus-caldav), stopped when COMMAND ends, whose exit status is the
# script's. Everything is inside DIR (emptied first): imapd.conf, cyrus.conf, a sasldb with the
# user, the mailbox databases and spool. No system service, no path of the system's Cyrus.
# Cyrus's services refuse to run as root: run by root, the master drops to the "cyrus" user
# (DIR/cyrus then belongs to it); run by anyone else, everything runs as that user.
# The master serves http (CalDAV only) on a free port of 127.0.0.1, and IMAP on a second one,
# which only the script uses: the user's first IMAP login makes the user's INBOX
# (autocreate_quota), and Cyrus makes the calendar home and a calendar "Default" (displayname
# "personal") at the user's first CalDAV request; it needs the INBOX for that (without it: 500).
# Scheduling is off (caldav_allowscheduling), so events with attendees send no mail.
# Cyrus logs to syslog only; without a syslog daemon its errors are not seen anywhere.
# COMMAND finds the server in the environment:
#   ALMANIX_DAV_URL   http://127.0.0.1:PORT/ (the principal /dav/principals/user/USER/, the
#                     calendar home /dav/calendars/user/USER/)
#   ALMANIX_DAV_USER, ALMANIX_DAV_PASS   the user of the sasldb
#   ALMANIX_DAV_CONTROL   the control folder of dav_common.sh: "stop" and "start" stop and start
#                     the master with all its services; "cmd.sh" runs a command beside it.
# There is no ALMANIX_TLS_URL and no ALMANIX_ODD_URL here (radicale.sh has them).
set -uo pipefail
. "$(dirname "$0")/dav_common.sh"
cyrus_bin=/usr/lib/cyrus/bin
[ -x "$cyrus_bin/master" ] && [ -x "$cyrus_bin/httpd" ] ||
  { echo "cyrus-imapd and cyrus-caldav are not installed (scripts/install-deps.sh)"; exit 1; }
command -v saslpasswd2 >/dev/null || { echo "sasl2-bin is not installed (scripts/install-deps.sh)"; exit 1; }
dav_setup "$1"; shift
user=almanix pass='s3cret-pw' realm=almanix-test
cy="$dir/cyrus"
mkdir -p "$cy/conf" "$cy/spool" "$cy/lock" "$cy/proc" "$cy/socket"

if [ "$(id -u)" -eq 0 ]; then
  run_user=cyrus
  id "$run_user" >/dev/null 2>&1 || { echo "no user cyrus (cyrus-common makes it)"; exit 1; }
  run_group=$(id -gn "$run_user")
else
  run_user=$(id -un) run_group=$(id -gn)
fi

cat >"$cy/imapd.conf" <<CONF
configdirectory: $cy/conf
defaultpartition: default
partition-default: $cy/spool
mboxname_lockpath: $cy/lock
proc_path: $cy/proc
lmtpsocket: $cy/socket/lmtp
idlesocket: $cy/socket/idle
notifysocket: $cy/socket/notify
servername: $realm
cyrus_user: $run_user
cyrus_group: $run_group
sasl_pwcheck_method: auxprop
sasl_auxprop_plugin: sasldb
sasl_sasldb_path: $cy/sasldb
sasl_mech_list: PLAIN LOGIN
allowplaintext: yes
httpmodules: caldav
caldav_allowscheduling: off
autocreate_quota: 0
unixhierarchysep: yes
altnamespace: yes
sendmail: /bin/true
CONF
printf '%s' "$pass" | saslpasswd2 -p -c -f "$cy/sasldb" -u "$realm" "$user" || { echo "saslpasswd2 failed"; exit 1; }
if [ "$(id -u)" -eq 0 ]; then
  chown -R "$run_user:$run_group" "$cy" || exit 1
  runuser -u "$run_user" -- test -w "$cy/conf" ||
    { echo "the cyrus user cannot write $cy (a folder on the way is closed to others)"; exit 1; }
fi

start_server() {
  imap_port=$(dav_free_port) || return 1
  cat >"$cy/cyrus.conf" <<CONF
START {
  recover cmd="ctl_cyrusdb -C $cy/imapd.conf -r"
}
SERVICES {
  http cmd="httpd -C $cy/imapd.conf" listen="127.0.0.1:$port" prefork=0
  imap cmd="imapd -C $cy/imapd.conf" listen="127.0.0.1:$imap_port" prefork=0
}
EVENTS {
}
DAEMON {
}
CONF
  # A session of its own: the master, told to stop, signals its whole process group.
  setsid "$cyrus_bin/master" -C "$cy/imapd.conf" -M "$cy/cyrus.conf" -p "$cy/master.pid" \
    >>"$dir/master.log" 2>&1 </dev/null &
  local pid=$!; echo "$pid" >"$dir/master.pid"
  # Ready when the user can log in over IMAP (which makes the INBOX, needed before CalDAV) and
  # http answers.
  for _ in $(seq 300); do
    if curl -s -o /dev/null -m 5 -u "$user:$pass" "imap://127.0.0.1:$imap_port/" &&
      dav_wait_http "http://127.0.0.1:$port/" "$pid"; then
      return 0
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  echo "cyrus did not start (its errors go to syslog):"; cat "$dir/master.log"; return 1
}
# The master's children go with it; the port is free again once no one answers there.
stop_server() {
  dav_stop_pidfile "$dir/master.pid"
  for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || return 0
    sleep 0.05
  done
}
dav_on_exit stop_server
dav_start_on_free_port || exit 1

export ALMANIX_DAV_URL="http://127.0.0.1:$port/" ALMANIX_DAV_USER=$user ALMANIX_DAV_PASS=$pass ALMANIX_DAV_SERVER=cyrus
dav_run "$@"
