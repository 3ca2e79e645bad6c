#!/usr/bin/env bats
# Static checks on every shipped exe, read with objdump: machine, PE kind, subsystem, imports,
# resources (none, or only the manifest), stripped, no time stamp, no build paths.
# Environment: OBJDUMP, OBJDUMP_X64, LAUNCHER_EXE, EMPTY_EXE, CHECKER_EXE, PREP_X86, PREP_X64,
# SOURCE_DIR, BINARY_DIR.

# What the launcher's own logic may add to the start-up code's floor: two file-alignment
# blocks of 512 bytes.
readonly kSizeAllowance=1024
# The supported Windows that each manifest names, Vista to 10/11.
readonly kSupportedOs=(e2011457-1546-43c5-a5fe-008deee3d3f0 35138b9a-5d96-4fbd-8e2d-a2440225f93a
    4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 1f676c76-80e1-4239-95bb-83d0f6d0da78
    8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a)

setup() {
    load "${BATS_TEST_DIRNAME}/../bats_helper"
}

# check WHAT COMMAND...: fails the case, naming WHAT, unless COMMAND succeeds.
check() {
    local what=$1
    shift
    "$@" || fail "failed: $what"
}

# read_headers EXE OBJDUMP: sets exe, headers, sections and file_format.
read_headers() {
    exe=$1
    headers=$("$2" -p "$exe")
    sections=$("$2" -h "$exe")
    file_format=$("$2" -f "$exe")
}

# check_manifest_only_resource LEVEL: the exe's one resource is its manifest (RT_MANIFEST, 24,
# ID 1, where Windows reads it), which requests LEVEL and names the supported Windows.
check_manifest_only_resource() {
    local level=$1 manifest resources os
    # The manifest is stored as plain text inside the resource section.
    manifest=$(grep -ao '<assembly.*</assembly>' <(tr -d '\r\n' <"$exe"))
    resources=$(sed -n '/The .rsrc Resource Directory section/,$p' <<<"$headers")
    check "resource section present" grep -q '\.rsrc' <<<"$sections"
    check "one resource, of type RT_MANIFEST" \
        grep -Eq 'Type Table: .*Num Names: 0, IDs: 1$' <<<"$resources"
    check "resource type 24" grep -q 'Entry: ID: 0x000018,' <<<"$resources"
    check "resource ID 1" grep -q 'Entry: ID: 0x000001,' <<<"$resources"
    check "manifest asks for $level" \
        grep -q "requestedExecutionLevel level=\"$level\" uiAccess=\"false\"" <<<"$manifest"
    for os in "${kSupportedOs[@]}"; do
        check "manifest names supportedOS $os" grep -q "supportedOS Id=\"{$os}\"" <<<"$manifest"
    done
}

# check_stripped_without_time_stamp: no symbols and no link time, for reproducible bytes.
check_stripped_without_time_stamp() {
    check "stripped: no symbols" eval '! grep -q HAS_SYMS <<<"$file_format"'
    check "no link time stamp" grep -Eq '^Time/Date[[:space:]]+Thu Jan  1 00:00:00 1970' <<<"$headers"
}

# check_preinstaller EXE OBJDUMP 32|64: one build of the real pre-installer, a GUI program
# with only a manifest that asks for administrator rights (staging a driver needs them),
# importing the driver calls from their own DLLs, hashing from CNG (bcrypt), the trust calls
# from WINTRUST and CRYPT32, the record and the restart from ADVAPI32 and the removal's message
# box from USER32, and leaving the DLL-search calls and DiUninstallDriverW to a run-time lookup.
check_preinstaller() {
    read_headers "$1" "$2"
    local imports dlls
    imports=$(sed -n '/The Import Tables/,/^$/p; /DLL Name:/,/^$/p' <<<"$headers")
    dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | sort | tr '\n' ' ')
    if [ "$3" = 64 ]; then
        check "x86-64 PE file" grep -q 'file format pei-x86-64' <<<"$file_format"
        check "PE32+ optional header (magic 020b)" grep -Eq '^Magic[[:space:]]+020b' <<<"$headers"
    else
        check "i386 PE file" grep -q 'file format pei-i386' <<<"$file_format"
        check "PE32 optional header (magic 010b)" grep -Eq '^Magic[[:space:]]+010b' <<<"$headers"
    fi
    check "GUI subsystem" grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$headers"
    check_manifest_only_resource requireAdministrator
    check "imports from KERNEL32, msvcrt, SETUPAPI, newdev, bcrypt, WINTRUST, CRYPT32, ADVAPI32 and USER32 only (got: $dlls)" \
        test "$dlls" = "ADVAPI32.dll CRYPT32.dll KERNEL32.dll SETUPAPI.dll USER32.dll WINTRUST.dll bcrypt.dll msvcrt.dll newdev.dll "
    check "imports SetupCopyOEMInfW" grep -q 'SetupCopyOEMInfW' <<<"$imports"
    check "imports WinVerifyTrust" grep -q 'WinVerifyTrust' <<<"$imports"
    check "imports UpdateDriverForPlugAndPlayDevicesW" \
        grep -q 'UpdateDriverForPlugAndPlayDevicesW' <<<"$imports"
    check "SetDefaultDllDirectories looked up at run time, not imported" \
        eval '! grep -q "SetDefaultDllDirectories" <<<"$imports"'
    check "imports SetupUninstallOEMInfW and RegCreateKeyExW" \
        eval 'grep -q SetupUninstallOEMInfW <<<"$imports" && grep -q RegCreateKeyExW <<<"$imports"'
    check "DiUninstallDriverW looked up at run time, not imported" \
        eval '! grep -q "DiUninstallDriverW" <<<"$imports"'
    check_stripped_without_time_stamp
}

@test "launcher_format_and_imports" {
    read_headers "$LAUNCHER_EXE" "$OBJDUMP"
    # Lists "DLL function" pairs from the import tables, DLL names in upper case.
    local imports dlls size floor name field
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
        check "$field is 4" grep -Eq "^${field}[[:space:]]+4\$" <<<"$headers"
    done
    for field in MinorOSystemVersion MinorSubsystemVersion; do
        check "$field is 0" grep -Eq "^${field}[[:space:]]+0\$" <<<"$headers"
    done
    size=$(stat -c %s "$exe")
    floor=$(stat -c %s "$EMPTY_EXE")
    check "size $size bytes is at most the empty program's $floor + $kSizeAllowance" \
        test "$size" -le $((floor + kSizeAllowance))
    check "imports only KERNEL32, MSVCRT, SHELL32, SHLWAPI (got: $dlls)" \
        test "$dlls" = "KERNEL32.DLL MSVCRT.DLL SHELL32.DLL SHLWAPI.DLL "
    check "SHELL32 gives ShellExecuteA and StrStrIA only (got: $(from SHELL32.DLL))" \
        test "$(from SHELL32.DLL)" = "ShellExecuteA StrStrIA "
    check "SHLWAPI gives PathFileExistsA only (got: $(from SHLWAPI.DLL))" \
        test "$(from SHLWAPI.DLL)" = "PathFileExistsA "
    check "KERNEL32 gives GetSystemDirectoryA" grep -qx 'KERNEL32.DLL GetSystemDirectoryA' <<<"$imports"
    # The DLL-search hardening is looked up at run time, so Windows without it still loads it.
    for name in SetDefaultDllDirectories SetDllDirectoryA; do
        check "$name named in the exe" grep -qaF "$name" "$exe"
        check "$name not imported" eval '! grep -q "KERNEL32.DLL $name\$" <<<"$imports"'
    done
    check "no resource section" eval '! grep -q "\.rsrc" <<<"$sections"'
    check "empty resource directory entry" \
        grep -Eq 'Entry 2 0+ 0+ Resource Directory' <<<"$headers"
    check "stripped: no debug sections" eval '! grep -q "\.debug" <<<"$sections"'
    check_stripped_without_time_stamp
    check "no source path inside" eval '! grep -qaF "$SOURCE_DIR" "$exe"'
    check "no build path inside" eval '! grep -qaF "$BINARY_DIR" "$exe"'
}

# A console program whose manifest asks for no elevation: its name contains "setup", so
# without one Windows would take it for an installer.
@test "checker_format_and_manifest" {
    read_headers "$CHECKER_EXE" "$OBJDUMP"
    check "i386 PE file" grep -q 'file format pei-i386' <<<"$file_format"
    check "PE32 optional header (magic 010b)" grep -Eq '^Magic[[:space:]]+010b' <<<"$headers"
    check "console subsystem" grep -Eq '^Subsystem[[:space:]]+00000003' <<<"$headers"
    check_manifest_only_resource asInvoker
    check_stripped_without_time_stamp
}

@test "preinstaller_x86_format_and_manifest" {
    check_preinstaller "$PREP_X86" "$OBJDUMP" 32
}

@test "preinstaller_x64_format_and_manifest" {
    check_preinstaller "$PREP_X64" "$OBJDUMP_X64" 64
}
