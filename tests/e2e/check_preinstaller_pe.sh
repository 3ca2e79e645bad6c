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
manifest=$(grep -ao '<assembly.*</assembly>' <(tr -d '\r\n' <"$exe"))
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
resources=$(sed -n '/The .rsrc Resource Directory section/,$p' <<<"$headers")
check "one resource, of type RT_MANIFEST" \
    grep -Eq 'Type Table: .*Num Names: 0, IDs: 1$' <<<"$resources"
check "resource type 24" grep -q 'Entry: ID: 0x000018,' <<<"$resources"
check "resource ID 1" grep -q 'Entry: ID: 0x000001,' <<<"$resources"
check "manifest asks for requireAdministrator" \
    grep -q 'requestedExecutionLevel level="requireAdministrator" uiAccess="false"' <<<"$manifest"
for os in e2011457-1546-43c5-a5fe-008deee3d3f0 35138b9a-5d96-4fbd-8e2d-a2440225f93a \
    4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 1f676c76-80e1-4239-95bb-83d0f6d0da78 \
    8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a; do
    check "manifest names supportedOS $os" grep -q "supportedOS Id=\"{$os}\"" <<<"$manifest"
done
check "imports from KERNEL32, msvcrt, SETUPAPI and newdev only" \
    test "$dlls" = "KERNEL32.dll SETUPAPI.dll msvcrt.dll newdev.dll "
check "imports SetupCopyOEMInfW" grep -q 'SetupCopyOEMInfW' <<<"$imports"
check "imports UpdateDriverForPlugAndPlayDevicesW" \
    grep -q 'UpdateDriverForPlugAndPlayDevicesW' <<<"$imports"
check "SetDefaultDllDirectories looked up at run time, not imported" \
    eval '! grep -q "SetDefaultDllDirectories" <<<"$imports"'
check "stripped: no symbols" eval '! grep -q HAS_SYMS <<<"$file_format"'
check "no link time stamp" grep -Eq '^Time/Date[[:space:]]+Thu Jan  1 00:00:00 1970' <<<"$headers"

finish_checks
