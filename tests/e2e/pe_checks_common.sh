# Shared by the static exe checks; source it. Reads the exe's headers with objdump and counts
# named checks.
# Needs: exe and objdump set before sourcing.

failures=0
checks=0
# check WHAT COMMAND...: runs one check and prints ok or FAIL with its name.
check() {
    local what=$1
    shift
    checks=$((checks + 1))
    if "$@"; then echo "ok: $what"; else echo "FAIL: $what" >&2; failures=$((failures + 1)); fi
}
# finish_checks: prints the tally; its status is the verdict.
finish_checks() {
    echo "$((checks - failures)) passed, $failures failed"
    [ "$failures" -eq 0 ]
}

headers=$("$objdump" -p "$exe")
sections=$("$objdump" -h "$exe")
file_format=$("$objdump" -f "$exe")
