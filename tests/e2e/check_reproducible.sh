#!/usr/bin/env bash
# Builds DriverSetup.exe twice more, from the same source in two build folders of different
# names and depths, and checks that both are byte for byte the exe under test.
# Usage: check_reproducible.sh SOURCE_DIR TOOLCHAIN_FILE BUILD_TYPE EXE SCRATCH_DIR
set -uo pipefail

source_dir=$1 toolchain=$2 build_type=$3 exe=$4 scratch=$5
rm -rf "$scratch"
failures=0
for build in "$scratch/a" "$scratch/second-build/deeper"; do
    if ! cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE="$build_type" -DBUILD_TESTING=OFF >"$scratch.log" 2>&1 ||
        ! cmake --build "$build" --target DriverSetup >>"$scratch.log" 2>&1; then
        cat "$scratch.log" >&2
        echo "FAIL: could not build in $build" >&2
        exit 1
    fi
    if cmp "$exe" "$build/DriverSetup.exe"; then
        echo "ok: $build/DriverSetup.exe is identical ($(stat -c %s "$exe") bytes)"
    else
        echo "FAIL: $build/DriverSetup.exe differs from $exe" >&2
        failures=$((failures + 1))
    fi
done
rm -rf "$scratch" "$scratch.log"
echo "$((2 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
