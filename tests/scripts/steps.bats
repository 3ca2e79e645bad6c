#!/usr/bin/env bats
# shellcheck source-path=SCRIPTDIR
# The step runner of scripts/test.sh: the budget's forms, a step stopped at its budget with
# everything it started and the reason said, and a summary whose times and shares add up.

setup() {
    load "${BATS_TEST_DIRNAME}/../bats_helper"
    # shellcheck source=../../scripts/steps.sh
    . "$BATS_TEST_DIRNAME/../../scripts/steps.sh"
}

# Each row: a name, the value given, and the seconds it means ("refused" where it is refused).
budget_rows=(
    "plain_seconds 1500 1500"
    "seconds_with_unit 90s 90"
    "minutes 25m 1500"
    "leading_zero_is_decimal 08m 480"
    "zero 0 refused"
    "zero_minutes 0m refused"
    "fraction 1.5m refused"
    "hours_unknown 1h refused"
    "word soon refused"
    "empty '' refused"
    "negative -5 refused"
    "too_large 9999999 refused"
)

@test "budget values" {
    local row name value want got
    for row in "${budget_rows[@]}"; do
        read -r name value want <<<"$row"
        [ "$value" = "''" ] && value=
        got=$(budget_seconds "$value" 2>/dev/null) || got=refused
        expect_equal "budget row $name ($value)" "$got" "$want"
    done
}

@test "a refused budget says what a budget is" {
    run --separate-stderr budget_seconds 1h
    expect_equal "status" "$status" 1
    # shellcheck disable=SC2154 # set by bats' run --separate-stderr
    expect_contains "message" "$stderr" "minutes (25m), above zero; not '1h'"
}

@test "within its budget a command's own status comes back" {
    run within_budget 30 "The step" sh -c 'exit 3'
    expect_equal "status" "$status" 3
    expect_equal "nothing said" "$output" ""
}

@test "past its budget the command and what it started are stopped, and the reason is said" {
    local pids=$BATS_TEST_TMPDIR/pids started=$SECONDS
    run within_budget 1 "The guest step (DRIVERSETUP_GUEST_BUDGET)" \
        bash -c 'sleep 300 & echo $! >"$1"; echo $$ >>"$1"; wait' - "$pids"
    expect_equal "status" "$status" 124
    expect_contains "reason" "$output" \
        "The guest step (DRIVERSETUP_GUEST_BUDGET) ran past its budget of 1 s (0 min 1 s) and was stopped"
    [ $((SECONDS - started)) -lt 20 ] || fail "stopping took $((SECONDS - started)) s"
    local pid state
    while read -r pid; do
        # Gone, or dead and waiting only to be reaped.
        state=$(ps -o stat= -p "$pid") || continue
        if [[ $state != Z* ]]; then
            kill -9 "$pid"
            fail "process $pid outlived the budget"
        fi
    done <"$pids"
}

@test "the summary gives each step's outcome, time and share, and the total" {
    record_step "First" passed 30
    record_step "Second" FAILED 90
    record_step "Third (no build)" skipped 0
    run print_summary
    expect_equal "line 1" "${lines[0]}" "    passed      30 s  25%  First"
    expect_equal "line 2" "${lines[1]}" "    FAILED      90 s  75%  Second"
    expect_equal "line 3" "${lines[2]}" "    skipped      0 s   0%  Third (no build)"
    expect_equal "total" "${lines[3]}" "    total      120 s (2 min 0 s)"
    steps_failed || fail "a FAILED step must fail the run"
}

@test "run_step records what the command did" {
    run_step "Passes" true >/dev/null
    run_step "Fails" false >/dev/null || true
    expect_equal "outcomes" "${step_outcomes[*]}" "passed FAILED"
    expect_equal "names" "${step_names[*]}" "Passes Fails"
}
