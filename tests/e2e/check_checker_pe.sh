#!/usr/bin/env bash
# Static checks on driversetup-check.exe: a PE32 i386 console program, stripped, without a
# time stamp, carrying a manifest that asks for no elevation (its name contains "setup", so
# without one Windows would take it for an installer) and names the supported Windows.
# Usage: check_checker_pe.sh EXE OBJDUMP
set -uo pipefail

exe=$1 objdump=$2
# shellcheck source=pe_checks_common.sh
. "$(dirname "$0")/pe_checks_common.sh"
# The manifest is stored as plain text inside the resource section.
manifest=$(grep -ao '<assembly.*</assembly>' <(tr -d '\r\n' <"$exe"))

check "i386 PE file" grep -q 'file format pei-i386' <<<"$file_format"
check "PE32 optional header (magic 010b)" grep -Eq '^Magic[[:space:]]+010b' <<<"$headers"
check "console subsystem" grep -Eq '^Subsystem[[:space:]]+00000003' <<<"$headers"
check "resource section present" grep -q '\.rsrc' <<<"$sections"
# Windows reads a program's manifest from resource type RT_MANIFEST (24), ID 1.
resources=$(sed -n '/The .rsrc Resource Directory section/,$p' <<<"$headers")
check "one resource, of type RT_MANIFEST" \
    grep -Eq 'Type Table: .*Num Names: 0, IDs: 1$' <<<"$resources"
check "resource type 24" grep -q 'Entry: ID: 0x000018,' <<<"$resources"
check "resource ID 1" grep -q 'Entry: ID: 0x000001,' <<<"$resources"
check "manifest embedded" test -n "$manifest"
check "manifest asks for asInvoker" \
    grep -q 'requestedExecutionLevel level="asInvoker"' <<<"$manifest"
for os in e2011457-1546-43c5-a5fe-008deee3d3f0 35138b9a-5d96-4fbd-8e2d-a2440225f93a \
    4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 1f676c76-80e1-4239-95bb-83d0f6d0da78 \
    8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a; do
    check "manifest names supportedOS $os" grep -q "supportedOS Id=\"{$os}\"" <<<"$manifest"
done
check "stripped: no symbols" eval '! grep -q HAS_SYMS <<<"$file_format"'
check "no link time stamp" grep -Eq '^Time/Date[[:space:]]+Thu Jan  1 00:00:00 1970' <<<"$headers"

finish_checks
