#!/usr/bin/env bash
# Runs the program: builds the site simulator (native) and sorvix.exe
# (Windows cross build), starts the simulator on loopback, writes a
# sorvix.ini beside a copy of sorvix.exe in build/run/ pointing at it, and
# starts sorvix.exe under Wine.
#   - With a usable display ($DISPLAY) the window opens there; the command
#     returns when the window is closed.
#   - With no display it runs inside a private Xvfb server, performs one
#     search (option "BT樱桃", keyword "ubuntu iso", the search button), and
#     writes a screenshot of the result to the file it names
#     (build/run/screenshot.png; RUN_SCREENSHOT overrides), then ends.
# Everything it starts it stops again, by PID.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh

export CCACHE_DIR=${CCACHE_DIR:-/work/ccache}
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
jobs=$(nproc)
echo "run: building the site simulator (build/native) and sorvix.exe (build/windows)"
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build build/native -j "$jobs" --target sitesim
cmake -S . -B build/windows -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSORVIX_BENCH=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" "${launcher[@]}" >/dev/null
cmake --build build/windows -j "$jobs" --target sorvix

work=build/run
mkdir -p "$work"
cp build/windows/app/win/sorvix.exe "$work/sorvix.exe"
sim=build/native/tools/sitesim/sitesim
addresses=$work/sitesim.addresses
log=$work/sitesim.log
pids=()
cleanup() {
  for ((i=${#pids[@]}-1; i>=0; i--)); do
    kill "${pids[$i]}" 2>/dev/null || true
    wait "${pids[$i]}" 2>/dev/null || true
  done
}
trap cleanup EXIT

start_sim() {
  : >"$addresses"
  "$sim" --log "$log" "$@" >"$addresses" 2>"$work/sitesim.err" &
  local pid=$!
  for _ in $(seq 1 50); do
    if [ "$(wc -l <"$addresses")" -ge 4 ]; then pids+=("$pid"); return 0; fi
    if ! kill -0 "$pid" 2>/dev/null; then return 1; fi
    sleep 0.1
  done
  kill "$pid" 2>/dev/null || true
  return 1
}
: >"$log"
if ! start_sim; then
  echo "run: default ports busy; using free ports" >&2
  start_sim --magnet-port 0 --shareindex-port 0 --searchbase-port 0 --blog-port 0 || {
    echo "run: the site simulator did not start: $(cat "$work/sitesim.err")" >&2
    exit 1
  }
fi
address() { awk -v k="$1" '$1 == k { print $2 }' "$addresses"; }
cat >"$work/sorvix.ini" <<INI
; written by scripts/run.sh for the site simulator on loopback
[sites]
magnet     = $(address magnet)
shareindex = $(address shareindex)
searchbase = $(address searchbase)
blog       = $(address blog)
[network]
connect_timeout_ms = 5000
receive_timeout_ms = 10000
INI
echo "run: site simulator on loopback; configuration $work/sorvix.ini"

export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix-run}
export LANG=${RUN_LANG:-zh_CN.UTF-8} LC_ALL=${RUN_LANG:-zh_CN.UTF-8}
unset SORVIX_CONFIG

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "run: starting sorvix.exe on display $DISPLAY (close its window to end)"
  bash scripts/wine-run.sh "$work/sorvix.exe"
  exit 0
fi

# No display: a private Xvfb, one search, one screenshot.
shot=${RUN_SCREENSHOT:-$root/$work/screenshot.png}
fd_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fd_file" >/dev/null 2>&1 &
pids+=("$!")
for _ in $(seq 1 50); do [ -s "$fd_file" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$fd_file")"
rm -f "$fd_file"
echo "run: no display; using a private Xvfb on $DISPLAY"
bash scripts/wine-run.sh "$work/sorvix.exe" >"$work/sorvix.log" 2>&1 &
pids+=("$!")
window=""
for _ in $(seq 1 600); do
  window=$(xdotool search --name 'Sorvix' 2>/dev/null | head -1 || true)
  [ -n "$window" ] && break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "run: the main window did not appear (see $work/sorvix.log)" >&2
  exit 1
fi
sleep 1
# Client origin 50,50: option "BT樱桃", the keyword box, the search button.
click() { xdotool mousemove "$1" "$2" click 1; sleep 0.3; }
click 112 142
click 300 115
xdotool type --delay 30 "ubuntu iso"
click 694 116
for _ in $(seq 1 200); do
  grep -q "p=10" "$log" && break
  sleep 0.1
done
sleep 2
import -window root -crop 920x620+0+0 "$shot"
echo "run: searched \"ubuntu iso\" on the magnet site; requests made:"
sed 's/^/  /' "$log"
echo "run: screenshot written to $shot"
