#!/usr/bin/env bash
# What the launcher costs: its size beside an empty program built with the same toolchain and
# flags, and the median wall time of one launch (start to the launcher's exit) in a warm
# 64-bit Wine prefix, beside the empty program and beside a batch file doing the same job.
# Also the median time of one staging by the real 64-bit pre-installer. Prints Markdown tables;
# where Wine runs in the emulated guest (scripts/with-wine.sh), ratios only, since its
# milliseconds say nothing about a real machine.
# Usage: bench/bench.sh [RUNS]   (default 21, at least 20 advised)
set -euo pipefail

runs=${1:-21}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/install-deps.sh windows >&2
cmake --preset windows >/dev/null
cmake --build --preset windows >/dev/null

# The timing runs where Wine can run 32-bit programs: here, or in the guest.
exec scripts/with-wine.sh bash bench/bench-wine.sh "$runs"
