#!/usr/bin/env bash
# Checks guest.sh against fake mmdebstrap, qemu, mkfs.ext4 and apt: every way of making or
# booting the guest that fails must end non-zero with a message naming what failed, leave no
# half-made cache and no process behind; a job's exit code and output must come back whole.
# Usage: guest_test.sh SCRIPTS_DIR WORK_DIR
set -uo pipefail

scripts=$1 work=$2
rm -rf "$work"
mkdir -p "$work/bin" "$work/tree/scripts" "$work/tree/build/host" "$work/tree/build/windows/wine"
fakes=$work/bin
cp "$scripts/guest.sh" "$scripts/guest-init.sh" "$scripts/install-deps.sh" "$work/tree/scripts/"
echo exe >"$work/tree/build/windows/DriverSetup.exe"
echo prefix >"$work/tree/build/windows/wine/system.reg"
echo object >"$work/tree/build/host/unit_tests"
real_mkfs=$(command -v mkfs.ext4)

printf 'VERSION_CODENAME=bookworm\n' >"$work/os-release"
cat >"$work/debian.sources" <<'EOF'
Types: deb
URIs: http://mirror.test/debian
Suites: bookworm bookworm-updates
Components: main

Types: deb
URIs: http://mirror.test/debian-security
Suites: bookworm-security
Components: main
EOF

cat >"$fakes/mmdebstrap" <<'FAKE'
#!/usr/bin/env bash
# Positional arguments: SUITE TARGET MIRROR...
positional=()
for arg in "$@"; do case $arg in --*) ;; *) positional+=("$arg") ;; esac; done
target=${positional[1]}
echo "mmdebstrap ${positional[*]:2}" >>"$FAKE_DIR/calls"
mkdir -p "$target/usr/bin" "$target/sbin" "$target/boot"
echo partial >"$target/usr/bin/partial"
case $FAKE_MMDEBSTRAP in
halfway) echo "E: installing packages failed"; exit 1 ;;
full) echo "dpkg: error: cannot write: No space left on device"; exit 1 ;;
lagging) case " $* " in *-security*) echo "E: File has unexpected size. Mirror sync in progress?"; exit 1 ;; esac ;;
esac
echo kernel >"$target/boot/vmlinuz-6.1.0-test"
echo initrd >"$target/boot/initrd.img-6.1.0-test"
FAKE
cat >"$fakes/mkfs.ext4" <<FAKE
#!/usr/bin/env bash
if [ "\$FAKE_MKFS" = full ] && [[ " \$* " == *" -L driversetup "* ]]; then
    echo "__populate_fs: No space left on device while writing file"; exit 1
fi
exec $real_mkfs "\$@"
FAKE
cat >"$fakes/qemu-system-x86_64" <<'FAKE'
#!/usr/bin/env bash
echo $$ >"$FAKE_DIR/qemu.pid"
for arg in "$@"; do
    case $arg in
    file:*) console=${arg#file:} ;;
    file=*job.img*) job=${arg#file=}; job=${job%%,*} ;;
    esac
done
booted() { echo "driversetup-guest: booted" >>"$console"; }
finish() {
    printf '%s\n' "$FAKE_EXIT" >"$FAKE_DIR/code"
    debugfs -w -R "write $FAKE_DIR/code exit-code" "$job" >/dev/null 2>&1
    echo "driversetup-guest: job ended with exit code $FAKE_EXIT" >>"$console"
}
case $FAKE_QEMU in
ok)
    booted
    debugfs -R "cat /run.sh" "$job" >"$FAKE_DIR/run.sh" 2>/dev/null
    debugfs -R "ls -p /tree/build/windows" "$job" >"$FAKE_DIR/windows.ls" 2>/dev/null
    debugfs -R "ls -p /tree/build" "$job" >"$FAKE_DIR/build.ls" 2>/dev/null
    printf 'job output line\r\n' >>"$console"
    finish
    ;;
# A line, then a pause before the job ends: output must show before the guest is done.
streams)
    booted
    printf 'early line\r\n' >>"$console"
    touch "$FAKE_DIR/early-written"
    sleep 5
    finish
    ;;
never_boots) exec sleep 300 ;;
never_powers_off) booted; finish; exec sleep 300 ;;
runs_long) booted; exec sleep 300 ;;
killed) booted; kill -9 $$ ;;
no_exit_code) booted; echo "driversetup-guest: job ended with exit code none" >>"$console" ;;
esac
FAKE
# Package tools for the case where qemu is missing: nothing is installed, nothing installs.
printf '#!/bin/sh\nexit 1\n' >"$fakes/dpkg-query"
printf '#!/bin/sh\necho "E: Unable to locate package"\nexit 100\n' >"$fakes/apt-get"
printf '#!/bin/sh\necho i386\n' >"$fakes/dpkg"
chmod +x "$fakes"/*

failures=0
checks=0
fail() {
    echo "FAIL [$name]: $*" >&2
    failures=$((failures + 1))
}
expect() {
    checks=$((checks + 1))
    [ "$2" = "$3" ] || fail "$1: got '$2', expected '$3'"
}
expect_match() {
    checks=$((checks + 1))
    case $2 in *"$3"*) ;; *) fail "$1: output does not contain '$3'" ;; esac
}

# run_guest NAME CACHE [VAR=VALUE...]: runs guest.sh run in the fake tree; sets output, status.
run_guest() {
    local cache=$1
    shift
    rm -f "$work/case/qemu.pid"
    output=$(cd "$work/tree" && env PATH="$fakes:$PATH" FAKE_DIR="$work/case" \
        DRIVERSETUP_GUEST_CACHE="$cache" DRIVERSETUP_GUEST_OS_RELEASE="$work/os-release" \
        DRIVERSETUP_GUEST_APT_SOURCES="$work/debian.sources" DRIVERSETUP_GUEST_ACCEL=tcg \
        DRIVERSETUP_GUEST_BOOT_TIMEOUT=2 DRIVERSETUP_GUEST_POWEROFF_TIMEOUT=2 \
        DRIVERSETUP_GUEST_JOB_TIMEOUT=5 FAKE_MMDEBSTRAP=ok FAKE_MKFS=ok FAKE_QEMU=ok FAKE_EXIT=0 \
        "$@" bash scripts/guest.sh run ctest --preset "two words" 2>&1)
    status=$?
}

expect_nothing_left() {
    checks=$((checks + 1))
    if [ -f "$work/case/qemu.pid" ] && kill -0 "$(cat "$work/case/qemu.pid")" 2>/dev/null; then
        fail "qemu is still running"
        kill -9 "$(cat "$work/case/qemu.pid")"
    fi
    checks=$((checks + 1))
    [ -d "$1" ] || return 0
    local left
    left=$(find "$1" -mindepth 1 -maxdepth 1 -name 'making.*' -o -mindepth 1 -maxdepth 1 -name 'run.*')
    [ -z "$left" ] || fail "work folders left in the cache: $left"
}

# name | settings | exit | message | cached image afterwards (1 or 0)
cases=(
    "job-passes||0|guest: job exit code 0|1"
    "job-fails|FAKE_EXIT=3|3|guest: job exit code 3|1"
    "job-killed-inside|FAKE_EXIT=137|137|guest: job exit code 137|1"
    "mmdebstrap-fails-halfway|FAKE_MMDEBSTRAP=halfway|1|step 'mmdebstrap' failed|0"
    "disk-full-in-mmdebstrap|FAKE_MMDEBSTRAP=full|1|the disk under|0"
    "disk-full-in-mkfs|FAKE_MKFS=full|1|step 'mkfs.ext4 (the guest's disk image)' failed: the disk under|0"
    "lagging-mirror|FAKE_MMDEBSTRAP=lagging|0|retrying once from bookworm alone|1"
    "never-boots|FAKE_QEMU=never_boots|1|did not boot within 2 s|1"
    "never-powers-off|FAKE_QEMU=never_powers_off|1|did not power off within 2 s|1"
    "runs-too-long|FAKE_QEMU=runs_long|1|ran longer than 5 s|1"
    "qemu-killed|FAKE_QEMU=killed|1|without the job's exit code|1"
    "no-exit-code|FAKE_QEMU=no_exit_code|1|without the job's exit code|1"
    "qemu-missing|DRIVERSETUP_GUEST_QEMU=no-such-qemu|1|step 'install qemu and mmdebstrap' failed|0"
)
for row in "${cases[@]}"; do
    IFS='|' read -r name settings want_exit want_text want_cached <<<"$row"
    rm -rf "$work/case"
    mkdir -p "$work/case"
    cache=$work/cache-$name
    # shellcheck disable=SC2086
    run_guest "$cache" $settings
    expect "$name: exit code" "$status" "$want_exit"
    expect_match "$name" "$output" "$want_text"
    cached=0
    compgen -G "$cache/*/ready" >/dev/null && cached=1
    expect "$name: a cached image" "$cached" "$want_cached"
    expect_nothing_left "$cache"
    [ "$status" = "$want_exit" ] || echo "$output" | sed 's/^/    /' >&2
    if [ "$name" = lagging-mirror ]; then
        # First with the update suites, then once with the release suite alone.
        expect "$name: first attempt" "$(sed -n 1p "$work/case/calls")" \
            "mmdebstrap deb http://mirror.test/debian bookworm main deb http://mirror.test/debian bookworm-updates main deb http://mirror.test/debian-security bookworm-security main"
        expect "$name: second attempt" "$(sed -n 2p "$work/case/calls")" \
            "mmdebstrap deb http://mirror.test/debian bookworm main"
    fi
done

# What reaches the guest, from the passing case's recordings.
name=job-contents
rm -rf "$work/case"
mkdir -p "$work/case"
run_guest "$work/cache-contents" CI=true SOURCE_DATE_EPOCH=1700000000
expect_match "$name: streamed output" "$output" $'job output line\n'
checks=$((checks + 1))
case $output in *$'\r'*) fail "$name: a CR reached the output" ;; esac
job=$(cat "$work/case/run.sh")
expect_match "$name" "$job" "export DRIVERSETUP_WINE=native"
expect_match "$name" "$job" "export CI=true"
expect_match "$name" "$job" "export SOURCE_DATE_EPOCH=1700000000"
expect_match "$name" "$job" "cd $work/tree"
expect_match "$name" "$job" 'exec ctest --preset two\ words'
expect_match "$name: the build is copied" "$(cat "$work/case/windows.ls")" "DriverSetup.exe"
checks=$((checks + 1))
grep -q '/wine/' "$work/case/windows.ls" && fail "$name: the Wine prefix was copied"
checks=$((checks + 1))
grep -q '/host/' "$work/case/build.ls" && fail "$name: the host build was copied"

# Streamed: the job's first line reaches the caller while the guest still runs, also when the
# output is a pipe into a file (as in CI's log), where a buffering filter would hold it back.
name=streaming
rm -rf "$work/case"
mkdir -p "$work/case"
(cd "$work/tree" && env PATH="$fakes:$PATH" FAKE_DIR="$work/case" \
    DRIVERSETUP_GUEST_CACHE="$work/cache-contents" DRIVERSETUP_GUEST_OS_RELEASE="$work/os-release" \
    DRIVERSETUP_GUEST_APT_SOURCES="$work/debian.sources" DRIVERSETUP_GUEST_ACCEL=tcg \
    FAKE_QEMU=streams FAKE_EXIT=0 bash scripts/guest.sh run true 2>&1 | cat >"$work/case/streamed") &
streamer=$!
for _ in $(seq 50); do [ -f "$work/case/early-written" ] && break; sleep 0.1; done
sleep 2.5
checks=$((checks + 1))
grep -q 'early line' "$work/case/streamed" || fail "the job's line had not arrived while the guest ran"
wait "$streamer"
expect_match "$name: whole output" "$(cat "$work/case/streamed")" "guest: job exit code 0"

# Cached: a second run makes nothing; new apt sources make a new image and drop the old one.
name=cache
rm -rf "$work/case"
mkdir -p "$work/case"
run_guest "$work/cache-contents"
expect "$name: second run makes no image" "$(cat "$work/case/calls" 2>/dev/null | wc -l)" 0
sed -i 's|mirror.test|other-mirror.test|' "$work/debian.sources"
run_guest "$work/cache-contents"
expect_match "$name: remade for new sources" "$(cat "$work/case/calls")" "other-mirror.test"
expect "$name: one image kept" "$(compgen -G "$work/cache-contents/*/ready" | wc -l)" 1

echo "guest faults: $((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
