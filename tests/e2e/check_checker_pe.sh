#!/usr/bin/env bash
# Static checks on driversetup-check.exe: a PE32 i386 console program, stripped, without a
# time stamp, carrying a manifest that asks for no elevation (its name contains "setup", so
# without one Windows would take it for an installer) and names the supported Windows.
# Usage: check_checker_pe.sh EXE OBJDUMP
set -uo pipefail

exe=$1 objdump=$2
# shellcheck source=pe_checks_common.sh
. "$(dirname "$0")/pe_checks_common.sh"
check "i386 PE file" grep -q 'file format pei-i386' <<<"$file_format"
check "PE32 optional header (magic 010b)" grep -Eq '^Magic[[:space:]]+010b' <<<"$headers"
check "console subsystem" grep -Eq '^Subsystem[[:space:]]+00000003' <<<"$headers"
check_manifest_only_resource asInvoker
check_stripped_without_time_stamp

finish_checks
