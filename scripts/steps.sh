# shellcheck shell=bash
# The steps of a long run (scripts/test.sh): each under its heading, timed, its outcome kept for
# a summary with each step's share of the time; and a budget that stops a step which would run
# past it, so that the run fails with the reason instead of running out of a caller's time.
# Source this file.

step() { printf '\n==> %s\n' "$*"; }

# What each step was, how it ended (passed, FAILED or skipped) and how long it took.
step_names=()
step_outcomes=()
step_seconds=()

# record_step NAME OUTCOME SECONDS: adds one step to the summary.
record_step() {
    step_names+=("$1")
    step_outcomes+=("$2")
    step_seconds+=("$3")
}

# run_step NAME COMMAND...: runs COMMAND under NAME's heading and records its outcome and time;
# returns COMMAND's status.
run_step() {
    local name=$1 started status=0
    shift
    step "$name"
    started=$SECONDS
    "$@" || status=$?
    if [ "$status" -eq 0 ]; then
        record_step "$name" passed $((SECONDS - started))
    else
        record_step "$name" FAILED $((SECONDS - started))
    fi
    return "$status"
}

# skip_step NAME WHY: records a step that was not run.
skip_step() {
    record_step "$1 ($2)" skipped 0
}

# steps_failed: whether any recorded step failed.
steps_failed() {
    local outcome
    for outcome in "${step_outcomes[@]}"; do
        [ "$outcome" = FAILED ] && return 0
    done
    return 1
}

# print_summary: one line a step (outcome, seconds, share of the whole, name), then the total.
print_summary() {
    local total=0 seconds i share
    for seconds in "${step_seconds[@]}"; do total=$((total + seconds)); done
    for i in "${!step_names[@]}"; do
        share=0
        [ "$total" -gt 0 ] && share=$((100 * step_seconds[i] / total))
        printf '    %-7s %6d s %3d%%  %s\n' "${step_outcomes[i]}" "${step_seconds[i]}" "$share" \
            "${step_names[i]}"
    done
    printf '    %-7s %6d s (%d min %d s)\n' total "$total" $((total / 60)) $((total % 60))
}

# budget_seconds VALUE: prints VALUE in seconds. VALUE is whole seconds ("1500" or "1500s") or
# whole minutes ("25m"), above zero; anything else fails with a message.
budget_seconds() {
    local value=$1 number unit=1
    case $value in
    *m) number=${value%m} unit=60 ;;
    *s) number=${value%s} ;;
    *) number=$value ;;
    esac
    if ! [[ $number =~ ^[0-9]{1,6}$ ]] || [ $((10#$number)) -eq 0 ]; then
        echo "a budget is whole seconds (1500 or 1500s) or minutes (25m), above zero; not '$value'" >&2
        return 1
    fi
    echo $((10#$number * unit))
}

# Seconds between the polite stop at the budget and the forced one.
readonly kBudgetGraceSeconds=30

# within_budget SECONDS WHAT COMMAND...: runs COMMAND, and stops it with everything it started
# once it has run SECONDS; then fails, naming WHAT and the budget. Otherwise returns COMMAND's
# status.
within_budget() {
    local budget=$1 what=$2 status=0 started=$SECONDS
    shift 2
    timeout --kill-after="$kBudgetGraceSeconds" "$budget" "$@" || status=$?
    # 124: timeout stopped it; 137 at the budget: it had to be killed after the grace time.
    if [ "$status" -eq 124 ] || { [ "$status" -eq 137 ] && [ $((SECONDS - started)) -ge "$budget" ]; }; then
        echo "$what ran past its budget of $budget s ($((budget / 60)) min $((budget % 60)) s) and was stopped" >&2
        return 124
    fi
    return "$status"
}
