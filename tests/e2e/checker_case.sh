#!/usr/bin/env bash
# In one Wine prefix: driversetup-check.exe must name, on its "this machine:" line, the same
# program, parameters and folder that the real launcher then starts in the same folder.
# Usage: checker_case.sh PREFIX_DIR WORK_DIR LAUNCHER_EXE CHECKER_EXE STANDIN_X86 STANDIN_X64
set -uo pipefail

prefix=$1 work=$2 launcher=$3 checker=$4 standin_x86=$5 standin_x64=$6
here=$(cd "$(dirname "$0")" && pwd)
scripts=$here/../../scripts
# shellcheck source=../../scripts/wine_common.sh
. "$scripts/wine_common.sh"
export WINEPREFIX=$prefix
readonly kRunTimeout=$((60 * ${DRIVERSETUP_TIMEOUT_SCALE:-1}))

failures=0
expect_eq() {
    if [ "$2" = "$3" ]; then
        echo "ok: $1"
    else
        echo "FAIL: $1: got '$2', expected '$3'" >&2
        failures=$((failures + 1))
    fi
}

if [ -d "$prefix/drive_c/windows/syswow64" ]; then bits=64; else bits=32; fi
dist=$work/checker-win$bits
report=$dist/$STANDIN_REPORT_NAME
"$scripts/lay_distribution.sh" "$dist" "$launcher" "$standin_x86" "$standin_x64" || exit 1
cp "$checker" "$work/driversetup-check.exe"

output=$(cd "$dist" && timeout "$kRunTimeout" wine "$work/driversetup-check.exe" | tr -d '\r')
expect_eq "checker exit code on the sample folder" "$?" 0
printf '%s\n' "$output"
line=$(grep '^this machine: ' <<<"$output")
named_program=$(sed -n 's/^this machine: the launcher would start \(.*\) with parameters ".*$/\1/p' <<<"$line")
named_parameters=$(sed -n 's/^.* with parameters "\(.*\)" in folder .*$/\1/p' <<<"$line")
named_folder=$(sed -n 's/^.*" in folder \(.*\)$/\1/p' <<<"$line")

(cd "$dist" && timeout "$kRunTimeout" wine DriverSetup.exe)
timeout "$kRunTimeout" wineserver -w

expect_eq "folder named by the checker" "$named_folder" "$(wine_windows_path "$dist")"
expect_eq "program the launcher started" "$(standin_report_value "$report" program)" \
    "$named_folder\\$named_program"
expect_eq "parameters the launcher passed" "$(standin_report_value "$report" arguments)" \
    "$named_parameters"
expect_eq "folder the launcher started it in" \
    "$(standin_report_value "$report" working_directory)" "$named_folder"
expect_eq "row for ${bits}-bit Windows" "$(standin_report_value "$report" bits)" "$bits"

echo "checker and launcher on ${bits}-bit Wine: $failures failed"
[ "$failures" -eq 0 ]
