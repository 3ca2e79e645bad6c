# shellcheck shell=bash
# What every bats suite here loads: Debian's bats-support and bats-assert, and the checks
# that the suites share. Load it with: load "${BATS_TEST_DIRNAME}/<up>/bats_helper"
bats_require_minimum_version 1.5.0
bats_load_library bats-support
bats_load_library bats-assert

# expect_equal LABEL ACTUAL EXPECTED: assert_equal that names what it compared on failure.
expect_equal() {
    assert_equal "$2" "$3" || {
        echo "  which was: $1" >&2
        return 1
    }
}

# expect_contains LABEL TEXT PART: fails, naming LABEL and showing TEXT, unless TEXT holds PART.
expect_contains() {
    case $2 in
    *"$3"*) ;;
    *)
        printf '%s: does not contain %s\n%s\n' "$1" "$3" "$2" | batslib_decorate "$1" | fail
        ;;
    esac
}

# expect_file_line LABEL FILE TEXT: fails, showing FILE, unless one of its lines holds TEXT.
expect_file_line() {
    grep -qF -- "$3" "$2" 2>/dev/null && return 0
    {
        echo "no line with: $3"
        echo "in $2:"
        sed 's/^/    /' "$2" 2>/dev/null || echo "    (missing)"
    } | batslib_decorate "$1" | fail
}
