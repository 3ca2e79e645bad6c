#!/usr/bin/env bash
# Static checks on one build of the real pre-installer: its machine and PE kind, a GUI program,
# stripped, without a time stamp, carrying only a manifest that asks for administrator rights
# (staging a driver needs them) and names the supported Windows, and importing the driver calls
# from their own DLLs with the DLL-search calls left to a run-time lookup.
# Usage: check_preinstaller_pe.sh EXE OBJDUMP 32|64
set -uo pipefail

exe=$1 objdump=$2 bits=$3
# shellcheck source=pe_checks_common.sh
. "$(dirname "$0")/pe_checks_common.sh"
imports=$(sed -n '/The Import Tables/,/^$/p; /DLL Name:/,/^$/p' <<<"$headers")
dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | sort | tr '\n' ' ')

if [ "$bits" = 64 ]; then
    check "x86-64 PE file" grep -q 'file format pei-x86-64' <<<"$file_format"
    check "PE32+ optional header (magic 020b)" grep -Eq '^Magic[[:space:]]+020b' <<<"$headers"
else
    check "i386 PE file" grep -q 'file format pei-i386' <<<"$file_format"
    check "PE32 optional header (magic 010b)" grep -Eq '^Magic[[:space:]]+010b' <<<"$headers"
fi
check "GUI subsystem" grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$headers"
check_manifest_only_resource requireAdministrator
check "imports from KERNEL32, msvcrt, SETUPAPI and newdev only" \
    test "$dlls" = "KERNEL32.dll SETUPAPI.dll msvcrt.dll newdev.dll "
check "imports SetupCopyOEMInfW" grep -q 'SetupCopyOEMInfW' <<<"$imports"
check "imports UpdateDriverForPlugAndPlayDevicesW" \
    grep -q 'UpdateDriverForPlugAndPlayDevicesW' <<<"$imports"
check "SetDefaultDllDirectories looked up at run time, not imported" \
    eval '! grep -q "SetDefaultDllDirectories" <<<"$imports"'
check_stripped_without_time_stamp

finish_checks
