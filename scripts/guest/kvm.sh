# shellcheck shell=bash disable=SC2154 # the globals named under "Needs" come from guest.sh
# Whether the guest can run under KVM here; sourced by scripts/guest.sh.
# Needs: qemu, die.

# Long enough for the kernel to reach its first process under KVM, where it takes a second.
readonly kKvmProbeSeconds=30

# settled_accel: kvm or tcg where the settings or /dev/kvm decide alone; nothing where only
# booting the guest with KVM can tell.
settled_accel() {
    case ${DRIVERSETUP_GUEST_ACCEL:-auto} in
    kvm | tcg) echo "$DRIVERSETUP_GUEST_ACCEL" ;;
    auto)
        if ! [ -c /dev/kvm ] || ! [ -r /dev/kvm ] || ! [ -w /dev/kvm ]; then
            echo tcg
        fi
        ;;
    *) die "DRIVERSETUP_GUEST_ACCEL must be auto, kvm or tcg, not '$DRIVERSETUP_GUEST_ACCEL'" ;;
    esac
}

# accel_for IMAGE_DIR: kvm or tcg for the guest made in IMAGE_DIR. Unless settled_accel
# decides, KVM counts as usable only once the guest's kernel has booted with it (a /dev/kvm
# that opens can still hang or abort in a nested machine); that probe boots the existing
# image, and its answer is cached beside it. Makes nothing: the caller makes the image first.
accel_for() {
    local image_dir=$1 settled
    settled=$(settled_accel) || exit 1
    if [ -n "$settled" ]; then
        echo "$settled"
        return
    fi
    if [ ! -f "$image_dir/kvm" ]; then
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
