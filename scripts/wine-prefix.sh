#!/usr/bin/env bash
# Makes (once) the Wine prefix that a build's Windows tests run in: DIR/prefix, with DIR/home
# as its HOME, booted, with the UI's font faces mapped to an installed CJK font.
# Safe to call from tests running in parallel.
set -euo pipefail
dir=$(realpath -m "${1:?usage: wine-prefix.sh DIR}")
mkdir -p "$dir/home"
export WINEPREFIX="$dir/prefix" HOME="$dir/home" WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
export LANG="${ALMANIX_LANG:-C.UTF-8}"
exec 9>"$dir/.lock"
flock 9
# The ready mark holds this script's hash: a prefix made by an earlier version is made anew.
stamp=$(sha256sum "$0" | cut -d' ' -f1)
[ "$(cat "$WINEPREFIX/.almanix-ready" 2>/dev/null)" = "$stamp" ] && exit 0

rm -rf "$WINEPREFIX"
wineboot --init >/dev/null 2>&1 || true
wineserver -w

cjk="WenQuanYi Micro Hei"
reg=$(mktemp --suffix=.reg)
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
  for face in "宋体" "SimSun" "新宋体" "NSimSun" "楷体_GB2312" "楷体" "KaiTi" "KaiTi_GB2312" \
              "黑体" "SimHei" "微软雅黑" "Microsoft YaHei"; do
    printf '"%s"="%s"\r\n' "$face" "$cjk"
  done
  printf '\r\n'
  # No window manager runs on the virtual display: without this, Wine waits two seconds
  # for one at every destruction of a visible window.
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n\r\n'
} | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } > "$reg"
wine regedit /S "$(winepath -w "$reg" 2>/dev/null)" >/dev/null 2>&1
wineserver -w
rm -f "$reg"

# Windows draws Chinese text in fonts without Chinese glyphs (Arial, Tahoma) through font
# linking to a Chinese font; Wine does the same given these links.
for face in "Arial" "Tahoma" "Microsoft Sans Serif" "MS Shell Dlg" "MS Shell Dlg 2" "System"; do
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
    /v "$face" /t REG_MULTI_SZ /d "wqy-microhei.ttc,$cjk" /f >/dev/null 2>&1
done
wineserver -w

# Wine links Documents, Desktop and the other shell folders to $HOME. Real folders instead:
# a copy of this prefix then carries its own, and no test writes outside the prefix.
for link in "$WINEPREFIX"/drive_c/users/*/*; do
  if [ -L "$link" ]; then
    rm "$link" && mkdir "$link"
  fi
done
echo "$stamp" > "$WINEPREFIX/.almanix-ready"
