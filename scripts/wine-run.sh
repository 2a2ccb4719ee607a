#!/usr/bin/env bash
# Runs a Windows executable under Wine in a private prefix.
#   wine-run.sh [--display] program.exe [args...]
# WINEPREFIX names the prefix (default: build/wineprefix beside this script's
# repository). The prefix is made once: no Mono/Gecko installers, no crash
# dialogs, "宋体"/SimSun mapped to an installed CJK font. --display runs the
# program inside a private Xvfb server (windows need one; console tests do not).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
display=0
if [ "${1:-}" = "--display" ]; then display=1; shift; fi

export WINEPREFIX=${WINEPREFIX:-$here/../build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winebrowser.exe=d"
export WINEARCH=win64

mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/.sorvix-ready" ]; then
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    reg=$(mktemp --suffix=.reg)
    {
      printf 'Windows Registry Editor Version 5.00\r\n\r\n'
      printf '[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\r\n"ShowCrashDialog"=dword:00000000\r\n\r\n'
      printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
      printf '"宋体"="WenQuanYi Zen Hei"\r\n"SimSun"="WenQuanYi Zen Hei"\r\n"NSimSun"="WenQuanYi Zen Hei"\r\n'
      printf '"微软雅黑"="WenQuanYi Zen Hei"\r\n"Microsoft YaHei"="WenQuanYi Zen Hei"\r\n\r\n'
    } | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } > "$reg"
    wine regedit /S "$(winepath -w "$reg" 2>/dev/null)" >/dev/null 2>&1 || true
    wineserver -w || true
    rm -f "$reg"
    touch "$WINEPREFIX/.sorvix-ready"
  fi
) 9>"$WINEPREFIX.lock"

if [ $display = 0 ]; then
  exec wine "$@"
fi

# A private Xvfb. -displayfd lets the server pick a free display number and
# report it, so several of these (and the end-to-end tests' own servers) can
# start at once without racing for the same number, as picking a number from
# the lock files first would.
fd_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fd_file" >/dev/null 2>&1 &
xvfb_pid=$!
cleanup() {
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  rm -f "$fd_file"
}
trap cleanup EXIT
trap "exit 143" TERM
trap "exit 130" INT
for _ in $(seq 1 200); do
  [ -s "$fd_file" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.05
done
number=$(tr -dc '0-9' <"$fd_file")
if [ -z "$number" ]; then
  echo "wine-run: Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=:$number
unset XAUTHORITY
status=0
wine "$@" || status=$?
exit $status
