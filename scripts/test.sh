#!/usr/bin/env bash
# Runs every test: the C++ formatting and the shell scripts' lint, the host unit tests against
# fakes (plain, then under sanitizers with the bounded fuzz runs), then the Windows build with
# its Wine end-to-end tests, exe checks and release packaging and signing tests.
# Installs missing Debian packages first.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1

step() { printf '\n==> %s\n' "$*"; }

step "Checking the Debian packages for both builds"
scripts/install-deps.sh all || exit 1

# run_step NAME COMMAND...: runs one step under its heading and records whether it passed.
results=()
status=0
run_step() {
    local name=$1
    shift
    step "$name"
    if "$@"; then
        results+=("passed: $name")
    else
        results+=("FAILED: $name")
        status=1
    fi
}

# build_and_test PRESET: configures, builds and tests one preset.
build_and_test() {
    cmake --preset "$1" >/dev/null && cmake --build --preset "$1" && ctest --preset "$1"
}

# The Windows tests run where Wine can run 32-bit programs (scripts/with-wine.sh): on this
# machine, or in the emulated guest, with time-outs scaled to its speed.
windows_build_and_test() {
    local scale
    read -r _ scale < <(scripts/with-wine.sh --mode) || return 1
    [ -n "$scale" ] || return 1
    cmake --preset windows -DDRIVERSETUP_TIMEOUT_SCALE="$scale" >/dev/null &&
        cmake --build --preset windows && scripts/with-wine.sh ctest --preset windows
}

# lint_shell: shellcheck at warning level over every shell script and bats suite, following
# the files they source.
lint_shell() {
    local files
    mapfile -t files < <(git ls-files '*.sh' '*.bash' '*.bats' .ci/run)
    shellcheck -S warning -x "${files[@]}" && echo "shellcheck: ${#files[@]} files, no findings"
}

run_step "Formatting of the C++ sources (scripts/format.sh mends it)" scripts/format.sh --check
run_step "Shell scripts (shellcheck -S warning)" lint_shell
run_step "Host unit tests (preset host)" build_and_test host
run_step "Host unit tests under ASan and UBSan, and the fuzz targets (preset host-sanitize)" \
    build_and_test host-sanitize
run_step "Windows build, Wine end-to-end tests, exe checks, release tests (preset windows)" \
    windows_build_and_test

step "Summary"
printf '    %s\n' "${results[@]}"
exit $status
