#!/usr/bin/env bash
# e2e.sh WINE_DIR TESTS_EXE [CASES]: runs cases of the end-to-end test program, each in a fresh
# copy of the build's booted Wine prefix (WINE_DIR/prefix) and on an X display of its own, so
# that every case starts the program as on a new machine and cases can run side by side.
# CASES is one case (Suite.Case, as ctest runs it) or a GoogleTest filter (default: all).
# Prints ctest-readable results and the count; exits non-zero when a case fails.
# Environment: ALMANIX_EXE, ALMANIX_E2E_EXE (the programs), ALMANIX_E2E_FIRST_PORT (the first
# of the 100 ports handed out to cases for their bulletin), ALMANIX_E2E_SHARED_DISPLAY=1 (run
# on $DISPLAY).
set -uo pipefail
wine_dir=$(realpath "$1") exe=$(realpath "$2") filter=${3:-*}
here=$(dirname "$(realpath "$0")")
first_port=${ALMANIX_E2E_FIRST_PORT:-18230}
"$here/wine-prefix.sh" "$wine_dir" >/dev/null || exit 1

export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
export LANG="${ALMANIX_LANG:-C.UTF-8}"
case "$filter" in
  *[*?:-]*)
    x=(); [ -n "${DISPLAY:-}" ] || x=(xvfb-run -a)
    cases=$(WINEPREFIX="$wine_dir/prefix" HOME="$wine_dir/home" "${x[@]}" wine "$exe" \
            --gtest_list_tests --gtest_filter="$filter" 2>/dev/null | tr -d '\r' | awk '
      /^[^ ]/ { suite = $1; next }
      /^  [^ ]/ { print suite $1 }') ;;
  *) cases=$filter ;;
esac
[ -n "$cases" ] || { echo "no end-to-end cases found"; exit 1; }

# A virtual display of the case's own (Xvfb picks a free number): windows of cases running
# side by side never cover each other's pixels.
start_display() {
  local dir=$1 n
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/display" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    n=$(head -n1 "$dir/display" 2>/dev/null)
    [ -n "$n" ] && { display=":$n"; return 0; }
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  return 1
}

# A port of the case's own, where the test build asks for its bulletin (the programs find it in
# ALMANIX_E2E_BULLETIN_PORT): free, and held by a lock on its file in WINE_DIR/ports until the
# case ends, so that cases side by side never reach each other's server.
claim_port() {
  local p
  mkdir -p "$wine_dir/ports"
  for ((p = first_port; p < first_port + 100; p++)); do
    exec {port_fd}>"$wine_dir/ports/$p"
    if flock -n "$port_fd"; then
      # Something else listens there: not ours to hand out.
      if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then
        port=$p
        return 0
      fi
      flock -u "$port_fd"
    fi
    exec {port_fd}>&-
  done
  return 1
}

# The lock goes with the file description, which the case's processes have inherited.
release_port() {
  flock -u "$port_fd"
  exec {port_fd}>&-
}

# Cases named Bulletin* and HolidayUpdate* get a real web server, run as the calling user, on
# 127.0.0.1:$port serving $ALMANIX_BULLETIN_DIR; the case stops it by creating the file "stop"
# in that folder. HolidayUpdate* cases have the test build ask it for the holiday schedules.
start_web_server() {
  local dir=$1
  mkdir -p "$dir/www/link230" "$dir/nginx"
  {
    # Run by root, nginx's workers would otherwise drop to a user who cannot read the case's
    # private folder.
    [ "$(id -u)" -eq 0 ] && echo "user root;"
    cat <<CONF
worker_processes 1;
pid $dir/nginx/nginx.pid;
error_log $dir/nginx/error.log;
events { worker_connections 64; }
http {
  access_log off;
  client_body_temp_path $dir/nginx;
  proxy_temp_path $dir/nginx;
  fastcgi_temp_path $dir/nginx;
  uwsgi_temp_path $dir/nginx;
  scgi_temp_path $dir/nginx;
  server {
    listen 127.0.0.1:$port;
    root $dir/www;
    index index.html;
  }
}
CONF
  } > "$dir/nginx/nginx.conf"
  nginx -p "$dir/nginx" -e "$dir/nginx/error.log" -c "$dir/nginx/nginx.conf" || return 1
  ( while [ ! -e "$dir/www/stop" ] && [ -e "$dir/nginx/nginx.pid" ]; do sleep 0.1; done
    nginx -p "$dir/nginx" -e "$dir/nginx/error.log" -c "$dir/nginx/nginx.conf" -s stop 2>/dev/null ) &
}

stop_web_server() {
  local dir=$1
  [ -e "$dir/nginx/nginx.pid" ] &&
    nginx -p "$dir/nginx" -e "$dir/nginx/error.log" -c "$dir/nginx/nginx.conf" -s stop 2>/dev/null
}

passed=0 failed=0
for c in $cases; do
  work=$(mktemp -d "$wine_dir/case.XXXXXX")
  cp -a "$wine_dir/prefix" "$work/prefix"
  mkdir -p "$work/home"
  # Cases named ...English... run under an English display language.
  case "$c" in *English*) locale=en_US.UTF-8 ;; *) locale=${ALMANIX_E2E_LANG:-zh_CN.UTF-8} ;; esac
  xvfb_pid="" display=${DISPLAY:-}
  if [ "${ALMANIX_E2E_SHARED_DISPLAY:-0}" != 1 ] || [ -z "$display" ]; then
    if ! start_display "$work"; then
      echo "[FAIL] $c (no virtual display)"; failed=$((failed + 1))
      [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
      rm -rf "$work"; continue
    fi
  fi
  if ! claim_port; then
    echo "[FAIL] $c (no free port from $first_port on)"; failed=$((failed + 1))
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"; continue
  fi
  export ALMANIX_E2E_BULLETIN_PORT=$port
  unset ALMANIX_BULLETIN_DIR ALMANIX_E2E_HOLIDAY_URL
  case "$c" in
    HolidayUpdate*) export ALMANIX_E2E_HOLIDAY_URL="http://127.0.0.1:$port/holidays/{year}.json" ;;
  esac
  case "$c" in
    Bulletin*|HolidayUpdate*)
      if ! start_web_server "$work"; then
        echo "[FAIL] $c (no web server on port $port)"; failed=$((failed + 1))
        [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
        release_port; rm -rf "$work"; continue
      fi
      export ALMANIX_BULLETIN_DIR="$work/www" ;;
  esac
  start=$(date +%s%N)
  DISPLAY=$display WINEPREFIX="$work/prefix" HOME="$work/home" LANG=$locale LC_ALL=$locale \
    timeout 300 wine "$exe" --gtest_filter="$c" > "$work/out.txt" 2>&1
  rc=$?
  WINEPREFIX="$work/prefix" wineserver -k >/dev/null 2>&1
  stop_web_server "$work"
  release_port
  [ -n "$xvfb_pid" ] && { kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; }
  ms=$(( ($(date +%s%N) - start) / 1000000 ))
  if [ $rc -eq 0 ] && grep -q '^\[  PASSED  \] 1 test' "$work/out.txt"; then
    passed=$((passed + 1)); printf '[ OK ] %s (%d ms)\n' "$c" "$ms"
  else
    failed=$((failed + 1))
    printf '[FAIL] %s (exit %d)\n' "$c" "$rc"; tr -d '\r' < "$work/out.txt" | sed 's/^/    /'
  fi
  rm -rf "$work"
done
echo "end-to-end: $passed passed, $failed failed"
[ $failed -eq 0 ]
