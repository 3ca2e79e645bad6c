#!/usr/bin/env bats
# The real pre-installer under one Wine prefix (WINEPREFIX): each case lays a distribution
# folder with the real QZDrvPrep builds, runs it (through the launcher or directly), and checks
# the driver store (C:\windows\inf, found by content), the exit code and the log.
# Environment: WINEPREFIX, E2E_WORK (scratch folder), LAUNCHER_EXE, PREP_X86, PREP_X64,
# CATALOG_TOOL (the Linux driversetup-catalog).

# What Setup's codes leave of an exit code on Linux: their low byte.
readonly kInWow64LowByte=53           # 0xE0000235, ERROR_IN_WOW64
readonly kNoCatalogLowByte=47         # 0xE000022F, ERROR_NO_CATALOG_FOR_OEM_INF
readonly kHashNotInCatalogLowByte=75  # 0xE000024B, ERROR_FILE_HASH_NOT_IN_CATALOG

setup() {
    load "${BATS_TEST_DIRNAME}/../bats_helper"
    scripts=$BATS_TEST_DIRNAME/../../scripts
    # shellcheck source=../../scripts/wine_common.sh
    . "$scripts/wine_common.sh"
    run_timeout=$((60 * ${DRIVERSETUP_TIMEOUT_SCALE:-1}))
    if [ -d "$WINEPREFIX/drive_c/windows/syswow64" ]; then bits=64; else bits=32; fi
    if [ "$bits" = 64 ]; then
        arch_dir=amd64 build=x64 program='Drive\amd64\QZDrvPrep_x64.exe'
    else
        arch_dir=x86 build=x86 program='Drive\i386\QZDrvPrep_x86.exe'
    fi
    dist=$E2E_WORK/prep-$BATS_TEST_DESCRIPTION-win$bits
    log=$(wine_temp_dir "$WINEPREFIX")/QZDrvPrep.log
    "$scripts/lay_distribution.sh" "$dist" "$LAUNCHER_EXE" "$PREP_X86" "$PREP_X64"
    sample_inf=$dist/Drive/Tavix/$arch_dir/quenusb.inf
    # Each case starts from a store without the package and an empty log.
    wine_staged_copies "$WINEPREFIX" "$sample_inf" | while IFS= read -r file; do rm -f "$file"; done
    rm -f "$log"
}

teardown() {
    timeout "$run_timeout" wineserver -w
}

# copies_in_store: how many files in the INF folder have the sample INF's exact bytes.
copies_in_store() { wine_staged_copies "$WINEPREFIX" "$sample_inf" | grep -c . || true; }

# sign_catalog CAT: signs CAT in place with a throwaway certificate made once per work folder.
sign_catalog() {
    local pki=$E2E_WORK/preinstaller-pki
    pki_signer "$pki" signer "/CN=Throwaway Preinstaller Signer"
    osslsigncode sign -certs "$pki/signer.pem" -key "$pki/signer.key" -in "$1" -out "$1.signed" \
        >/dev/null
    mv "$1.signed" "$1"
}

# run_prep: runs this prefix's pre-installer on the sample INF; sets exit_code.
run_prep() {
    run_in_dist "$program" /I "Drive\\Tavix\\$arch_dir\\quenusb.inf"
}

# run_in_dist PROGRAM [ARG...]: runs a Windows program in the folder; sets exit_code.
run_in_dist() {
    exit_code=0
    (cd "$dist" && timeout "$run_timeout" wine "$@") || exit_code=$?
}

# stages_through_the_launcher RUNS: the launcher started that many times stages the package
# once, and the log shows each run's staging.
stages_through_the_launcher() {
    local runs=$1
    for _ in $(seq "$runs"); do
        run_in_dist DriverSetup.exe
        expect_equal "launcher exit code" "$exit_code" 0
        # The launcher does not wait; the pre-installer has ended when the prefix is idle.
        timeout "$run_timeout" wineserver -w
    done
    expect_equal "byte-identical copies of the INF in C:\\windows\\inf" "$(copies_in_store)" 1
    expect_equal "finished runs in the log" "$(grep -c '| done |' "$log" 2>/dev/null)" "$runs"
    expect_file_line "stage line" "$log" "| $build | stage | $(wine_windows_path "$sample_inf") | 0 |"
    expect_file_line "done line" "$log" "| $build | done | $(wine_windows_path "$sample_inf") | 0 |"
    # The sample's catalog is unsigned, which Wine's WinVerifyTrust says too.
    expect_file_line "trust line" "$log" "| $build | trust | $(wine_windows_path "$sample_inf") | 0x800B0100 | TRUST_E_NOSIGNATURE: the catalog is not signed | unsigned: Windows will ask an administrator or refuse"
}

@test "launcher_stages" {
    stages_through_the_launcher 1
}

@test "second_run_stages_once" {
    stages_through_the_launcher 2
}

@test "missing_inf" {
    run_in_dist "$program" /I "Drive\\Tavix\\$arch_dir\\missing.inf"
    expect_equal "exit code (ERROR_FILE_NOT_FOUND)" "$exit_code" 2
    expect_file_line "read line" "$log" \
        "| $build | read | $(wine_windows_path "$dist")\\Drive\\Tavix\\$arch_dir\\missing.inf | 2 |"
    expect_equal "copies in the store" "$(copies_in_store)" 0
}

@test "catalog_missing" {
    rm -f "${sample_inf%.inf}.cat"
    run_prep
    expect_equal "exit code (low byte of ERROR_NO_CATALOG_FOR_OEM_INF)" "$exit_code" "$kNoCatalogLowByte"
    expect_file_line "catalog line" "$log" "| $build | catalog | $(wine_windows_path "$sample_inf") | 0xE000022F | ERROR_NO_CATALOG_FOR_OEM_INF: the package has no usable catalog | quenusb.cat is the catalog quenusb.inf names, and it is missing: the package is incomplete"
    expect_equal "copies in the store" "$(copies_in_store)" 0
}

@test "signed_and_intact" {
    sign_catalog "${sample_inf%.inf}.cat"
    run_prep
    expect_equal "exit code" "$exit_code" 0
    expect_equal "byte-identical copies of the INF in C:\\windows\\inf" "$(copies_in_store)" 1
    expect_file_line "catalog line" "$log" "| $build | catalog | $(wine_windows_path "$sample_inf") | 0 |"
    # Wine trusts every signed catalog; its Trusted Publishers store does not hold this signer.
    expect_file_line "trust line" "$log" "| $build | trust | $(wine_windows_path "$sample_inf") | 0 | Success. | Windows will ask an administrator to trust Throwaway Preinstaller Signer"
}

@test "inf_edited_after_signing" {
    sign_catalog "${sample_inf%.inf}.cat"
    echo "; edited after signing" >>"$sample_inf"
    run_prep
    expect_equal "exit code (low byte of ERROR_FILE_HASH_NOT_IN_CATALOG)" "$exit_code" "$kHashNotInCatalogLowByte"
    expect_file_line "catalog line" "$log" "| $build | catalog | $(wine_windows_path "$sample_inf") | 0xE000024B | ERROR_FILE_HASH_NOT_IN_CATALOG: a file of the package is not in its catalog: it was changed after it was signed | quenusb.inf changed after quenusb.cat was made: make the catalog again, then sign it"
    expect_equal "copies of the edited INF in the store" "$(copies_in_store)" 0
}

@test "copied_file_removed" {
    # The sample copies nothing; this package also copies quenusb.bin, and its catalog holds it.
    printf '[QuenUsb_Install.Copy]\r\nCopyFiles=QuenUsb_Files\r\n[QuenUsb_Files]\r\nquenusb.bin\r\n[DestinationDirs]\r\nQuenUsb_Files=12\r\n[SourceDisksNames]\r\n1=%%Vendor%%\r\n[SourceDisksFiles]\r\nquenusb.bin=1\r\n' >>"$sample_inf"
    echo firmware >"$(dirname "$sample_inf")/quenusb.bin"
    "$CATALOG_TOOL" make "$sample_inf" >/dev/null
    sign_catalog "${sample_inf%.inf}.cat"
    rm "$(dirname "$sample_inf")/quenusb.bin"
    run_prep
    expect_equal "exit code (low byte of ERROR_FILE_HASH_NOT_IN_CATALOG)" "$exit_code" "$kHashNotInCatalogLowByte"
    expect_file_line "catalog line" "$log" "| quenusb.bin (INF line "
    expect_file_line "catalog line" "$log" ") is missing: the package is incomplete"
    expect_equal "copies in the store" "$(copies_in_store)" 0
}

@test "non_ascii_path_with_blanks" {
    # The package copied to a folder whose name has blanks and non-ASCII letters, named quoted
    # and absolute; Wine passes the UTF-8 argument on as UTF-16.
    local odd="$dist/Pilotes été 漢字"
    mkdir -p "$odd"
    cp "$sample_inf" "$odd/quenusb.inf"
    cp "${sample_inf%.inf}.cat" "$odd/quenusb.cat"
    export LC_ALL=C.UTF-8
    run_in_dist "$program" /I "$(wine_windows_path "$odd")\\quenusb.inf"
    expect_equal "exit code" "$exit_code" 0
    expect_file_line "stage line" "$log" "| $build | stage | $(wine_windows_path "$odd")\\quenusb.inf | 0 |"
    expect_equal "byte-identical copies of the INF in C:\\windows\\inf" "$(copies_in_store)" 1
}

@test "x86_refuses_on_64_bit" {
    run_in_dist 'Drive\i386\QZDrvPrep_x86.exe' /I "Drive\\Tavix\\$arch_dir\\quenusb.inf"
    expect_equal "exit code (low byte of ERROR_IN_WOW64)" "$exit_code" "$kInWow64LowByte"
    expect_file_line "wow64 line" "$log" "| x86 | wow64 | Drive\\Tavix\\$arch_dir\\quenusb.inf | 0xE0000235 |"
    expect_file_line "hint" "$log" "use QZDrvPrep_x64.exe"
    expect_equal "copies in the store" "$(copies_in_store)" 0
}

# records: the pre-installer's Programs and Features entries of the sample package in the
# prefix (other cases stage other packages there), as reg.exe lists them from the native
# view, where the build of this prefix writes: each key, then its values.
records() {
    local view=()
    [ "$bits" = 32 ] || view=(/reg:64)
    timeout "$run_timeout" wine reg query \
        'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s "${view[@]}" 2>/dev/null |
        tr -d '\r' | awk '
            function flush() { if (block ~ /DisplayName +REG_SZ +Sample USB device\n/) printf "%s", block }
            /^HKEY/ { flush(); block = ""; ours = /\\QZDrvPrep_/ }
            ours { block = block $0 "\n" }
            END { flush() }'
}

@test "record_then_quiet_uninstall" {
    local listed quiet uninstaller kept
    kept="$WINEPREFIX/drive_c/Program Files/QZDrvPrep/QZDrvPrep_$build.exe"
    run_prep
    expect_equal "first staging" "$exit_code" 0
    run_prep
    expect_equal "second staging" "$exit_code" 0
    listed=$(records)
    expect_equal "entries after staging twice" "$(grep -c '^HKEY' <<<"$listed")" 1
    expect_contains "entry" "$listed" "DisplayName    REG_SZ    Sample USB device"
    expect_contains "entry" "$listed" "Publisher    REG_SZ    Sample"
    expect_contains "entry" "$listed" "DisplayVersion    REG_SZ    1.0.0.0"
    # Wine keeps the INF's own name in its INF folder where Windows gives oemNN.inf.
    expect_contains "entry" "$listed" "UninstallString    REG_SZ    \"C:\\Program Files\\QZDrvPrep\\QZDrvPrep_$build.exe\" /U quenusb.inf"
    [ -f "$kept" ] || fail "no kept copy at $kept"
    cmp -s "$kept" "$dist/${program//\\//}" || fail "the kept copy is not the program"
    expect_file_line "record line" "$log" "| $build | record | $(wine_windows_path "$sample_inf") | 0 |"
    # The checker, a 32-bit program, finds the record in the view of the build that wrote it.
    run timeout "$run_timeout" wine "$CHECKER_EXE" "$(wine_windows_path "$dist")"
    expect_contains "checker" "$output" "this machine: staged as quenusb.inf, version 1.0.0.0"

    # The quiet uninstall, run as Programs and Features runs it: the quoted program, then its
    # arguments.
    quiet=$(sed -n 's/^ *QuietUninstallString *REG_SZ *//p' <<<"$listed")
    uninstaller=${quiet#\"}
    uninstaller=${uninstaller%%\"*}
    read -ra arguments <<<"${quiet#\"*\" }"
    expect_equal "quiet arguments" "${arguments[0]} ${arguments[2]}" "/U /Q"
    exit_code=0
    timeout "$run_timeout" wine "$uninstaller" "${arguments[@]}" || exit_code=$?
    timeout "$run_timeout" wineserver -w
    expect_equal "quiet uninstall exit code" "$exit_code" 0
    # Wine lacks DiUninstallDriverW, and its SetupUninstallOEMInfW deletes the INF only when
    # forced: what the removal call does is proven against the fakes, and here only its answer.
    expect_file_line "remove line" "$log" "removed from its devices and the driver store (SetupUninstallOEMInfW)"
    expect_file_line "record deleted" "$log" "| $build | record | C:\\windows\\INF\\${arguments[1]} | 0 | Success. | deleted its Programs and Features entry"
    expect_equal "entries after the uninstall" "$(records | grep -c '^HKEY' || true)" 0
    # No other package is staged in this prefix yet (the real packages' case runs later), so
    # no other entry needs the kept copy.
    [ ! -f "$kept" ] || fail "the kept copy is still there: $(grep '| copy |' "$log")"

    run_in_dist "$program" /U oem9999.inf /Q
    expect_equal "never staged (ERROR_FILE_NOT_FOUND)" "$exit_code" 2
}
