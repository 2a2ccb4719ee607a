#!/usr/bin/env bash
# Builds one libFuzzer target of this folder with clang (address and
# undefined-behaviour sanitizers) from the sources it reads, and runs it.
#   tests/fuzz/run.sh net_fuzz|sites_fuzz|text_fuzz|link_check_fuzz [seconds=20] [libFuzzer flags...]
# The corpus grows in build/fuzz-<target>/corpus, seeded from seeds/<area>;
# a crash leaves its input in build/fuzz-<target>/.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
target=$1
seconds=${2:-20}
shift $(( $# >= 2 ? 2 : 1 ))
portable() { ls "$@" | grep -v '_win\.cpp$' | grep -v '_posix\.cpp$'; }
src=$root/tests/fuzz/$target.cpp
case $target in
  net_fuzz)
    srcs="$(portable "$root"/text/*.cpp) $root/net/url.cpp $root/net/cookie_jar.cpp $root/net/gbk_text.cpp
          $root/net/request_chain.cpp $root/text/codec_posix.cpp"
    seeds=$root/tests/fuzz/seeds/net ;;
  sites_fuzz)
    srcs="$(portable "$root"/text/*.cpp "$root"/text/regex/*.cpp) $root/text/codec_posix.cpp
          $(ls "$root"/sites/*.cpp | grep -v site_net.cpp) $root/net/net_config.cpp"
    seeds=$root/tests/fuzz/seeds/sites ;;
  text_fuzz)  # the codec both ways and the text routines (tests/text/text_fuzz.cpp)
    src=$root/tests/text/text_fuzz.cpp
    srcs="$(portable "$root"/text/*.cpp) $root/text/codec_posix.cpp -I$root/tests/text"
    seeds=$root/tests/fuzz/seeds/text ;;
  link_check_fuzz)  # CheckLink (tests/app/link_check_fuzz.cpp)
    src=$root/tests/app/link_check_fuzz.cpp
    srcs="$(portable "$root"/text/*.cpp) $root/text/codec_posix.cpp $root/app/core/link_check.cpp"
    seeds=$root/tests/fuzz/seeds/link_check ;;
  *) echo "unknown target $target" >&2; exit 2 ;;
esac
out=$root/build/fuzz-$target
mkdir -p "$out/corpus"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root" "$src" $srcs -o "$out/$target"
cd "$out"
exec "./$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 "$@" corpus "$seeds"
