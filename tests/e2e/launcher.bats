#!/usr/bin/env bats
# The real DriverSetup.exe under one Wine prefix (WINEPREFIX): each case lays a fresh
# distribution folder with the recording pre-installer stand-ins, runs the launcher in it and
# checks what the stand-in recorded. The prefix's arch decides the row.
# Environment: WINEPREFIX, E2E_WORK (scratch folder), LAUNCHER_EXE, STANDIN_X86, STANDIN_X64.

setup() {
    load "${BATS_TEST_DIRNAME}/../bats_helper"
    scripts=$BATS_TEST_DIRNAME/../../scripts
    # shellcheck source=../../scripts/wine_common.sh
    . "$scripts/wine_common.sh"
    # Far above the launcher's own run time under Wine (well under a second when warm), so
    # only a hang or a dialog waiting for a click reaches it; scaled for a slower machine.
    launch_timeout=$((30 * ${DRIVERSETUP_TIMEOUT_SCALE:-1}))
    if [ -d "$WINEPREFIX/drive_c/windows/syswow64" ]; then windows_bits=64; else windows_bits=32; fi
    case_name=$BATS_TEST_DESCRIPTION
    dist=$E2E_WORK/$case_name-win$windows_bits
    report=$dist/$STANDIN_REPORT_NAME
    expected_dir=$(wine_windows_path "$dist")
    if [ "$windows_bits" = 64 ]; then
        expected_program="$expected_dir\\Drive\\amd64\\QZDrvPrep_x64.exe"
        expected_arguments='/I Drive\Tavix\amd64\quenusb.inf'
    else
        expected_program="$expected_dir\\Drive\\i386\\QZDrvPrep_x86.exe"
        expected_arguments='/I Drive\Tavix\x86\quenusb.inf'
    fi
}

report_value() { standin_report_value "$report" "$1"; }

# launch LAYOUT [ARG...]: lays the folder (LAYOUT: "", --no-drive or --without-x64), runs the
# launcher there with ARGs, and checks that it exits with 0 and that everything it started
# ends by itself (a dialog or a hung child would not). With HOLD=1 the stand-in runs until
# the launcher has exited; report_at_exit is the report as it stood then.
launch() {
    local layout=$1
    shift
    "$scripts/lay_distribution.sh" "$dist" "$LAUNCHER_EXE" "$STANDIN_X86" "$STANDIN_X64" $layout
    local release=$dist.release hold_env=()
    rm -f "$release"
    [ "${HOLD:-0}" -eq 1 ] && hold_env=("QZDRVPREP_HOLD_FILE=$(wine_windows_path "$release")")
    local exit_code=0
    (cd "$dist" && env "${hold_env[@]}" timeout "$launch_timeout" wine DriverSetup.exe "$@") ||
        exit_code=$?
    report_at_exit=$(tr -d '\r' 2>/dev/null <"$report" || true)
    touch "$release"
    expect_equal "launcher exit code" "$exit_code" 0
    local idle=0
    timeout "$launch_timeout" wineserver -w || idle=$?
    expect_equal "everything started has ended" "$idle" 0
}

# expect_started_row: the stand-in of this Windows' row ran with the row's arguments, hidden,
# in the launcher's folder.
expect_started_row() {
    [ -f "$report" ] || fail "no pre-installer started"
    expect_equal "program" "$(report_value program)" "$expected_program"
    expect_equal "program bits" "$(report_value bits)" "$windows_bits"
    expect_equal "arguments" "$(report_value arguments)" "$expected_arguments"
    expect_equal "working directory" "$(report_value working_directory)" "$expected_dir"
    expect_equal "STARTF_USESHOWWINDOW" "$(report_value startf_useshowwindow)" 1
    expect_equal "show window (SW_HIDE)" "$(report_value show_window)" 0
    expect_equal "INF found from the working directory" "$(report_value inf_found)" 1
}

# expect_nothing_started: the chosen build is missing, and the other build is not tried.
expect_nothing_started() {
    [ ! -e "$report" ] || fail "a pre-installer started: $(tr -d '\r' <"$report")"
}

@test "starts_matching_build" {
    launch ""
    expect_started_row
}

@test "arguments_change_nothing" {
    launch "" /I "Drive\\other.inf" --quiet "two words"
    expect_started_row
}

@test "no_drive_tree" {
    launch --no-drive
    expect_nothing_started
}

@test "only_x86_build_present" {
    launch --without-x64
    expect_nothing_started
}

@test "does_not_wait" {
    HOLD=1 launch ""
    expect_started_row
    # The launcher returned while its child was still held, and the child then finished.
    case $report_at_exit in
    *finished=1*) fail "the pre-installer had already finished when the launcher exited" ;;
    esac
    expect_equal "pre-installer finished after its release" "$(report_value finished)" 1
}
