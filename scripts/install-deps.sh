#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the benchmarks and the
# demo need, and generates the two locales the Windows tests run under.
# Idempotent: does nothing when everything is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libcurl4-openssl-dev libpcre2-dev libre2-dev zlib1g-dev
  clang libclang-rt-14-dev
  wine wine64 xvfb xauth xdotool xclip x11-utils imagemagick fonts-wqy-zenhei
  locales nodejs python3 procps util-linux zip unzip
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

SUDO=""
if [ "$(id -u)" != "0" ]; then SUDO="sudo"; fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Wine takes its ANSI code page from LANG: tests run under both locales.
need_gen=0
for loc in en_US.UTF-8 zh_CN.UTF-8; do
  norm=$(echo "$loc" | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')
  if ! locale -a 2>/dev/null | tr 'A-Z' 'a-z' | grep -qx "$norm"; then
    need_gen=1
    if ! grep -q "^$loc UTF-8" /etc/locale.gen 2>/dev/null; then
      echo "$loc UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
    fi
  fi
done
if [ $need_gen = 1 ]; then
  $SUDO locale-gen >/dev/null
fi
echo "install-deps: ready"
