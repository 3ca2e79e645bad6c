#!/usr/bin/env bash
# The emulated x86-64 Debian guest that runs Wine where this machine's kernel cannot run 32-bit
# x86 code. Made on first use from Debian's packages (mmdebstrap), cached outside the tree,
# booted with QEMU (KVM where /dev/kvm is usable, else emulation) without network, once a job.
#
# Usage: guest.sh run COMMAND [ARG...]  copies this tree (less Wine prefixes and host builds)
#                                       onto the guest's own disk, runs COMMAND there from the
#                                       same folder, streams its output, returns its exit code
#        guest.sh make                  makes the cached guest if it is missing or outdated
#        guest.sh --accel               prints kvm or tcg
#
# Settings (environment): DRIVERSETUP_GUEST_CACHE (default ~/.cache/driversetup-guest),
# DRIVERSETUP_GUEST_ACCEL=auto|kvm|tcg, and time-outs in seconds DRIVERSETUP_GUEST_MAKE_TIMEOUT,
# _BOOT_TIMEOUT, _JOB_TIMEOUT and _POWEROFF_TIMEOUT.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
tree=$(cd "$here/.." && pwd)
cache=${DRIVERSETUP_GUEST_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/driversetup-guest}
os_release=${DRIVERSETUP_GUEST_OS_RELEASE:-/etc/os-release}
# The tools by name; the tests point these elsewhere.
qemu=${DRIVERSETUP_GUEST_QEMU:-qemu-system-x86_64}
mmdebstrap=${DRIVERSETUP_GUEST_MMDEBSTRAP:-mmdebstrap}
apt_sources=${DRIVERSETUP_GUEST_APT_SOURCES:-/etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources}

# Bumped when the way the image is made changes, so that old caches are remade.
readonly kImageFormat=1
# Free space that making the image needs: the unpacked root (about 2 GiB) and its image.
readonly kMakeNeedKiB=$((6 * 1024 * 1024))
# Room on the job disk beyond the copied tree: two Wine prefixes and test scratch.
readonly kJobSpareKiB=$((4 * 1024 * 1024))
readonly kGuestMemoryMiB=4096
# Long enough for the kernel to reach its first process under KVM, where it takes a second.
readonly kKvmProbeSeconds=30
# What the guest needs beyond the test packages: its kernel, and tools that the minimal
# variant leaves out but the tests and this script's start-up use.
readonly kGuestExtras=(linux-image-amd64 git mawk mount procps)
readonly kBootMarker='driversetup-guest: booted'
readonly kEndMarker='driversetup-guest: job ended with exit code'
# Variables that the job sees as here; DRIVERSETUP_WINE is set to native inside, and
# DRIVERSETUP_IN_GUEST to 1.
readonly kPassedVariables=(CI NO_COLOR SOURCE_DATE_EPOCH DRIVERSETUP_TIMEOUT_SCALE)

say() { echo "guest: $*"; }
die() {
    echo "guest: $*" >&2
    exit 1
}

# accel: kvm or tcg. KVM counts as usable only once the guest's kernel has booted with it:
# a /dev/kvm that opens can still hang or abort in a nested machine. The answer is cached
# beside the image.
accel() {
    case ${DRIVERSETUP_GUEST_ACCEL:-auto} in
    kvm | tcg)
        echo "$DRIVERSETUP_GUEST_ACCEL"
        return
        ;;
    auto) ;;
    *) die "DRIVERSETUP_GUEST_ACCEL must be auto, kvm or tcg, not '$DRIVERSETUP_GUEST_ACCEL'" ;;
    esac
    if ! [ -c /dev/kvm ] || ! [ -r /dev/kvm ] || ! [ -w /dev/kvm ]; then
        echo tcg
        return
    fi
    local key
    key=$(image_key)
    local image_dir=$cache/$key
    if [ ! -f "$image_dir/kvm" ]; then
        need_tools >&2
        (make_image "$key") >&2 || exit 1
        local console
        console=$(mktemp) || exit 1
        (timeout "$kKvmProbeSeconds" "$qemu" -accel kvm -cpu host -m 512 -nodefaults -display none \
            -monitor none -nic none -no-reboot -serial "file:$console" -kernel "$image_dir/vmlinuz" \
            -initrd "$image_dir/initrd.img" -append "console=ttyS0 panic=1 init=/bin/true" \
            -drive "file=$image_dir/root.img,format=raw,if=virtio,snapshot=on"
            true) >/dev/null 2>&1
        if grep -q 'Kernel panic' "$console"; then echo kvm >"$image_dir/kvm"; else echo tcg >"$image_dir/kvm"; fi
        rm -f "$console"
    fi
    cat "$image_dir/kvm"
}

# need_tools: installs the guest tools this machine lacks, or stops naming them.
need_tools() {
    local tool missing=()
    for tool in "$qemu" "$mmdebstrap" mkfs.ext4 debugfs; do
        command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    say "installing what makes and boots the guest (missing: ${missing[*]})"
    "$here/install-deps.sh" guest ||
        die "step 'install qemu and mmdebstrap' failed: ${missing[*]} missing and could not be installed"
    for tool in "${missing[@]}"; do
        command -v "$tool" >/dev/null 2>&1 || die "step 'install qemu and mmdebstrap' failed: $tool is still missing"
    done
}

# debian_sources [release-only]: this machine's Debian apt entries for its release, as
# one-line "deb URI SUITE main" entries; with release-only, only the release suite itself.
debian_sources() {
    local codename only=${1:-}
    codename=$(sed -n 's/^VERSION_CODENAME=//p' "$os_release" | tr -d '"')
    [ -n "$codename" ] || return 1
    # shellcheck disable=SC2086
    cat $apt_sources 2>/dev/null | awk -v codename="$codename" -v only="$only" '
        function emit(uri, suite) {
            if (suite == codename || (only == "" && (suite == codename "-updates" || suite == codename "-security")))
                if (!seen[uri " " suite]++) print "deb " uri " " suite " main"
        }
        function flush(  u, s) {
            if (types ~ /(^| )deb( |$)/ && enabled != "no")
                for (u = 1; u <= nu; u++) for (s = 1; s <= ns; s++) emit(uris[u], suites[s])
            types = ""; enabled = ""; nu = 0; ns = 0
        }
        /^[ \t]*#/ { next }
        /^deb[ \t]/ { sub(/\[[^]]*\][ \t]*/, ""); emit($2, $3); next }
        /^[ \t]*$/ { flush(); next }
        /^Types:/ { types = $0; sub(/^Types:[ \t]*/, "", types) }
        /^Enabled:/ { enabled = tolower($2) }
        /^URIs:/ { for (i = 2; i <= NF; i++) uris[++nu] = $i }
        /^Suites:/ { for (i = 2; i <= NF; i++) suites[++ns] = $i }
        END { flush() }'
}

packages() {
    "$here/install-deps.sh" --list release
    printf '%s\n' "${kGuestExtras[@]}"
}

# image_key: names the cached guest by everything it is made from.
image_key() {
    { echo "format $kImageFormat"; packages; debian_sources; cat "$here/guest-init.sh"; } |
        sha256sum | cut -c1-16
}

# make_image: makes $cache/$key (root.img, vmlinuz, initrd.img) unless it is there.
make_image() {
    local key=$1 image_dir=$cache/$1
    [ -f "$image_dir/ready" ] && return 0
    mkdir -p "$cache" || die "step 'make the cache folder' failed: cannot create $cache"
    local avail
    avail=$(df -Pk "$cache" | awk 'NR == 2 { print $4 }')
    [ "${avail:-0}" -ge "$kMakeNeedKiB" ] ||
        die "step 'check free disk space' failed: $cache has $((avail / 1024)) MiB free; making the guest needs $((kMakeNeedKiB / 1024)) MiB"
    local work
    work=$(mktemp -d "$cache/making.XXXXXX") || die "step 'make a work folder' failed in $cache"
    # shellcheck disable=SC2064
    trap "rm -rf '$work'" EXIT
    local codename
    codename=$(sed -n 's/^VERSION_CODENAME=//p' "$os_release" | tr -d '"')
    local all_sources=() release_sources=() line
    while IFS= read -r line; do all_sources+=("$line"); done < <(debian_sources)
    while IFS= read -r line; do release_sources+=("$line"); done < <(debian_sources release-only)
    [ -n "$codename" ] && [ ${#release_sources[@]} -gt 0 ] ||
        die "step 'read the apt sources' failed: no Debian entry for this release in $apt_sources"
    local include
    include=$(packages | paste -sd, -)
    say "making the guest in $cache (first use, or its package list changed): Debian $codename with $(packages | wc -l) packages"
    local attempt sources_used=
    for attempt in all release; do
        local list=("${all_sources[@]}")
        [ "$attempt" = release ] && list=("${release_sources[@]}")
        rm -rf "$work/root"
        say "step 'mmdebstrap': ${list[*]}"
        if timeout "${DRIVERSETUP_GUEST_MAKE_TIMEOUT:-3600}" "$mmdebstrap" --variant=apt --architectures=amd64,i386 \
            --include="$include" --dpkgopt='path-exclude=/usr/share/doc/*' \
            --dpkgopt='path-exclude=/usr/share/man/*' --dpkgopt='path-exclude=/usr/share/locale/*' \
            "$codename" "$work/root" "${list[@]}" >"$work/mmdebstrap.log" 2>&1; then
            sources_used=$attempt
            break
        fi
        tail -n 15 "$work/mmdebstrap.log" | sed 's/^/    /' >&2
        if grep -q 'No space left on device' "$work/mmdebstrap.log"; then
            die "step 'mmdebstrap' failed: the disk under $cache is full"
        fi
        [ "$attempt" = all ] && [ "${#all_sources[@]}" -ne "${#release_sources[@]}" ] || break
        say "mmdebstrap failed with the update suites (a lagging mirror?); retrying once from $codename alone"
    done
    [ -n "$sources_used" ] || die "step 'mmdebstrap' failed (log above); nothing was cached"
    install -m 755 "$here/guest-init.sh" "$work/root/sbin/driversetup-guest-init" ||
        die "step 'install the start-up script' failed"
    local kernel initrd
    kernel=$(ls "$work"/root/boot/vmlinuz-* 2>/dev/null | head -n 1)
    initrd=$(ls "$work"/root/boot/initrd.img-* 2>/dev/null | head -n 1)
    [ -n "$kernel" ] && [ -n "$initrd" ] || die "step 'take the kernel' failed: no vmlinuz and initrd.img in the guest's /boot"
    mkdir -p "$work/out" && cp "$kernel" "$work/out/vmlinuz" && cp "$initrd" "$work/out/initrd.img" ||
        die "step 'take the kernel' failed: could not copy it (disk full?)"
    local used
    used=$(du -sk "$work/root" | cut -f1)
    if ! mkfs.ext4 -q -F -L driversetup -d "$work/root" "$work/out/root.img" "$((used + used / 4 + 524288))k" \
        >"$work/mkfs.log" 2>&1; then
        sed 's/^/    /' "$work/mkfs.log" >&2
        grep -q 'No space left on device' "$work/mkfs.log" &&
            die "step 'mkfs.ext4 (the guest's disk image)' failed: the disk under $cache is full"
        die "step 'mkfs.ext4 (the guest's disk image)' failed"
    fi
    rm -rf "$work/root"
    packages >"$work/out/packages"
    date -u +%s >"$work/out/ready"
    find "$cache" -mindepth 1 -maxdepth 1 -type d ! -name "making.*" -exec rm -rf {} +
    mv "$work/out" "$image_dir" || die "step 'store the guest' failed"
    say "made the guest: $(du -sh "$image_dir" | cut -f1) in $image_dir"
}

# run_job COMMAND...: see the usage above.
run_job() {
    local key image_dir
    key=$(image_key)
    image_dir=$cache/$key
    (make_image "$key") || exit 1
    local run
    run=$(mktemp -d "$cache/run.XXXXXX") || die "step 'make a run folder' failed in $cache"
    qemu_pid=
    stream_pid=
    # shellcheck disable=SC2064
    trap "stop_guest; rm -rf '$run'" EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    mkdir -p "$run/stage/tree"
    tar -C "$tree" --exclude=./build/host --exclude=./build/host-sanitize --exclude='./build/*/wine' \
        --exclude='./build/*/e2e-cases' --exclude='./build/*/reproducible-scratch' -cf - . |
        tar -C "$run/stage/tree" -xf - || die "step 'copy the tree for the guest' failed"
    write_job_script "$@" >"$run/stage/run.sh"
    local used
    used=$(du -sk "$run/stage" | cut -f1)
    mkfs.ext4 -q -F -L job -d "$run/stage" "$run/job.img" "$((used + kJobSpareKiB))k" >"$run/mkfs.log" 2>&1 || {
        sed 's/^/    /' "$run/mkfs.log" >&2
        die "step 'make the job disk' failed"
    }
    rm -rf "$run/stage"
    boot_and_wait "$image_dir" "$run"
}

# write_job_script COMMAND...: the job as the guest's start-up script runs it.
write_job_script() {
    local name
    echo '#!/bin/bash'
    echo 'export HOME=/root LANG=C.UTF-8 PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin'
    echo 'export DRIVERSETUP_WINE=native DRIVERSETUP_IN_GUEST=1'
    for name in "${kPassedVariables[@]}"; do
        [ -n "${!name+set}" ] && printf 'export %s=%q\n' "$name" "${!name}"
    done
    printf 'mkdir -p %q && mount --bind /job/tree %q || exit 125\n' "$tree" "$tree"
    printf 'cd %q || exit 125\n' "$PWD"
    printf 'exec'
    printf ' %q' "$@"
    echo
}

stop_guest() {
    [ -n "${qemu_pid:-}" ] && kill -9 "$qemu_pid" 2>/dev/null && wait "$qemu_pid" 2>/dev/null
    [ -n "${stream_pid:-}" ] && kill "$stream_pid" 2>/dev/null
    qemu_pid=
}

# boot_and_wait IMAGE_DIR RUN_DIR: boots the guest on the job disk, streams its console,
# enforces the time-outs and ends with the job's exit code.
boot_and_wait() {
    local image_dir=$1 run=$2 kind cpu
    kind=$(accel)
    if [ "$kind" = kvm ]; then cpu=host; else cpu=max,-smap; fi
    local boot_timeout=${DRIVERSETUP_GUEST_BOOT_TIMEOUT:-600}
    local job_timeout=${DRIVERSETUP_GUEST_JOB_TIMEOUT:-14400}
    local poweroff_timeout=${DRIVERSETUP_GUEST_POWEROFF_TIMEOUT:-120}
    say "booting ($kind, $kGuestMemoryMiB MiB, no network); the job's output follows"
    : >"$run/console"
    "$qemu" -accel "$kind" -cpu "$cpu" -m "$kGuestMemoryMiB" -smp "$(nproc)" \
        -nodefaults -display none -monitor none -nic none -no-reboot \
        -serial "file:$run/console" -kernel "$image_dir/vmlinuz" -initrd "$image_dir/initrd.img" \
        -append "root=/dev/vda rootfstype=ext4 rw console=ttyS0 quiet loglevel=3 panic=1 init=/sbin/driversetup-guest-init" \
        -drive "file=$image_dir/root.img,format=raw,if=virtio,snapshot=on" \
        -drive "file=$run/job.img,format=raw,if=virtio" </dev/null >"$run/qemu.log" 2>&1 &
    qemu_pid=$!
    # sed -u, not tr: a pipe into CI's log must see each line as it comes.
    tail -n +1 -F -s 0.5 --pid="$qemu_pid" "$run/console" 2>/dev/null | sed -u 's/\r//g' &
    stream_pid=$!
    local started now booted=0 ended_at= failure=
    started=$(date +%s)
    while kill -0 "$qemu_pid" 2>/dev/null; do
        now=$(date +%s)
        if [ "$booted" -eq 0 ] && grep -q "^$kBootMarker" "$run/console"; then booted=1; fi
        if [ -z "$ended_at" ] && tail -n 3 "$run/console" | grep -q "^$kEndMarker"; then ended_at=$now; fi
        if [ "$booted" -eq 0 ] && [ $((now - started)) -gt "$boot_timeout" ]; then
            failure="the guest did not boot within $boot_timeout s (no start-up line on its console)"
        elif [ -n "$ended_at" ] && [ $((now - ended_at)) -gt "$poweroff_timeout" ]; then
            failure="the job ended but the guest did not power off within $poweroff_timeout s"
        elif [ $((now - started)) -gt "$job_timeout" ]; then
            failure="the job ran longer than $job_timeout s (DRIVERSETUP_GUEST_JOB_TIMEOUT)"
        fi
        [ -n "$failure" ] && break
        sleep 1
    done
    if [ -n "$failure" ]; then
        stop_guest
        die "$failure; stopped it"
    fi
    wait "$qemu_pid"
    local qemu_status=$?
    qemu_pid=
    wait "$stream_pid" 2>/dev/null
    stream_pid=
    local code
    code=$(debugfs -R 'cat /exit-code' "$run/job.img" 2>/dev/null | tr -d '[:space:]')
    if ! [[ $code =~ ^[0-9]+$ ]]; then
        sed 's/^/    qemu: /' "$run/qemu.log" >&2
        die "the guest ended (qemu exit $qemu_status) without the job's exit code: the job was killed, crashed the guest, or never ran"
    fi
    say "job exit code $code; the guest has powered off, took $(($(date +%s) - started)) s"
    exit "$code"
}

case ${1:-} in
--accel) accel ;;
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
    sed -n '6,15p' "$0" >&2
    exit 2
    ;;
esac
