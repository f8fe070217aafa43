#!/usr/bin/env bash
# Starts an unpacked Windows package under Wine on a virtual display, with the
# real Windows platform plugin and only the DLLs the package ships: writes a
# sample home with the shipped generator, runs a scheduled report over it
# (exit code 0 and a report file), then starts the window, waits for it and
# saves a screenshot of the screen.
#
#   scripts/windows/smoke.sh <package folder> <screenshot.png>
set -euo pipefail
PKG=$(cd "$1" && pwd)
SHOT=$2
TITLE="Marrowkin 浏览器访问记录报告工具"

export WINEPREFIX
WINEPREFIX=$(mktemp -d)
# wineserver -k fails when no server is left, the usual case by then.
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX"' EXIT
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
# Nothing from the build may leak in: the package must carry its own DLLs.
unset WINEPATH WINEQT_QPA_PLATFORM WINEQT_QPA_FONTDIR QT_QPA_PLATFORM

inner=$(mktemp)
cat > "$inner" <<'INNER'
set -u
wineboot -i >/dev/null 2>&1
cd "$1"
work=$(mktemp -d)
wine ./mk_make_profiles.exe "Z:$work/home" 3000 >/dev/null 2>&1 || { echo "mk_make_profiles failed" >&2; exit 1; }
export MARROWKIN_HOME="Z:$work/home"
wine ./MarrowkinWin.exe /auto "/out:Z:$work/out" >/dev/null 2>&1
rc=$?
report=$(ls "$work"/out/Marrowkin_Report_*.json 2>/dev/null | head -n 1)
if [ "$rc" != 0 ] || [ -z "$report" ] || ! grep -q '"records"' "$report"; then
    echo "The scheduled run failed (exit code $rc)." >&2
    exit 1
fi
echo "Scheduled run: exit code 0, $(basename "$report") ($(stat -c %s "$report") bytes)"
wine ./MarrowkinWin.exe >/dev/null 2>&1 &
found=0
for _ in $(seq 1 60); do
    sleep 1
    if xwininfo -root -tree 2>/dev/null | grep -qF "\"$3\""; then found=1; break; fi
done
sleep 3
import -window root "$2"
wineserver -k >/dev/null 2>&1
rm -rf "$work"
[ "$found" = 1 ] || { echo "The main window did not appear." >&2; exit 1; }
echo "Main window shown; screenshot: $2"
INNER
rc=0
xvfb-run -a -s "-screen 0 1400x1000x24" bash "$inner" "$PKG" "$SHOT" "$TITLE" || rc=$?
rm -f "$inner"
exit $rc
