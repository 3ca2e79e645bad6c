# shellcheck shell=bash disable=SC2154 # the globals named under "Needs" come from guest.sh
# Making the guest's cached image: the package list, the key that names the image, and the
# image itself (root disk, kernel, initrd); sourced by scripts/guest.sh.
# Needs: here, guest_dir, cache, os_release, apt_sources, mmdebstrap, say, die, debian_sources.

# Bumped when the way the image is made changes, so that old caches are remade.
readonly kImageFormat=1
# Free space that making the image needs: the unpacked root (about 2 GiB) and its image.
readonly kMakeNeedKiB=$((6 * 1024 * 1024))
# What the guest needs beyond the test packages: its kernel, and tools that the minimal
# variant leaves out but the tests and the start-up script use.
readonly kGuestExtras=(linux-image-amd64 git mawk mount procps)

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

# packages: the guest's packages, one a line.
packages() {
    "$here/install-deps.sh" --list release
    printf '%s\n' "${kGuestExtras[@]}"
}

# image_key: names the cached guest by everything it is made from.
image_key() {
    { echo "format $kImageFormat"; packages; debian_sources; cat "$guest_dir/init.sh"; } |
        sha256sum | cut -c1-16
}

# make_image: makes $cache/$key (root.img, vmlinuz, initrd.img) unless it is there.
make_image() {
    local image_dir=$cache/$1
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
    codename=$(release_codename "$os_release")
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
    install -m 755 "$guest_dir/init.sh" "$work/root/sbin/driversetup-guest-init" ||
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

