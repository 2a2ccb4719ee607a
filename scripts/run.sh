#!/usr/bin/env bash
# Runs the program. Until the main window exists this builds the native tools,
# starts the site simulator on loopback and runs a demo search of each site
# kind with sorvix-cli, so a newcomer sees results after one command.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j "$(nproc)"
if [ -x scripts/demo.sh ]; then
  exec bash scripts/demo.sh
fi
echo "Built: $(cd build/native && find . -maxdepth 3 -type f -perm -u+x -name 'sorvix*' | sort | tr '\n' ' ')"
