#!/usr/bin/env bats
# The real pre-installer under one Wine prefix (WINEPREFIX): each case lays a distribution
# folder with the real QZDrvPrep builds, runs it (through the launcher or directly), and checks
# the driver store (C:\windows\inf, found by content), the exit code and the log.
# Environment: WINEPREFIX, E2E_WORK (scratch folder), LAUNCHER_EXE, PREP_X86, PREP_X64.

# What 0xE0000235 (ERROR_IN_WOW64) leaves of an exit code on Linux: its low byte.
readonly kInWow64LowByte=53

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
    # Setup copies the catalog with the INF; without it nothing is staged.
    rm -f "${sample_inf%.inf}.cat"
    run_in_dist "$program" /I "Drive\\Tavix\\$arch_dir\\quenusb.inf"
    expect_equal "exit code (ERROR_FILE_NOT_FOUND)" "$exit_code" 2
    expect_file_line "stage line" "$log" "| $build | stage | $(wine_windows_path "$sample_inf") | 2 |"
    expect_file_line "hint" "$log" "such as its catalog, is not beside it"
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
