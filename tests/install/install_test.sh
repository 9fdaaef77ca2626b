#!/usr/bin/env bash
# install_test.sh BUILD_DIR WINE_DIR: makes the packages of a Windows build with cpack and
# checks them as a user gets them: the zip's contents, then, in a fresh copy of the build's
# Wine prefix, a silent install, the installed program's first start, refusals while it
# runs, and a silent uninstall that removes the program and keeps the user's memos and
# settings.
set -uo pipefail
# Without a display, run on a virtual one.
[ -n "${DISPLAY:-}" ] || exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
build=$(realpath "$1") wine_dir=$(realpath "$2")
here=$(dirname "$(realpath "$0")")
source_dir=$(realpath "$here/../..")
"$source_dir/scripts/wine-prefix.sh" "$wine_dir" >/dev/null || exit 1

version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
[ -n "$version" ] || { echo "no CPackConfig.cmake in $build"; exit 1; }
title="日历$version"

work=$(mktemp -d "$wine_dir/install.XXXXXX")
export WINEPREFIX="$work/prefix" HOME="$work/home" WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
cleanup() { wineserver -k >/dev/null 2>&1; rm -rf "$work"; }
trap cleanup EXIT

failures=0 checks=0
check() { # check DESCRIPTION COMMAND...: runs the command, counts and reports a failure
  local what=$1; shift
  checks=$((checks + 1))
  if "$@"; then return 0; fi
  failures=$((failures + 1)); echo "FAIL: $what"
  return 1
}
fail_now() { echo "FAIL: $1"; exit 1; }
absent() { [ ! -e "$1" ]; }
# A value under HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE as text; nothing when it is absent.
reg_value() {
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
reg_key_absent() { ! wine reg query "$1" >/dev/null 2>&1; }
wait_wine() { wineserver -w >/dev/null 2>&1; }

# 1. The packages.
echo "packages: cpack in $build"
(cd "$build" && cpack -B "$work/pkg" > "$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail_now "cpack"; }
zip="$work/pkg/almanix-$version-win64.zip"
setup="$work/pkg/almanix-$version-setup.exe"
check "the zip exists" test -f "$zip" || exit 1
check "the installer exists" test -f "$setup" || exit 1

top="almanix-$version-win64"
listing=$(cmake -E tar tf "$zip" | grep -v '/$' | sort)
expected=$(printf '%s\n' "$top/LICENSE.txt" "$top/README.txt" "$top/THIRD-PARTY-NOTICES.txt" "$top/almanix.exe" | sort)
check "the zip holds exactly the program, README, licence and notices" [ "$listing" = "$expected" ] ||
  printf 'zip holds:\n%s\n' "$listing"
mkdir -p "$work/unzipped"
(cd "$work/unzipped" && cmake -E tar xf "$zip")
check "the zip's almanix.exe is the build's" cmp -s "$work/unzipped/$top/almanix.exe" "$build/src/app/almanix.exe"
check "LICENSE.txt is the licence" cmp -s "$work/unzipped/$top/LICENSE.txt" "$source_dir/LICENSE"
check "README.txt has the section for Windows users" grep -q '^## For Windows users' "$work/unzipped/$top/README.txt"
# Asks for no administrator rights: the manifest NSIS writes says so.
check "the installer runs as the invoking user" grep -aq 'requestedExecutionLevel level="asInvoker"' "$setup"

# 2. A user's machine: a fresh copy of the booted prefix, with memos and settings of an
# earlier run.
cp -a "$wine_dir/prefix" "$WINEPREFIX"
mkdir -p "$HOME"
user=$(ls "$WINEPREFIX/drive_c/users" | grep -vx Public | head -n 1)
profile="$WINEPREFIX/drive_c/users/$user"
memos="$profile/Documents/我的记事"
mkdir -p "$memos/日历" "$memos/备忘"
printf '\x64\x00\x05\x00\x02\x00\x00\x00\x00\x00ab' > "$memos/日历/202405"
printf 'note\r\nline two' > "$memos/备忘/default"
settings='HKCU\SOFTWARE\Kestrin\Almanix'
for v in "PosX 120" "PosY 140" "MemoShow 0" "MemoX 30" "MemoY 40"; do
  set -- $v
  wine reg add "$settings" /v "$1" /t REG_SZ /d "$2" /f >/dev/null 2>&1
done
cp -a "$memos" "$work/memos-before"
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
apps_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Almanix'

# 3. Silent install.
echo "install: $(basename "$setup") /S"
wine "$setup" /S; rc=$?
wait_wine
check "the installer ends with 0 (got $rc)" [ $rc -eq 0 ]
installed="$profile/AppData/Local/Programs/Almanix"
installed_win="C:\\users\\$user\\AppData\\Local\\Programs\\Almanix"
shortcut="$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Almanix 日历.lnk"
for f in almanix.exe Uninstall.exe README.txt LICENSE.txt THIRD-PARTY-NOTICES.txt; do
  check "installed: $f" test -f "$installed/$f"
done
check "the installed almanix.exe is the build's" cmp -s "$installed/almanix.exe" "$build/src/app/almanix.exe"
check "the Start-menu shortcut" test -f "$shortcut"
check "the apps list names the version" [ "$(reg_value "$apps_key" DisplayVersion)" = "$version" ]
check "the apps list knows the uninstaller" \
  [ "$(reg_value "$apps_key" UninstallString)" = "\"$installed_win\\Uninstall.exe\"" ]
check "the apps list knows the folder" [ "$(reg_value "$apps_key" InstallLocation)" = "$installed_win" ]
check "nothing for the whole machine" \
  reg_key_absent 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Almanix'
check "no autostart before the first start" [ -z "$(reg_value "$run_key" Almanix)" ]

# 4. The program starts from where it was installed.
echo "start: $installed_win\\almanix.exe"
wine "$installed_win\\almanix.exe" >/dev/null 2>&1 &
win=""
for _ in $(seq 600); do        # up to a minute
  win=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1) && [ -n "$win" ] && break
  sleep 0.1
done
check "the window \"$title\" appears" [ -n "$win" ] || fail_now "no window: nothing more to check"
check "the autostart value names the installed program" \
  [ "$(reg_value "$run_key" Almanix)" = "$installed_win\\almanix.exe" ]

# 5. While it runs, neither the installer nor the uninstaller touches anything.
stamp=$(stat -c %Y "$installed/almanix.exe")
wine "$setup" /S; rc=$?
check "installing over the running program is refused (exit $rc)" [ $rc -eq 2 ]
wine "$installed_win\\Uninstall.exe" /S "_?=$installed_win"; rc=$?
check "uninstalling the running program is refused (exit $rc)" [ $rc -eq 2 ]
check "the running program's files stay" [ "$(stat -c %Y "$installed/almanix.exe")" = "$stamp" ] 
check "the uninstaller stays" test -f "$installed/Uninstall.exe"

# Nothing is saved at exit: ending the process is the same as the user ending it.
wineserver -k >/dev/null 2>&1
wait_wine
wine reg export "$settings" "$work/settings-before.reg" /y >/dev/null 2>&1

# 6. Silent uninstall. It runs a copy of itself from the temporary folder and returns.
echo "uninstall: Uninstall.exe /S"
wine "$installed_win\\Uninstall.exe" /S; rc=$?
wait_wine
check "the uninstaller ends with 0 (got $rc)" [ $rc -eq 0 ]
check "the program folder is gone" absent "$installed"
check "the shortcut is gone" absent "$shortcut"
check "the autostart value is gone" [ -z "$(reg_value "$run_key" Almanix)" ]
check "the apps list entry is gone" reg_key_absent "$apps_key"
check "the memo folder is untouched" diff -r "$work/memos-before" "$memos"
wine reg export "$settings" "$work/settings-after.reg" /y >/dev/null 2>&1
check "the settings are untouched" cmp -s "$work/settings-before.reg" "$work/settings-after.reg"
check "the settings are there" grep -aq 'P.o.s.X' "$work/settings-after.reg"

echo "install: $((checks - failures)) of $checks checks passed"
[ $failures -eq 0 ]
