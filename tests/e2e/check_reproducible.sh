#!/usr/bin/env bash
# Builds the shipped executables twice more, from the same source in two build folders of
# different names and depths, and checks that each is byte for byte the one under test.
# Usage: check_reproducible.sh SOURCE_DIR TOOLCHAIN_FILE BUILD_TYPE SCRATCH_DIR EXE...
# Each EXE's file name is its target's output name (DriverSetup.exe: target DriverSetup).
set -uo pipefail

source_dir=$1 toolchain=$2 build_type=$3 scratch=$4
shift 4
exes=("$@")
targets=()
for exe in "${exes[@]}"; do
    name=$(basename "$exe")
    targets+=("${name%.exe}")
done
rm -rf "$scratch"
failures=0
checks=0
for build in "$scratch/a" "$scratch/second-build/deeper"; do
    if ! cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE="$build_type" -DBUILD_TESTING=OFF >"$scratch.log" 2>&1 ||
        ! cmake --build "$build" --target "${targets[@]}" >>"$scratch.log" 2>&1; then
        cat "$scratch.log" >&2
        echo "FAIL: could not build in $build" >&2
        exit 1
    fi
    for exe in "${exes[@]}"; do
        checks=$((checks + 1))
        rebuilt=$build/$(basename "$exe")
        if cmp "$exe" "$rebuilt"; then
            echo "ok: $rebuilt is identical ($(stat -c %s "$exe") bytes)"
        else
            echo "FAIL: $rebuilt differs from $exe" >&2
            failures=$((failures + 1))
        fi
    done
done
rm -rf "$scratch" "$scratch.log"
echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
