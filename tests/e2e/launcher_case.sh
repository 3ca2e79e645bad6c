#!/usr/bin/env bash
# One end-to-end case: lays a fresh distribution folder, runs the real DriverSetup.exe in it
# under a Wine prefix, and checks what the pre-installer stand-in recorded.
# Usage: launcher_case.sh CASE PREFIX_DIR WORK_DIR LAUNCHER_EXE STANDIN_X86 STANDIN_X64
# CASE is one of the names in the case statement below; PREFIX_DIR's arch decides the row.
set -uo pipefail

case_name=$1 prefix=$2 work=$3 launcher=$4 standin_x86=$5 standin_x64=$6
here=$(cd "$(dirname "$0")" && pwd)
scripts=$here/../../scripts
# shellcheck source=../../scripts/wine_common.sh
. "$scripts/wine_common.sh"
export WINEPREFIX=$prefix

# Far above the launcher's own run time under Wine (well under a second when warm), so only
# a hang or a dialog waiting for a click reaches it; scaled for a slower (emulated) machine.
readonly kLaunchTimeout=$((30 * ${DRIVERSETUP_TIMEOUT_SCALE:-1}))

failures=0
checks=0
fail() {
    echo "FAIL [$case_name]: $*" >&2
    failures=$((failures + 1))
}
expect_eq() {
    checks=$((checks + 1))
    [ "$2" = "$3" ] || fail "$1: got '$2', expected '$3'"
}
report_value() { standin_report_value "$report" "$1"; }

if [ -d "$prefix/drive_c/windows/syswow64" ]; then windows_bits=64; else windows_bits=32; fi
dist=$work/$case_name-win$windows_bits
report=$dist/$STANDIN_REPORT_NAME
layout=
launcher_args=()
hold=0
case $case_name in
starts_matching_build) ;;
arguments_change_nothing) launcher_args=(/I "Drive\\other.inf" --quiet "two words") ;;
no_drive_tree) layout=--no-drive ;;
only_x86_build_present) layout=--without-x64 ;;
does_not_wait) hold=1 ;;
*)
    echo "unknown case $case_name" >&2
    exit 2
    ;;
esac

"$scripts/lay_distribution.sh" "$dist" "$launcher" "$standin_x86" "$standin_x64" $layout

# With a hold file named, the stand-in runs until this script makes that file: a launcher that
# waited for its child would never exit, and the time-out would stop it.
release=$work/$case_name-win$windows_bits.release
rm -f "$release"
hold_env=()
[ "$hold" -eq 1 ] && hold_env=("QZDRVPREP_HOLD_FILE=$(wine_windows_path "$release")")
(cd "$dist" && env "${hold_env[@]}" timeout "$kLaunchTimeout" wine DriverSetup.exe \
    "${launcher_args[@]}")
exit_code=$?
echo "launcher exited with $exit_code"
report_at_exit=$(tr -d '\r' 2>/dev/null <"$report")
touch "$release"

expect_eq "exit code" "$exit_code" 0
# Whatever the launcher started must end by itself: a dialog or a hung child would not.
timeout "$kLaunchTimeout" wineserver -w
expect_eq "everything started has ended" "$?" 0

expected_dir=$(wine_windows_path "$dist")
if [ "$windows_bits" = 64 ]; then
    expected_program="$expected_dir\\Drive\\amd64\\QZDrvPrep_x64.exe"
    expected_arguments='/I Drive\Tavix\amd64\quenusb.inf'
else
    expected_program="$expected_dir\\Drive\\i386\\QZDrvPrep_x86.exe"
    expected_arguments='/I Drive\Tavix\x86\quenusb.inf'
fi

case $case_name in
no_drive_tree | only_x86_build_present)
    # The chosen build is missing: nothing starts, and the other build is not tried.
    checks=$((checks + 1))
    [ ! -e "$report" ] || fail "a pre-installer started: $(tr -d '\r' <"$report")"
    ;;
*)
    if [ ! -f "$report" ]; then
        fail "no pre-installer started"
    else
        expect_eq "program" "$(report_value program)" "$expected_program"
        expect_eq "program bits" "$(report_value bits)" "$windows_bits"
        expect_eq "arguments" "$(report_value arguments)" "$expected_arguments"
        expect_eq "working directory" "$(report_value working_directory)" "$expected_dir"
        expect_eq "STARTF_USESHOWWINDOW" "$(report_value startf_useshowwindow)" 1
        expect_eq "show window (SW_HIDE)" "$(report_value show_window)" 0
        expect_eq "INF found from the working directory" "$(report_value inf_found)" 1
    fi
    ;;
esac

if [ "$case_name" = does_not_wait ]; then
    # The launcher returned while its child was still held, and the child then finished.
    checks=$((checks + 1))
    case $report_at_exit in
    *finished=1*) fail "the pre-installer had already finished when the launcher exited" ;;
    esac
    expect_eq "pre-installer finished after its release" "$(report_value finished)" 1
fi

echo "$case_name on ${windows_bits}-bit Wine: $((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
