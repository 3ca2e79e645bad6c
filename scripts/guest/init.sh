#!/bin/sh
# The first process of the emulated guest (scripts/guest.sh): mounts what Wine needs, runs the
# job from the second disk with its output on the serial console, records its exit code on
# that disk, and powers the guest off. It never returns, since the kernel panics when PID 1 ends.
console=/dev/ttyS0

mountpoint -q /proc || mount -t proc proc /proc
mountpoint -q /sys || mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev 2>/dev/null
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /tmp
mount -t tmpfs tmpfs /run
echo "driversetup-guest: booted" >"$console"

mkdir -p /job
if mount -t ext4 /dev/vdb /job; then
    setsid bash /job/run.sh </dev/null >"$console" 2>&1
    status=$?
    echo "$status" >/job/exit-code
    sync
    umount /job
else
    status=none
fi
echo "driversetup-guest: job ended with exit code $status" >"$console"
sync
echo o >/proc/sysrq-trigger
while :; do sleep 60; done
