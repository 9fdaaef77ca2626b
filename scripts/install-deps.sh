#!/usr/bin/env bash
# Installs whatever the builds and tests need and the machine lacks (Debian, as root or with sudo).
set -euo pipefail
pkgs=(
  cmake make g++ clang libgtest-dev googletest libbenchmark-dev
  g++-mingw-w64-x86-64-posix mingw-w64-tools
  wine wine64 xvfb xauth x11-utils xdotool fonts-wqy-microhei imagemagick
  liblunar-date-dev libglib2.0-dev locales nginx-light radicale curl openssl
  libical-dev libicu-dev python3-icalendar python3-dateutil
  xandikos cyrus-imapd cyrus-caldav sasl2-bin python3-caldav
  nsis nodejs ccache
)
missing=()
for p in "${pkgs[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
  # The tests run their own web server on loopback; the package's may have started.
  if printf '%s\n' "${missing[@]}" | grep -q '^nginx'; then
    $SUDO service nginx stop >/dev/null 2>&1 || $SUDO nginx -s quit >/dev/null 2>&1 || true
  fi
  # The sync tests run Cyrus of their own (tests/sync/cyrus.sh); the system's is not needed.
  if printf '%s\n' "${missing[@]}" | grep -q '^cyrus-imapd$'; then
    $SUDO service cyrus-imapd stop >/dev/null 2>&1 || true
  fi
fi

# Wine takes the Windows display language from the Unix locale, and file names with Chinese
# characters need a UTF-8 one: the tests run the program under Chinese and English locales.
for loc in zh_CN en_US; do
  if ! locale -a 2>/dev/null | grep -qi "^$loc\.utf-\?8$"; then
    $SUDO localedef -i "$loc" -c -f UTF-8 "$loc.UTF-8"
  fi
done

# The almanac's generator and its comparison test run lunar-javascript under node, from
# tools/almanac/node_modules (not checked in), at the version tools/almanac/package.json pins.
# Debian's nodejs comes without npm, NodeSource's with it (and conflicts with Debian's npm).
if ! command -v npm >/dev/null; then
  $SUDO apt-get install -y -qq npm >/dev/null || echo "install-deps: npm could not be installed" >&2
fi
almanac="$(cd "$(dirname "$0")/.." && pwd)/tools/almanac"
if ! (cd "$almanac" && node -e "process.exit(require('lunar-javascript/package.json').version ===
    require('./package.json').dependencies['lunar-javascript'] ? 0 : 1)") 2>/dev/null; then
  # Without the registry only the two almanac tests fail (they say why); the rest still runs.
  (cd "$almanac" && npm install --no-audit --no-fund --no-package-lock --silent) ||
    echo "install-deps: npm could not install lunar-javascript into $almanac" >&2
fi
