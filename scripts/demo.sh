#!/usr/bin/env bash
# Demo of the site searches without a window: starts the site simulator on
# loopback, writes build/sorvix.ini pointing at it, runs one search of each
# site kind (magnet site, share-index site, a disk search) and resolves one
# share-index detail page with sorvix-cli, then stops the simulator it started
# (by its PID; nothing else is touched). Expects the native build in
# build/native (scripts/run.sh makes it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=build/native
sim=$build/tools/sitesim/sitesim
cli=$build/cli/sorvix-cli
for exe in "$sim" "$cli"; do
  if [ ! -x "$exe" ]; then
    echo "demo: $exe is missing; build first (cmake --build $build)" >&2
    exit 1
  fi
done

work=build/demo
mkdir -p "$work"
addresses=$work/sitesim.addresses
log=$work/sitesim.log
: >"$log"
sim_pid=""

stop_sim() {
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  sim_pid=""
}
trap stop_sim EXIT

# Starts the simulator with the given port arguments; true once it has
# printed its four addresses.
start_sim() {
  : >"$addresses"
  "$sim" --log "$log" "$@" >"$addresses" 2>"$work/sitesim.err" &
  sim_pid=$!
  for _ in $(seq 1 50); do
    if [ "$(wc -l <"$addresses")" -ge 4 ]; then return 0; fi
    if ! kill -0 "$sim_pid" 2>/dev/null; then sim_pid=""; return 1; fi
    sleep 0.1
  done
  stop_sim
  return 1
}

# The usual ports first; when another program holds one of them, free ones.
if ! start_sim; then
  echo "demo: default ports busy ($(cat "$work/sitesim.err")); using free ports" >&2
  start_sim --magnet-port 0 --shareindex-port 0 --searchbase-port 0 --blog-port 0 || {
    echo "demo: the site simulator did not start: $(cat "$work/sitesim.err")" >&2
    exit 1
  }
fi
address() { awk -v k="$1" '$1 == k { print $2 }' "$addresses"; }

ini=build/sorvix.ini
cat >"$ini" <<INI
; written by scripts/demo.sh for the site simulator (PID $sim_pid)
[sites]
magnet     = $(address magnet)
shareindex = $(address shareindex)
searchbase = $(address searchbase)
blog       = $(address blog)
[network]
connect_timeout_ms = 5000
receive_timeout_ms = 10000
INI
export SORVIX_CONFIG=$root/$ini
echo "== site simulator (PID $sim_pid) on loopback; configuration $ini"
cat "$addresses"

run() {
  echo
  echo "== sorvix-cli $*"
  "$cli" "$@" || echo "(exit status $?)"
}
run search --source 1 "三体"
run search --source "盘多多" "纪录片 地球脉动"
run search --source "百度网盘" --page 2 "三体"
run search --source 9 "没有这个资源"
run resolve "$(address shareindex)/r/10002"

echo
echo "== requests the simulator saw ($log)"
cat "$log"
stop_sim
