#!/usr/bin/env bash
# Installs the Debian packages that the build, the demo and the tests need, only those
# missing, and says which. Needs root only when something is missing.
# Usage: install-deps.sh [host|windows|all]    (default: all)
set -euo pipefail

host_packages=(cmake ninja-build g++ libgtest-dev clang-format git clang libclang-rt-14-dev)
windows_packages=(cmake ninja-build g++-mingw-w64-i686 g++-mingw-w64-x86-64
    binutils-mingw-w64-i686 wine wine64 wine32:i386)

case ${1:-all} in
host) wanted=("${host_packages[@]}") ;;
windows) wanted=("${windows_packages[@]}") ;;
all) wanted=("${host_packages[@]}" "${windows_packages[@]}") ;;
*)
    echo "usage: $0 [host|windows|all]" >&2
    exit 2
    ;;
esac

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
# A mirror that stumbles once should not fail a whole run: three tries, a pause between.
with_retries() {
    local attempt
    for attempt in 1 2 3; do
        "$@" && return 0
        echo "install-deps: '$*' failed (try $attempt of 3)" >&2
        [ "$attempt" -lt 3 ] && sleep 10
    done
    return 1
}
with_retries apt-get update -q
with_retries apt-get install -y -q "${missing[@]}"
echo "install-deps: done."
