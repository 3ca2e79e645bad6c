#!/usr/bin/env bash
# Installs the Debian packages that the build, the demo and the tests need, only those
# missing, and says which. Needs root only when something is missing.
# Usage: install-deps.sh [--list] [host|windows|release|guest|all]    (default: all)
#   --list  prints the set's packages, one a line, and installs nothing (the guest that runs
#           Wine where this machine cannot is made with the release set)
#
# A mirror whose i386 security index lags behind (a "Mirror sync in progress?" download error)
# leaves apt with amd64 updates that the i386 side cannot match, and the plain install of
# wine32:i386 then fails with unmet dependencies. So a failed index update is noted and passed
# over, and a failed install is retried once from the release's own suite (-t CODENAME), which
# resolves the whole set consistently.
set -euo pipefail
# shellcheck source=release_codename.sh
. "$(dirname "$0")/release_codename.sh"

# bats and its libraries run the shell tests; shellcheck lints every script; libcrypto hashes
# and reads signatures for the catalog tool, whose tests check it against openssl and
# osslsigncode; scdoc makes their manual pages and lintian checks their Debian package.
host_packages=(cmake ninja-build g++ libgtest-dev clang-format git clang libclang-rt-14-dev
    bats bats-assert bats-support shellcheck libssl-dev openssl osslsigncode scdoc lintian)
# The Windows tree builds driversetup-catalog for this machine too, with libcrypto.
windows_packages=(cmake ninja-build g++-mingw-w64-i686 g++-mingw-w64-x86-64
    binutils-mingw-w64-i686 wine wine64 wine32:i386 bats bats-assert bats-support g++ libssl-dev)
release_packages=(osslsigncode openssl zip unzip)
# What makes and boots the emulated x86-64 guest (scripts/guest.sh) on a machine whose kernel
# cannot run 32-bit x86 code.
guest_packages=(qemu-system-x86 mmdebstrap e2fsprogs)

list_only=0
if [ "${1:-}" = --list ]; then
    list_only=1
    shift
fi

# Where the release codename comes from; tests point it at a file of their own.
os_release=${INSTALL_DEPS_OS_RELEASE:-/etc/os-release}

case ${1:-all} in
host) wanted=("${host_packages[@]}") ;;
windows) wanted=("${windows_packages[@]}") ;;
release) wanted=("${windows_packages[@]}" "${release_packages[@]}") ;;
guest) wanted=("${guest_packages[@]}") ;;
all) wanted=("${host_packages[@]}" "${windows_packages[@]}" "${release_packages[@]}") ;;
*)
    echo "usage: $0 [--list] [host|windows|release|guest|all]" >&2
    exit 2
    ;;
esac

if [ "$list_only" -eq 1 ]; then
    printf '%s\n' "${wanted[@]}"
    exit 0
fi

missing=()
for package in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        case " ${missing[*]:-} " in *" $package "*) ;; *) missing+=("$package") ;; esac
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all needed Debian packages are present."
    exit 0
fi
echo "install-deps: installing missing Debian packages: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: this needs root; run it again as root or with sudo." >&2
    exit 1
fi
# wine32 is an i386 package: the 32-bit Wine that runs the launcher needs that architecture.
case " ${missing[*]} " in
*":i386 "*)
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        echo "install-deps: enabling the i386 package architecture for wine32"
        dpkg --add-architecture i386
    fi
    ;;
esac
export DEBIAN_FRONTEND=noninteractive

# The index addresses that apt-get update could not fetch, one a line, from its output.
failed_indexes() {
    sed -n 's/^[EW]: Failed to fetch \([^ ]*\).*/\1/p' "$1" | sort -u
}

update_log=$(mktemp)
trap 'rm -f "$update_log"' EXIT
if apt-get update -q 2>&1 | tee "$update_log"; then
    update_failed=0
else
    update_failed=1
    echo "install-deps: apt-get update failed for some indexes; going on with what it fetched:"
    failed_indexes "$update_log" | sed 's/^/    /'
fi

if apt-get install -y -q "${missing[@]}"; then
    echo "install-deps: done."
    exit 0
fi

codename=$(release_codename "$os_release")
if [ -z "$codename" ]; then
    echo "install-deps: the install failed, and $os_release names no VERSION_CODENAME to retry from." >&2
    exit 1
fi
echo "install-deps: the plain install failed (a lagging index can leave updates that the other" \
    "architecture cannot match); retrying once from the release suite with -t $codename"
if apt-get install -y -q -t "$codename" "${missing[@]}"; then
    echo "install-deps: done (from $codename)."
    exit 0
fi

echo "install-deps: the install failed, also with -t $codename." >&2
if [ "$update_failed" -eq 1 ]; then
    echo "install-deps: these indexes could not be fetched; try again when the mirror has synced:" >&2
    failed_indexes "$update_log" | sed 's/^/    /' >&2
fi
exit 1
