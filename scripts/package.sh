#!/usr/bin/env bash
# Makes the release a Windows user downloads:
#   dist/sorvix-<version>-win64.zip  with sorvix.exe, README.md,
#   sorvix.example.ini (rename it to sorvix.ini to use it) and SHA256SUMS
#   (the SHA-256 of each of the other three files).
#   package.sh [--exe PATH] [--out DIR]
# Without --exe it builds sorvix.exe in build/windows first. The version is
# the program's own ("V1.0" -> 1.0). Prints the path of the zip.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exe=""
out="$root/dist"
while [ $# -gt 0 ]; do
  case "$1" in
    --exe) exe=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    *) echo "package: unknown argument $1" >&2; exit 2 ;;
  esac
done
if [ -z "$exe" ]; then
  cd "$root"
  bash scripts/install-deps.sh
  cmake -S . -B build/windows -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSORVIX_BENCH=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" >/dev/null
  cmake --build build/windows -j "$(nproc)" --target sorvix >&2
  exe=$root/build/windows/app/win/sorvix.exe
fi
[ -f "$exe" ] || { echo "package: $exe is missing" >&2; exit 1; }
version=$(grep -o 'kOwnVersion = "V[0-9.]*"' "$root/app/core/update_check.h" | grep -o '[0-9][0-9.]*')
name=sorvix-$version-win64
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/$name"
cp "$exe" "$stage/$name/sorvix.exe"
cp "$root/README.md" "$stage/$name/README.md"
cat >"$stage/$name/sorvix.example.ini" <<'INI'
; Sorvix configuration. Rename this file to sorvix.ini and keep it beside
; sorvix.exe (or name another file in the environment variable SORVIX_CONFIG).
; UTF-8; unknown keys are ignored. Without the file the program uses the
; addresses below.
[sites]
magnet     = http://127.0.0.1:8931
shareindex = http://127.0.0.1:8932
searchbase = http://127.0.0.1:8933/cse?q=
; host of the announcement post and the blog; empty = no update check
blog       = http://127.0.0.1:8934
[network]
connect_timeout_ms = 15000
receive_timeout_ms = 30000
INI
(cd "$stage/$name" && sha256sum sorvix.exe README.md sorvix.example.ini >SHA256SUMS)
mkdir -p "$out"
zip_path=$(cd "$out" && pwd)/$name.zip
rm -f "$zip_path"
(cd "$stage" && zip -q -X -r "$zip_path" "$name")
echo "$zip_path"
