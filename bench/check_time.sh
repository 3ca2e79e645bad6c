#!/usr/bin/env bash
# How long driversetup-check takes on the sample distribution folder (Linux build): the
# median wall time of RUNS runs, each a whole process from start to exit. A benchmark to run
# by hand, not a test. Usage: bench/check_time.sh [RUNS]   (default 21)
set -euo pipefail

runs=${1:-21}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/install-deps.sh host >&2
cmake --preset host >/dev/null
cmake --build --preset host >/dev/null

build=$root/build/host
work=$root/build/bench-check
dist=$work/distribution
mkdir -p "$work"
# The sample folder as the demo lays it; the Windows builds stand in as small PE files of the
# same kinds, so this needs no cross-compiler.
for kind in x86-gui x64-gui; do
    "$build/tests/write_pe" "$kind" "$work/$kind.exe"
done
export DRIVERSETUP_SAMPLE_PACKAGE=$build/sample-package
scripts/lay_distribution.sh "$dist" "$work/x86-gui.exe" "$work/x86-gui.exe" "$work/x64-gui.exe"
"$build/driversetup-check" "$dist" >/dev/null

times=()
for ((run = 0; run < runs; run++)); do
    started=$(date +%s%N)
    "$build/driversetup-check" "$dist" >/dev/null
    times+=($((($(date +%s%N) - started) / 1000)))
done
median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
printf 'driversetup-check on the sample folder: median %d.%03d ms over %d runs\n' \
    $((median / 1000)) $((median % 1000)) "$runs"
