#!/usr/bin/env bash
# Static checks on the built DriverSetup.exe: PE32 for i386, GUI subsystem, Windows version
# fields, exactly the expected imports, no resources, stripped, no build path or time stamp
# inside, and no bigger than the empty program built the same way plus a small allowance.
# Usage: check_pe.sh EXE OBJDUMP SOURCE_DIR BINARY_DIR EMPTY_PROGRAM
set -uo pipefail

exe=$1 objdump=$2 source_dir=$3 binary_dir=$4 empty_program=$5
# What the launcher's own logic may add to the start-up code's floor: two file-alignment
# blocks of 512 bytes.
readonly kSizeAllowance=1024
# shellcheck source=pe_checks_common.sh
. "$(dirname "$0")/pe_checks_common.sh"

# Lists "DLL function" pairs from the import tables, DLL names in upper case.
imports=$(printf '%s\n' "$headers" | awk '
    /^\tDLL Name: / { dll = toupper($3); next }
    dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print dll, $3; next }
    /^$/ { dll = "" }')
dlls=$(printf '%s\n' "$imports" | cut -d' ' -f1 | sort -u | tr '\n' ' ')
from() { printf '%s\n' "$imports" | awk -v dll="$1" '$1 == dll { print $2 }' | sort | tr '\n' ' '; }

check "i386 PE file" grep -q 'file format pei-i386' <<<"$file_format"
check "PE32 optional header (magic 010b)" grep -Eq '^Magic[[:space:]]+010b' <<<"$headers"
check "GUI subsystem" grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$headers"
# 4.0 lets every Windows from XP on load it; a toolchain change must not raise it silently.
for field in MajorOSystemVersion MajorSubsystemVersion; do
    check "$field is 4" grep -Eq "^$field[[:space:]]+4\$" <<<"$headers"
done
for field in MinorOSystemVersion MinorSubsystemVersion; do
    check "$field is 0" grep -Eq "^$field[[:space:]]+0\$" <<<"$headers"
done
size=$(stat -c %s "$exe")
floor=$(stat -c %s "$empty_program")
check "size $size bytes is at most the empty program's $floor + $kSizeAllowance" \
    test "$size" -le $((floor + kSizeAllowance))
check "imports only KERNEL32, MSVCRT, SHELL32, SHLWAPI (got: $dlls)" \
    test "$dlls" = "KERNEL32.DLL MSVCRT.DLL SHELL32.DLL SHLWAPI.DLL "
check "SHELL32 gives ShellExecuteA and StrStrIA only (got: $(from SHELL32.DLL))" \
    test "$(from SHELL32.DLL)" = "ShellExecuteA StrStrIA "
check "SHLWAPI gives PathFileExistsA only (got: $(from SHLWAPI.DLL))" \
    test "$(from SHLWAPI.DLL)" = "PathFileExistsA "
check "KERNEL32 gives GetSystemDirectoryA" grep -qx 'KERNEL32.DLL GetSystemDirectoryA' <<<"$imports"
# The DLL-search hardening is looked up at run time, so Windows without it still loads the exe.
for name in SetDefaultDllDirectories SetDllDirectoryA; do
    check "$name named in the exe" grep -qaF "$name" "$exe"
    check "$name not imported" eval '! grep -q "KERNEL32.DLL $name\$" <<<"$imports"'
done
check "no resource section" eval '! grep -q "\.rsrc" <<<"$sections"'
check "empty resource directory entry" \
    grep -Eq 'Entry 2 0+ 0+ Resource Directory' <<<"$headers"
check "stripped: no symbols" eval '! grep -q HAS_SYMS <<<"$file_format"'
check "stripped: no debug sections" eval '! grep -q "\.debug" <<<"$sections"'
check "no link time stamp" grep -Eq '^Time/Date[[:space:]]+Thu Jan  1 00:00:00 1970' <<<"$headers"
check "no source path inside" eval '! grep -qaF "$source_dir" "$exe"'
check "no build path inside" eval '! grep -qaF "$binary_dir" "$exe"'

finish_checks
