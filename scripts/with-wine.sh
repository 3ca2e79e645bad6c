#!/usr/bin/env bash
# Runs one command where Wine can run the project's 32-bit Windows programs: on this machine
# when its kernel runs 32-bit x86 code, else inside an emulated x86-64 Debian guest
# (scripts/guest.sh) on a copy of this tree. The demo, the Wine tests and the benchmark all
# start Wine through it.
set -uo pipefail

usage() {
    cat <<'USAGE'
Usage: with-wine.sh COMMAND [ARG...]   runs COMMAND from the current folder, which must be
                                        inside this tree; its exit code is the result
       with-wine.sh --mode              prints "native" or "guest", then the timeout scale

DRIVERSETUP_WINE=auto|native|guest chooses (default auto: try to run 32-bit x86 code).
In the guest, DRIVERSETUP_TIMEOUT_SCALE tells the job how much slower the machine is.
USAGE
}

here=$(cd "$(dirname "$0")" && pwd)

# A 96-byte ELF32 i386 program that makes the exit system call with code 42. Running it is
# the direct test: a kernel without 32-bit support refuses it ("Exec format error"), and no
# package needs to be installed first.
readonly kIa32ProbeBytes='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80'
readonly kIa32ProbeExit=42
# How much slower than this machine each way runs, for the tests' time-outs: measured about
# 70x per launch under emulation, a few times under KVM.
readonly kScaleNative=1
readonly kScaleKvm=4
readonly kScaleEmulated=40

# ia32_runs: whether this kernel runs 32-bit x86 code; sets ia32_error when it does not.
# DRIVERSETUP_IA32_PROBE names another program to try instead (the tests' fakes).
ia32_runs() {
    local probe=${DRIVERSETUP_IA32_PROBE:-} tmp=
    if [ -z "$probe" ]; then
        tmp=$(mktemp "${TMPDIR:-/tmp}/ia32-probe.XXXXXX") || return 1
        printf "$kIa32ProbeBytes" >"$tmp"
        chmod 700 "$tmp"
        probe=$tmp
    fi
    local output status
    output=$("$probe" 2>&1)
    status=$?
    [ -n "$tmp" ] && rm -f "$tmp"
    if [ "$status" -eq "$kIa32ProbeExit" ]; then
        return 0
    fi
    ia32_error=${output##*: }
    [ -n "$ia32_error" ] || ia32_error="it exited with $status"
    return 1
}

# decide: sets mode (native or guest) and reason from DRIVERSETUP_WINE and the probe.
decide() {
    local requested=${DRIVERSETUP_WINE:-auto}
    case $requested in
    native | guest)
        mode=$requested
        reason="DRIVERSETUP_WINE=$requested asks for it"
        ;;
    auto)
        if ia32_runs; then
            mode=native
            reason="this kernel runs 32-bit x86 code"
        else
            mode=guest
            reason="this kernel cannot run 32-bit x86 code ($ia32_error), which Wine needs"
        fi
        ;;
    *)
        echo "with-wine: DRIVERSETUP_WINE must be auto, native or guest, not '$requested'" >&2
        exit 2
        ;;
    esac
}

# scale: the time-out scale of the chosen way.
scale() {
    if [ "$mode" = native ]; then
        echo "$kScaleNative"
    elif [ "$("$here/guest.sh" --accel)" = kvm ]; then
        echo "$kScaleKvm"
    else
        echo "$kScaleEmulated"
    fi
}

if [ $# -eq 0 ]; then
    usage >&2
    exit 2
fi
decide
if [ "$mode" = native ]; then
    line="with-wine: running Wine on this machine: $reason"
else
    line="with-wine: running Wine in an emulated x86-64 Debian guest: $reason"
fi
if [ "$1" = --mode ]; then
    echo "$line" >&2
    echo "$mode $(scale)"
    exit 0
fi

echo "$line"
if [ "$mode" = native ]; then
    export DRIVERSETUP_TIMEOUT_SCALE=${DRIVERSETUP_TIMEOUT_SCALE:-$kScaleNative}
    exec "$@"
fi
DRIVERSETUP_TIMEOUT_SCALE=$(scale) exec "$here/guest.sh" run "$@"
