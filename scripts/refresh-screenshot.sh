#!/usr/bin/env bash
# Copies the end-to-end tests' picture of the main window after a search
# (build/windows/artifacts/e2e-search-rows.png) to docs/main-window.png,
# which the README shows. Run the tests first: ctest --test-dir build/windows -R e2e_search
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
src=$root/build/windows/artifacts/e2e-search-rows.png
[ -f "$src" ] || { echo "refresh-screenshot: $src is missing; run the e2e_search test first" >&2; exit 1; }
mkdir -p "$root/docs"
cp "$src" "$root/docs/main-window.png"
echo "refresh-screenshot: docs/main-window.png updated"
