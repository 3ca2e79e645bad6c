# shellcheck shell=bash disable=SC2154 # the globals named under "Needs" come from guest.sh
# Running one job in the guest: a copy of the tree on a job disk, the boot, the console
# streamed, the time-outs, and the job's exit code read back; sourced by scripts/guest.sh.
# Needs: tree, cache, qemu, say, die, image_key, make_image, accel_for.

# Room on the job disk beyond the copied tree: two Wine prefixes and test scratch.
readonly kJobSpareKiB=$((4 * 1024 * 1024))
readonly kGuestMemoryMiB=4096
readonly kBootMarker='driversetup-guest: booted'
readonly kEndMarker='driversetup-guest: job ended with exit code'
# Variables that the job sees as here; DRIVERSETUP_WINE is set to native inside, and
# DRIVERSETUP_IN_GUEST to 1.
readonly kPassedVariables=(CI NO_COLOR SOURCE_DATE_EPOCH DRIVERSETUP_TIMEOUT_SCALE)
# Test data that lives beside the tree, not in it (real driver packages, whose licences are
# their owners'); the guest sees it at the same path when it is here.
outside_data=$(dirname "$tree")/shared/real-packages

# run_job COMMAND...: see the usage above.
run_job() {
    local key image_dir
    key=$(image_key)
    image_dir=$cache/$key
    (make_image "$key") || exit 1
    local kind
    kind=$(accel_for "$image_dir") || exit 1
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
    if [ -d "$outside_data" ]; then
        cp -r "$outside_data" "$run/stage/outside-data" ||
            die "step 'copy $outside_data for the guest' failed"
    fi
    write_job_script "$@" >"$run/stage/run.sh"
    local used
    used=$(du -sk "$run/stage" | cut -f1)
    mkfs.ext4 -q -F -L job -d "$run/stage" "$run/job.img" "$((used + kJobSpareKiB))k" >"$run/mkfs.log" 2>&1 || {
        sed 's/^/    /' "$run/mkfs.log" >&2
        die "step 'make the job disk' failed"
    }
    rm -rf "$run/stage"
    boot_and_wait "$image_dir" "$run" "$kind"
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
    if [ -d "$outside_data" ]; then
        printf 'mkdir -p %q && mount --bind /job/outside-data %q || exit 125\n' \
            "$outside_data" "$outside_data"
    fi
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

# boot_and_wait IMAGE_DIR RUN_DIR ACCEL: boots the guest on the job disk, streams its console,
# enforces the time-outs and ends with the job's exit code.
boot_and_wait() {
    local image_dir=$1 run=$2 kind=$3 cpu
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
    local started now booted=0 ended_at='' failure=''
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

