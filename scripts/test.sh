#!/usr/bin/env bash
# Runs every test: installs what is missing, then builds and tests
#   1. native (Linux g++)
#   2. native with address and undefined-behaviour sanitizers
#   3. windows (MinGW-w64) under Wine, in two locales, with Xvfb where needed
# and ends with one summary line.  Usage: scripts/test.sh [native|asan|windows]...
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh || { echo "install-deps failed"; exit 1; }

stages=("$@")
[ ${#stages[@]} -eq 0 ] && stages=(native asan windows)
jobs=${SORVIX_JOBS:-$(nproc)}
total_pass=0
total_fail=0
failed_stages=()

run_stage() {
  local name=$1; shift
  local dir=build/$name
  echo "=== $name: configure and build"
  if ! cmake -S . -B "$dir" -G Ninja "$@" >"$dir.configure.log" 2>&1; then
    cat "$dir.configure.log"; failed_stages+=("$name(configure)"); total_fail=$((total_fail+1)); return
  fi
  if ! cmake --build "$dir" -j "$jobs" >"$dir.build.log" 2>&1; then
    tail -n 80 "$dir.build.log"; failed_stages+=("$name(build)"); total_fail=$((total_fail+1)); return
  fi
  grep -E "warning:" "$dir.build.log" | sort -u | head -n 20 || true
  echo "=== $name: test"
  local out
  out=$(mktemp)
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" 2>&1 | tee "$out"
  local line passed failed count
  line=$(grep -E "tests passed, [0-9]+ tests? failed out of [0-9]+" "$out" | tail -n 1)
  if [ -n "$line" ]; then
    failed=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/')
    count=$(echo "$line" | sed -E 's/.* failed out of ([0-9]+).*/\1/')
    passed=$((count - failed))
    total_pass=$((total_pass + passed)); total_fail=$((total_fail + failed))
    [ "$failed" -gt 0 ] && failed_stages+=("$name")
  elif grep -q "No tests were found" "$out"; then
    :
  else
    failed_stages+=("$name(ctest)"); total_fail=$((total_fail+1))
  fi
  rm -f "$out"
}

mkdir -p build
for s in "${stages[@]}"; do
  case $s in
    native)  run_stage native -DCMAKE_BUILD_TYPE=RelWithDebInfo ;;
    asan)    run_stage asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSORVIX_SANITIZE=ON -DSORVIX_BENCH=OFF ;;
    windows) run_stage windows -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSORVIX_BENCH=OFF \
               -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" ;;
    *) echo "unknown stage $s"; exit 2 ;;
  esac
done

echo
if [ ${#failed_stages[@]} -gt 0 ]; then
  echo "failing: ${failed_stages[*]}"
fi
echo "$total_pass passed, $total_fail failed"
[ $total_fail -eq 0 ]
