#!/usr/bin/env bash
# Checks with-wine.sh's choice between running Wine here and in the guest, against fake
# 32-bit probes, and that a native run passes the command's exit code through.
# Usage: with_wine_test.sh SCRIPTS_DIR WORK_DIR
set -uo pipefail

scripts=$1 work=$2
# The choice under test must not come from the caller's own settings.
unset DRIVERSETUP_WINE DRIVERSETUP_IA32_PROBE DRIVERSETUP_GUEST_ACCEL
rm -rf "$work"
mkdir -p "$work"

# Fake probes: how a kernel with and without 32-bit support answers running an i386 program.
printf '#!/bin/sh\nexit 42\n' >"$work/runs"
printf '#!/bin/sh\necho "%s: cannot execute binary file: Exec format error" >&2\nexit 126\n' \
    "$work/probe" >"$work/refuses"
# Exits 0: something ran, but not the probe's own exit call.
printf '#!/bin/sh\nexit 0\n' >"$work/wrong"
chmod +x "$work/runs" "$work/refuses" "$work/wrong"

failures=0
checks=0
expect() {
    checks=$((checks + 1))
    [ "$2" = "$3" ] || {
        echo "FAIL [$1]: got '$2', expected '$3'" >&2
        failures=$((failures + 1))
    }
}
expect_match() {
    checks=$((checks + 1))
    case $2 in *"$3"*) ;; *)
        echo "FAIL [$1]: '$2' does not contain '$3'" >&2
        failures=$((failures + 1))
        ;;
    esac
}

# name | DRIVERSETUP_WINE | probe | expected mode | expected exit | text the message must hold
cases=(
    "kernel-runs-ia32|auto|runs|native|0|"
    "kernel-refuses-ia32|auto|refuses|guest|0|"
    "unset-means-auto|-|refuses|guest|0|"
    "probe-ran-something-else|auto|wrong|guest|0|"
    "forced-native|native|refuses|native|0|"
    "forced-guest|guest|runs|guest|0|"
    "bad-value|sometimes|runs||2|must be auto, native or guest"
)
for row in "${cases[@]}"; do
    IFS='|' read -r name requested probe want_mode want_exit want_text <<<"$row"
    env_args=("DRIVERSETUP_IA32_PROBE=$work/$probe" "DRIVERSETUP_GUEST_ACCEL=tcg")
    [ "$requested" = - ] || env_args+=("DRIVERSETUP_WINE=$requested")
    output=$(env "${env_args[@]}" bash "$scripts/with-wine.sh" --mode 2>/dev/null)
    status=$?
    expect "$name: exit" "$status" "$want_exit"
    if [ -n "$want_mode" ]; then
        expect "$name: mode" "${output%% *}" "$want_mode"
    fi
    if [ -n "$want_text" ]; then
        expect_match "$name: message" "$(env "${env_args[@]}" bash "$scripts/with-wine.sh" --mode 2>&1)" "$want_text"
    fi
done

# The reason is given in one line, naming the kernel's own refusal.
line=$(DRIVERSETUP_IA32_PROBE=$work/refuses DRIVERSETUP_GUEST_ACCEL=tcg \
    bash "$scripts/with-wine.sh" --mode 2>&1 >/dev/null)
expect_match "guest reason" "$line" "cannot run 32-bit x86 code (Exec format error)"

# A native run is the command itself: its exit code and the scale it is given.
output=$(DRIVERSETUP_WINE=native bash "$scripts/with-wine.sh" sh -c 'echo "scale=$DRIVERSETUP_TIMEOUT_SCALE"; exit 7')
expect "native exit code" "$?" 7
expect_match "native scale" "$output" "scale=1"

# The built-in probe agrees with the 32-bit loader wherever that loader is installed.
if [ -x /lib/ld-linux.so.2 ]; then
    if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then loader=native; else loader=guest; fi
    mode=$(DRIVERSETUP_GUEST_ACCEL=tcg bash "$scripts/with-wine.sh" --mode 2>/dev/null)
    expect "built-in probe against /lib/ld-linux.so.2" "${mode%% *}" "$loader"
fi

echo "with-wine decisions: $((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
