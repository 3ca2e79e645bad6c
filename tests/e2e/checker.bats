#!/usr/bin/env bats
# In one Wine prefix (WINEPREFIX): driversetup-check.exe must name, on its "this machine:"
# line, the same program, parameters and folder that the real launcher then starts there.
# Environment: WINEPREFIX, E2E_WORK, LAUNCHER_EXE, CHECKER_EXE, STANDIN_X86, STANDIN_X64.

setup() {
    load "${BATS_TEST_DIRNAME}/../bats_helper"
    scripts=$BATS_TEST_DIRNAME/../../scripts
    # shellcheck source=../../scripts/wine_common.sh
    . "$scripts/wine_common.sh"
    run_timeout=$((60 * ${DRIVERSETUP_TIMEOUT_SCALE:-1}))
}

@test "checker_names_the_started_row" {
    local bits=32
    [ -d "$WINEPREFIX/drive_c/windows/syswow64" ] && bits=64
    local dist=$E2E_WORK/checker-win$bits
    local report=$dist/$STANDIN_REPORT_NAME
    "$scripts/lay_distribution.sh" "$dist" "$LAUNCHER_EXE" "$STANDIN_X86" "$STANDIN_X64"
    cp "$CHECKER_EXE" "$E2E_WORK/driversetup-check.exe"

    local output checker_exit=0
    output=$(cd "$dist" && timeout "$run_timeout" wine "$E2E_WORK/driversetup-check.exe") ||
        checker_exit=$?
    output=$(tr -d '\r' <<<"$output")
    printf '%s\n' "$output"
    expect_equal "checker exit code on the sample folder" "$checker_exit" 0
    local line named_program named_parameters named_folder
    line=$(grep '^this machine: ' <<<"$output")
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
