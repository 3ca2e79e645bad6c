#!/usr/bin/env bash
# Runs every test: the C++ formatting and the shell scripts' lint, the host unit tests against
# fakes (plain, then under sanitizers with the bounded fuzz runs), then the Windows build, its
# tests that start no Wine (exe checks, reproducibility, release packaging and signing) here,
# and its Wine end-to-end tests where Wine runs: here, or in the emulated guest, which runs
# nothing else and has a time budget. Installs missing Debian packages first, and ends with
# each step's outcome, time and share of the whole.
#
# DRIVERSETUP_GUEST_BUDGET: how long the guest step may take, in seconds (1500, 1500s) or
# minutes (25m); default 25m. Past it the guest is stopped and the step fails with the reason.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
# shellcheck source=steps.sh
. scripts/steps.sh

guest_budget=$(budget_seconds "${DRIVERSETUP_GUEST_BUDGET:-25m}") || {
    echo "test.sh: DRIVERSETUP_GUEST_BUDGET is off" >&2
    exit 2
}

run_step "Checking the Debian packages for both builds" scripts/install-deps.sh all || exit 1

# build_and_test PRESET: configures, builds and tests one preset.
build_and_test() {
    cmake --preset "$1" >/dev/null && cmake --build --preset "$1" && ctest --preset "$1"
}

# lint_shell: shellcheck at warning level over every shell script and bats suite, following
# the files they source.
lint_shell() {
    local files
    mapfile -t files < <(git ls-files '*.sh' '*.bash' '*.bats' .ci/run)
    shellcheck -S warning -x "${files[@]}" && echo "shellcheck: ${#files[@]} files, no findings"
}

# The Windows tree's Wine time-outs are scaled to where Wine runs (scripts/with-wine.sh).
windows_build() {
    read -r wine_mode wine_scale < <(scripts/with-wine.sh --mode)
    [ -n "${wine_scale:-}" ] &&
        cmake --preset windows -DDRIVERSETUP_TIMEOUT_SCALE="$wine_scale" >/dev/null &&
        cmake --build --preset windows
}

run_step "Formatting of the C++ sources (scripts/format.sh mends it)" scripts/format.sh --check
run_step "Shell scripts (shellcheck -S warning)" lint_shell
run_step "Host unit tests (preset host)" build_and_test host
run_step "Host unit tests under ASan and UBSan, and the fuzz targets (preset host-sanitize)" \
    build_and_test host-sanitize
wine_step="Wine end-to-end tests (preset windows-wine)"
if run_step "Windows build (preset windows)" windows_build; then
    run_step "Exe checks, reproducibility and release tests, no Wine (preset windows-host)" \
        ctest --preset windows-host
    if [ "$wine_mode" = guest ]; then
        # Made once and cached; its first making is no part of the budget.
        if run_step "The emulated guest (made on first use)" scripts/guest.sh make; then
            run_step "$wine_step, in the emulated guest (budget $guest_budget s)" \
                within_budget "$guest_budget" "The guest step (DRIVERSETUP_GUEST_BUDGET)" \
                scripts/with-wine.sh ctest --preset windows-wine
        else
            skip_step "$wine_step" "no guest"
        fi
    else
        run_step "$wine_step, on this machine" scripts/with-wine.sh ctest --preset windows-wine
    fi
else
    skip_step "Exe checks, reproducibility and release tests" "no Windows build"
    skip_step "$wine_step" "no Windows build"
fi

step "Summary"
print_summary
! steps_failed
