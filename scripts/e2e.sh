#!/usr/bin/env bash
# e2e.sh WINE_DIR TESTS_EXE [GTEST_FILTER]: runs every case of the end-to-end test program,
# each in a fresh copy of the build's booted Wine prefix (WINE_DIR/prefix), so that every
# case starts the program as on a new machine. Prints ctest-readable results and the count.
set -uo pipefail
# Without a display, run on a virtual one.
[ -n "${DISPLAY:-}" ] || exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
wine_dir=$(realpath "$1") exe=$(realpath "$2") filter=${3:-*}
here=$(dirname "$(realpath "$0")")
"$here/wine-prefix.sh" "$wine_dir" >/dev/null || exit 1

export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
export LANG="${ALMANIX_LANG:-C.UTF-8}"
cases=$(WINEPREFIX="$wine_dir/prefix" HOME="$wine_dir/home" wine "$exe" --gtest_list_tests \
        --gtest_filter="$filter" 2>/dev/null | tr -d '\r' | awk '
  /^[^ ]/ { suite = $1; next }
  /^  [^ ]/ { print suite $1 }')
[ -n "$cases" ] || { echo "no end-to-end cases found"; exit 1; }

# Cases named Bulletin* get a real web server on 127.0.0.1:80 serving $ALMANIX_BULLETIN_DIR;
# the case stops it by creating the file "stop" in that folder.
start_web_server() {
  local dir=$1
  mkdir -p "$dir/www/link230" "$dir/nginx"
  cat > "$dir/nginx/nginx.conf" <<CONF
user root;
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
    listen 127.0.0.1:80;
    root $dir/www;
    index index.html;
  }
}
CONF
  nginx -c "$dir/nginx/nginx.conf" || return 1
  ( while [ ! -e "$dir/www/stop" ] && [ -e "$dir/nginx/nginx.pid" ]; do sleep 0.1; done
    nginx -c "$dir/nginx/nginx.conf" -s stop 2>/dev/null ) &
}

passed=0 failed=0 failures=""
for c in $cases; do
  work=$(mktemp -d "$wine_dir/case.XXXXXX")
  cp -a "$wine_dir/prefix" "$work/prefix"
  mkdir -p "$work/home"
  locale=$LANG
  # Cases named ...English... run under an English display language.
  case "$c" in *English*) locale=en_US.UTF-8 ;; *) locale=${ALMANIX_E2E_LANG:-zh_CN.UTF-8} ;; esac
  unset ALMANIX_BULLETIN_DIR
  case "$c" in
    Bulletin*)
      start_web_server "$work" || { echo "[FAIL] $c (no web server)"; failed=$((failed + 1)); continue; }
      export ALMANIX_BULLETIN_DIR="$work/www" ;;
  esac
  start=$(date +%s%N)
  WINEPREFIX="$work/prefix" HOME="$work/home" LANG=$locale LC_ALL=$locale \
    timeout 300 wine "$exe" --gtest_filter="$c" > "$work/out.txt" 2>&1
  rc=$?
  WINEPREFIX="$work/prefix" wineserver -k >/dev/null 2>&1
  [ -e "$work/nginx/nginx.pid" ] && nginx -c "$work/nginx/nginx.conf" -s stop 2>/dev/null
  ms=$(( ($(date +%s%N) - start) / 1000000 ))
  if [ $rc -eq 0 ] && grep -q '^\[  PASSED  \] 1 test' "$work/out.txt"; then
    passed=$((passed + 1)); printf '[ OK ] %s (%d ms)\n' "$c" "$ms"
  else
    failed=$((failed + 1)); failures="$failures $c"
    printf '[FAIL] %s (exit %d)\n' "$c" "$rc"; tr -d '\r' < "$work/out.txt" | sed 's/^/    /'
  fi
  rm -rf "$work"
done
echo "end-to-end: $passed passed, $failed failed"
[ $failed -eq 0 ]
