#!/usr/bin/env bash
# snap.sh RUNNER EXE PNG: starts EXE through RUNNER on the current display, waits until the
# calendar window has painted its top strip, saves the window as PNG and ends the program.
set -euo pipefail
runner=$1 exe=$2 png=$3
"$runner" "$exe" &
pid=$!
# The runner starts programs in the build's run prefix (wine/run/prefix): end that one's server.
trap 'kill $pid 2>/dev/null || true; WINEPREFIX="${ALMANIX_WINEPREFIX:-$(dirname "$runner")/wine/run/prefix}" wineserver -k 2>/dev/null || true' EXIT
win=""
for _ in $(seq 600); do          # up to a minute: Wine's first start in a new prefix is slow
  win=$(xdotool search --onlyvisible --name '日历2.18' 2>/dev/null | head -n 1) || true
  if [ -n "$win" ]; then
    eval "$(xdotool getwindowgeometry --shell "$win")"
    # The top strip is RGB(50, 80, 90) once the window has painted.
    px=$(import -window root -crop "1x1+$((X + 300))+$((Y + 12))" -depth 8 txt:- 2>/dev/null | tail -n 1)
    case "$px" in *"#32505A"*) break ;; esac
  fi
  sleep 0.1
done
[ -n "$win" ] || { echo "no calendar window appeared" >&2; exit 1; }
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" "$png"
