#!/usr/bin/env bash
# shellcheck source-path=SCRIPTDIR
# The emulated x86-64 Debian guest that runs Wine where this machine's kernel cannot run 32-bit
# x86 code. Made on first use from Debian's packages (mmdebstrap), cached outside the tree,
# booted with QEMU (KVM where /dev/kvm is usable, else emulation) without network, once a job.
# Its parts are in scripts/guest/: the image, the job, the apt sources and the KVM probe.
set -uo pipefail

usage() {
    cat <<'USAGE'
Usage: guest.sh run COMMAND [ARG...]  copies this tree (less Wine prefixes and host builds)
                                      onto the guest's own disk, runs COMMAND there from the
                                      same folder, streams its output, returns its exit code
       guest.sh make                  makes the cached guest if it is missing or outdated
       guest.sh --accel               prints kvm or tcg (makes the guest first where only
                                      booting it with KVM can tell)

Settings (environment): DRIVERSETUP_GUEST_CACHE (default ~/.cache/driversetup-guest),
DRIVERSETUP_GUEST_ACCEL=auto|kvm|tcg, and time-outs in seconds DRIVERSETUP_GUEST_MAKE_TIMEOUT,
_BOOT_TIMEOUT, _JOB_TIMEOUT and _POWEROFF_TIMEOUT.
USAGE
}

here=$(cd "$(dirname "$0")" && pwd)
guest_dir=$here/guest
tree=$(cd "$here/.." && pwd)
cache=${DRIVERSETUP_GUEST_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/driversetup-guest}
os_release=${DRIVERSETUP_GUEST_OS_RELEASE:-/etc/os-release}
# The tools by name; the tests point these elsewhere.
qemu=${DRIVERSETUP_GUEST_QEMU:-qemu-system-x86_64}
mmdebstrap=${DRIVERSETUP_GUEST_MMDEBSTRAP:-mmdebstrap}
apt_sources=${DRIVERSETUP_GUEST_APT_SOURCES:-/etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources}

say() { echo "guest: $*"; }
die() {
    echo "guest: $*" >&2
    exit 1
}

# shellcheck source=guest/apt_sources.sh
. "$guest_dir/apt_sources.sh"
# shellcheck source=guest/image.sh
. "$guest_dir/image.sh"
# shellcheck source=guest/kvm.sh
. "$guest_dir/kvm.sh"
# shellcheck source=guest/job.sh
. "$guest_dir/job.sh"

case ${1:-} in
--accel)
    settled=$(settled_accel) || exit 1
    if [ -n "$settled" ]; then
        echo "$settled"
        exit 0
    fi
    need_tools >&2
    key=$(image_key)
    (make_image "$key") >&2 || exit 1
    accel_for "$cache/$key"
    ;;
make)
    need_tools
    make_image "$(image_key)"
    ;;
run)
    shift
    [ $# -gt 0 ] || die "guest.sh run needs a command"
    case $PWD/ in "$tree"/*) ;; *) die "run it from inside $tree, not $PWD" ;; esac
    need_tools
    run_job "$@"
    ;;
*)
    usage >&2
    exit 2
    ;;
esac
