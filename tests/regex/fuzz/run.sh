#!/usr/bin/env bash
# Builds the regex fuzz target with clang (libFuzzer, address and
# undefined-behaviour sanitizers) and runs it.
#   tests/regex/fuzz/run.sh [seconds=20] [extra libFuzzer flags...]
# The corpus grows in build/regex-fuzz/corpus (seeded from the differential
# cases); a crash leaves its input in build/regex-fuzz/.
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
seconds=${1:-20}
shift || true
out=$root/build/regex-fuzz
mkdir -p "$out/corpus"
srcs=$(ls "$root"/text/*.cpp "$root"/text/regex/*.cpp | grep -v '_win\.cpp$')
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root" "$root/tests/regex/fuzz/regex_fuzz.cpp" $srcs -o "$out/regex_fuzz"
# Seeds: a flag byte, the pattern length, the pattern and the subject of a
# few differential cases.
if [ -z "$(ls -A "$out/corpus")" ]; then
  python3 - "$root/tests/regex/diff/cases.txt" "$out/corpus" <<'PY'
import sys
cases, outdir = sys.argv[1], sys.argv[2]
pat = sub = None
n = 0
for line in open(cases):
    k, _, v = line.strip().partition(' ')
    if k == 'pattern': pat = bytes.fromhex(v)
    elif k == 'subject': sub = bytes.fromhex(v)
    elif k == 'end' and pat is not None and len(pat) < 256:
        open(f'{outdir}/seed{n}', 'wb').write(bytes([7, len(pat)]) + pat + sub)
        n += 1
PY
fi
cd "$out"
exec ./regex_fuzz -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 "$@" corpus
