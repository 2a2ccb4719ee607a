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

if [ $display = 1 ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" wine "$@"
else
  exec wine "$@"
fi
