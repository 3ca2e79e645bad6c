#!/usr/bin/env bats
# shellcheck disable=SC2154 # stderr is set by bats' run --separate-stderr
# with-wine.sh's choice between running Wine here and in the guest, against fake 32-bit
# probes, and that a native run passes the command's exit code through.

setup_file() {
    export work=$BATS_FILE_TMPDIR
    # Fake probes: how a kernel with and without 32-bit support answers an i386 program.
    printf '#!/bin/sh\nexit 42\n' >"$work/runs"
    printf '#!/bin/sh\necho "%s: cannot execute binary file: Exec format error" >&2\nexit 126\n' \
        "$work/probe" >"$work/refuses"
    # Exits 0: something ran, but not the probe's own exit call.
    printf '#!/bin/sh\nexit 0\n' >"$work/wrong"
    chmod +x "$work/runs" "$work/refuses" "$work/wrong"
}

setup() {
    load "${BATS_TEST_DIRNAME}/../bats_helper"
    scripts=$BATS_TEST_DIRNAME/../../scripts
    # The choice under test must not come from the caller's own settings.
    unset DRIVERSETUP_WINE DRIVERSETUP_IA32_PROBE DRIVERSETUP_GUEST_ACCEL
}

# decides REQUESTED PROBE MODE EXIT [TEXT]: with DRIVERSETUP_WINE=REQUESTED ("-": unset) and
# the fake PROBE, --mode exits with EXIT, prints MODE first (when given) and says TEXT.
decides() {
    local requested=$1 probe=$2 want_mode=$3 want_exit=$4 want_text=${5:-}
    local env_args=("DRIVERSETUP_IA32_PROBE=$work/$probe" "DRIVERSETUP_GUEST_ACCEL=tcg")
    [ "$requested" = - ] || env_args+=("DRIVERSETUP_WINE=$requested")
    run --separate-stderr env "${env_args[@]}" bash "$scripts/with-wine.sh" --mode
    expect_equal "exit" "$status" "$want_exit"
    [ -z "$want_mode" ] || expect_equal "mode" "${output%% *}" "$want_mode"
    [ -z "$want_text" ] || expect_contains "message" "$stderr" "$want_text"
}

@test "kernel runs ia32" { decides auto runs native 0; }
@test "kernel refuses ia32" { decides auto refuses guest 0; }
@test "unset means auto" { decides - refuses guest 0; }
@test "probe ran something else" { decides auto wrong guest 0; }
@test "forced native" { decides native refuses native 0; }
@test "forced guest" { decides guest runs guest 0; }
@test "bad value" { decides sometimes runs "" 2 "must be auto, native or guest"; }

@test "the reason is one line naming the kernel's own refusal" {
    run --separate-stderr env DRIVERSETUP_IA32_PROBE="$work/refuses" DRIVERSETUP_GUEST_ACCEL=tcg \
        bash "$scripts/with-wine.sh" --mode
    expect_contains "guest reason" "$stderr" "cannot run 32-bit x86 code (Exec format error)"
}

@test "a native run is the command itself: its exit code and the scale it is given" {
    run env DRIVERSETUP_WINE=native bash "$scripts/with-wine.sh" \
        sh -c 'echo "scale=$DRIVERSETUP_TIMEOUT_SCALE"; exit 7'
    expect_equal "native exit code" "$status" 7
    expect_contains "native scale" "$output" "scale=1"
}

@test "the built-in probe agrees with the 32-bit loader" {
    [ -x /lib/ld-linux.so.2 ] || skip "no 32-bit loader installed to compare with"
    local loader=guest
    /lib/ld-linux.so.2 --version >/dev/null 2>&1 && loader=native
    run --separate-stderr env DRIVERSETUP_GUEST_ACCEL=tcg bash "$scripts/with-wine.sh" --mode
    expect_equal "built-in probe against /lib/ld-linux.so.2" "${output%% *}" "$loader"
}
