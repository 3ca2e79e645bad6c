#!/usr/bin/env bats
# In one Wine prefix (WINEPREFIX): driversetup-check.exe, on the sample folder with its
# catalogs signed here by a throwaway certificate, must find it ready and name, on its
# "this machine:" line, the same program, parameters and folder that the real launcher then
# starts there; and with an INF edited after signing, and another catalog altered after it was
# signed, it must say so, as the Linux checker does.
# Environment: WINEPREFIX, E2E_WORK, LAUNCHER_EXE, CHECKER_EXE, STANDIN_X86, STANDIN_X64,
# DRIVERSETUP_SAMPLE_PACKAGE.

setup() {
    load "${BATS_TEST_DIRNAME}/../bats_helper"
    scripts=$BATS_TEST_DIRNAME/../../scripts
    # shellcheck source=../../scripts/wine_common.sh
    . "$scripts/wine_common.sh"
    run_timeout=$((60 * ${DRIVERSETUP_TIMEOUT_SCALE:-1}))
}

# lay_signed DIST: lays the sample folder and signs its catalogs with a throwaway certificate.
lay_signed() {
    local dist=$1 pki=$E2E_WORK/checker-pki folder
    "$scripts/lay_distribution.sh" "$dist" "$LAUNCHER_EXE" "$STANDIN_X86" "$STANDIN_X64"
    pki_signer "$pki" signer "/CN=Throwaway Checker Signer"
    for folder in x86 amd64; do
        osslsigncode sign -certs "$pki/signer.pem" -key "$pki/signer.key" \
            -in "$dist/Drive/Tavix/$folder/quenusb.cat" -out "$dist/signed.cat" >/dev/null
        mv "$dist/signed.cat" "$dist/Drive/Tavix/$folder/quenusb.cat"
    done
}

# run_checker DIST: runs the Windows checker in DIST; sets output (without CRs) and
# checker_exit, and shows the report.
run_checker() {
    cp "$CHECKER_EXE" "$E2E_WORK/driversetup-check.exe"
    checker_exit=0
    output=$(cd "$1" && timeout "$run_timeout" wine "$E2E_WORK/driversetup-check.exe") ||
        checker_exit=$?
    output=$(tr -d '\r' <<<"$output")
    printf '%s\n' "$output"
}

@test "checker_names_the_started_row" {
    local bits=32
    [ -d "$WINEPREFIX/drive_c/windows/syswow64" ] && bits=64
    local dist=$E2E_WORK/checker-win$bits
    local report=$dist/$STANDIN_REPORT_NAME
    lay_signed "$dist"
    run_checker "$dist"
    expect_equal "checker exit code on the sample folder" "$checker_exit" 0
    # Wine trusts every signed catalog; its Trusted Publishers store does not hold this signer.
    expect_contains "prediction" "$output" \
        "this machine: Windows will ask an administrator to trust Throwaway Checker Signer"
    local line named_program named_parameters named_folder
    line=$(grep '^this machine: the launcher would start ' <<<"$output")
    named_program=$(sed -n 's/^this machine: the launcher would start \(.*\) with parameters ".*$/\1/p' <<<"$line")
    named_parameters=$(sed -n 's/^.* with parameters "\(.*\)" in folder .*$/\1/p' <<<"$line")
    named_folder=$(sed -n 's/^.*" in folder \(.*\)$/\1/p' <<<"$line")

    (cd "$dist" && timeout "$run_timeout" wine DriverSetup.exe)
    timeout "$run_timeout" wineserver -w

    expect_equal "folder named by the checker" "$named_folder" "$(wine_windows_path "$dist")"
    expect_equal "program the launcher started" "$(standin_report_value "$report" program)" \
        "$named_folder\\$named_program"
    expect_equal "parameters the launcher passed" "$(standin_report_value "$report" arguments)" \
        "$named_parameters"
    expect_equal "folder the launcher started it in" \
        "$(standin_report_value "$report" working_directory)" "$named_folder"
    expect_equal "row for ${bits}-bit Windows" "$(standin_report_value "$report" bits)" "$bits"
}

@test "checker_finds_a_tampered_package" {
    local bits=32 folder=x86 other_bits=64 other_folder=amd64
    [ -d "$WINEPREFIX/drive_c/windows/syswow64" ] && bits=64 folder=amd64 other_bits=32 other_folder=x86
    local dist=$E2E_WORK/checker-tampered-win$bits
    lay_signed "$dist"
    echo "; edited after signing" >>"$dist/Drive/Tavix/$folder/quenusb.inf"
    # One UTF-16 letter of the hardware ID attribute, which the signature covers.
    flip_first "$dist/Drive/Tavix/$other_folder/quenusb.cat" 'v\x00i\x00d\x00_\x00'
    run_checker "$dist"
    expect_equal "checker exit code" "$checker_exit" 1
    expect_contains "finding" "$output" \
        "error   [$bits-bit] Drive\\Tavix\\$folder\\quenusb.cat: quenusb.inf changed after quenusb.cat was made: make the catalog again, then sign it"
    expect_contains "prediction" "$output" \
        "this machine: the pre-installer would stage nothing: quenusb.inf changed after quenusb.cat was made: make the catalog again, then sign it"
    expect_contains "finding" "$output" \
        "error   [$other_bits-bit] Drive\\Tavix\\$other_folder\\quenusb.cat: is signed by Throwaway Checker Signer, but the signature does not match its content"
    if [ -n "${HOST_CHECKER:-}" ]; then
        # The Linux checker finds the same, line for line, but for the "this machine" row.
        local host_output
        host_output=$("$HOST_CHECKER" "$dist" | grep -v '^checking \|^this machine' || true)
        expect_equal "Windows and Linux checkers agree" \
            "$(grep -v '^checking \|^this machine' <<<"$output")" "$host_output"
    fi
}
