#!/usr/bin/env bats
# Builds the shipped executables twice more, from the same source in two build folders of
# different names and depths, and checks that each is byte for byte the one under test.
# Environment: SOURCE_DIR, TOOLCHAIN_FILE, BUILD_TYPE, SCRATCH_DIR, and EXES (blank-separated;
# each file's name is its target's output name: DriverSetup.exe is target DriverSetup).

setup() {
    load "${BATS_TEST_DIRNAME}/../bats_helper"
}

teardown() {
    rm -rf "$SCRATCH_DIR" "$SCRATCH_DIR.log"
}

@test "reproducible" {
    local exes exe build targets=()
    read -r -a exes <<<"$EXES"
    for exe in "${exes[@]}"; do
        name=$(basename "$exe")
        targets+=("${name%.exe}")
    done
    rm -rf "$SCRATCH_DIR"
    for build in "$SCRATCH_DIR/a" "$SCRATCH_DIR/second-build/deeper"; do
        if ! cmake -S "$SOURCE_DIR" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN_FILE" \
            -DCMAKE_BUILD_TYPE="$BUILD_TYPE" -DBUILD_TESTING=OFF >"$SCRATCH_DIR.log" 2>&1 ||
            ! cmake --build "$build" --target "${targets[@]}" >>"$SCRATCH_DIR.log" 2>&1; then
            fail "could not build in $build: $(cat "$SCRATCH_DIR.log")"
        fi
        for exe in "${exes[@]}"; do
            cmp "$exe" "$build/$(basename "$exe")" ||
                fail "$build/$(basename "$exe") differs from $exe"
            echo "ok: $build/$(basename "$exe") is identical ($(stat -c %s "$exe") bytes)"
        done
    done
}
