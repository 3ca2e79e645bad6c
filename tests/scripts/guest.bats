#!/usr/bin/env bats
# guest.sh against fake mmdebstrap, qemu, mkfs.ext4 and apt: every way of making or booting
# the guest that fails must end non-zero with a message naming what failed, leave no half-made
# cache and no process behind; a job's exit code and output must come back whole.

setup_file() {
    export work=$BATS_FILE_TMPDIR
    local scripts=$BATS_TEST_DIRNAME/../../scripts
    mkdir -p "$work/bin" "$work/tree/scripts" "$work/tree/build/host" "$work/tree/build/windows/wine"
    local fakes=$work/bin
    cp -r "$scripts/guest.sh" "$scripts/guest" "$scripts/install-deps.sh" \
        "$scripts/release_codename.sh" "$work/tree/scripts/"
    echo exe >"$work/tree/build/windows/DriverSetup.exe"
    echo prefix >"$work/tree/build/windows/wine/system.reg"
    echo object >"$work/tree/build/host/unit_tests"
    local real_mkfs
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
}

setup() {
    load "${BATS_TEST_DIRNAME}/../bats_helper"
    rm -rf "$work/case"
    mkdir -p "$work/case"
}

# run_guest CACHE [VAR=VALUE...]: runs guest.sh run in the fake tree; sets output and status.
run_guest() {
    local cache=$1
    shift
    rm -f "$work/case/qemu.pid"
    run bash -c 'cd "$1" && shift && exec "$@"' - "$work/tree" env PATH="$work/bin:$PATH" \
        FAKE_DIR="$work/case" DRIVERSETUP_GUEST_CACHE="$cache" \
        DRIVERSETUP_GUEST_OS_RELEASE="$work/os-release" \
        DRIVERSETUP_GUEST_APT_SOURCES="$work/debian.sources" DRIVERSETUP_GUEST_ACCEL=tcg \
        DRIVERSETUP_GUEST_BOOT_TIMEOUT=2 DRIVERSETUP_GUEST_POWEROFF_TIMEOUT=2 \
        DRIVERSETUP_GUEST_JOB_TIMEOUT=5 FAKE_MMDEBSTRAP=ok FAKE_MKFS=ok FAKE_QEMU=ok FAKE_EXIT=0 \
        "$@" bash scripts/guest.sh run ctest --preset "two words"
}

# guest_case EXIT TEXT CACHED [VAR=VALUE...]: with the fakes set so, guest.sh run exits with
# EXIT, says TEXT, leaves a cached image or not (CACHED 1 or 0), and no QEMU and no work
# folder behind.
guest_case() {
    local want_exit=$1 want_text=$2 want_cached=$3 cache=$work/cache-$BATS_TEST_NUMBER
    shift 3
    run_guest "$cache" "$@"
    expect_equal "exit code (output: $output)" "$status" "$want_exit"
    expect_contains "output" "$output" "$want_text"
    local cached=0
    compgen -G "$cache/*/ready" >/dev/null && cached=1
    expect_equal "a cached image" "$cached" "$want_cached"
    if [ -f "$work/case/qemu.pid" ] && kill -0 "$(cat "$work/case/qemu.pid")" 2>/dev/null; then
        kill -9 "$(cat "$work/case/qemu.pid")"
        fail "qemu is still running"
    fi
    if [ -d "$cache" ]; then
        local left
        left=$(find "$cache" -mindepth 1 -maxdepth 1 -name 'making.*' -o -mindepth 1 -maxdepth 1 -name 'run.*')
        [ -z "$left" ] || fail "work folders left in the cache: $left"
    fi
}

@test "job passes" { guest_case 0 "guest: job exit code 0" 1; }
@test "job fails" { guest_case 3 "guest: job exit code 3" 1 FAKE_EXIT=3; }
@test "job killed inside" { guest_case 137 "guest: job exit code 137" 1 FAKE_EXIT=137; }
@test "mmdebstrap fails halfway" { guest_case 1 "step 'mmdebstrap' failed" 0 FAKE_MMDEBSTRAP=halfway; }
@test "disk full in mmdebstrap" { guest_case 1 "the disk under" 0 FAKE_MMDEBSTRAP=full; }
@test "disk full in mkfs" {
    guest_case 1 "step 'mkfs.ext4 (the guest's disk image)' failed: the disk under" 0 FAKE_MKFS=full
}
@test "never boots" { guest_case 1 "did not boot within 2 s" 1 FAKE_QEMU=never_boots; }
@test "never powers off" { guest_case 1 "did not power off within 2 s" 1 FAKE_QEMU=never_powers_off; }
@test "runs too long" { guest_case 1 "ran longer than 5 s" 1 FAKE_QEMU=runs_long; }
@test "qemu killed" { guest_case 1 "without the job's exit code" 1 FAKE_QEMU=killed; }
@test "no exit code" { guest_case 1 "without the job's exit code" 1 FAKE_QEMU=no_exit_code; }
@test "qemu missing" {
    guest_case 1 "step 'install qemu and mmdebstrap' failed" 0 DRIVERSETUP_GUEST_QEMU=no-such-qemu
}

@test "lagging mirror" {
    guest_case 0 "retrying once from bookworm alone" 1 FAKE_MMDEBSTRAP=lagging
    # First with the update suites, then once with the release suite alone.
    expect_equal "first attempt" "$(sed -n 1p "$work/case/calls")" \
        "mmdebstrap deb http://mirror.test/debian bookworm main deb http://mirror.test/debian bookworm-updates main deb http://mirror.test/debian-security bookworm-security main"
    expect_equal "second attempt" "$(sed -n 2p "$work/case/calls")" \
        "mmdebstrap deb http://mirror.test/debian bookworm main"
}

@test "what reaches the guest" {
    run_guest "$work/cache-contents" CI=true SOURCE_DATE_EPOCH=1700000000
    expect_contains "streamed output" "$output" $'job output line\n'
    case $output in *$'\r'*) fail "a CR reached the output" ;; esac
    local job
    job=$(cat "$work/case/run.sh")
    expect_contains "job" "$job" "export DRIVERSETUP_WINE=native"
    expect_contains "job" "$job" "export CI=true"
    expect_contains "job" "$job" "export SOURCE_DATE_EPOCH=1700000000"
    expect_contains "job" "$job" "cd $work/tree"
    expect_contains "job" "$job" 'exec ctest --preset two\ words'
    expect_contains "the build is copied" "$(cat "$work/case/windows.ls")" "DriverSetup.exe"
    if grep -q '/wine/' "$work/case/windows.ls"; then fail "the Wine prefix was copied"; fi
    if grep -q '/host/' "$work/case/build.ls"; then fail "the host build was copied"; fi
}

# Streamed: the job's first line reaches the caller while the guest still runs, also when the
# output is a pipe into a file (as in CI's log), where a buffering filter would hold it back.
@test "streaming" {
    (cd "$work/tree" && env PATH="$work/bin:$PATH" FAKE_DIR="$work/case" \
        DRIVERSETUP_GUEST_CACHE="$work/cache-contents" DRIVERSETUP_GUEST_OS_RELEASE="$work/os-release" \
        DRIVERSETUP_GUEST_APT_SOURCES="$work/debian.sources" DRIVERSETUP_GUEST_ACCEL=tcg \
        FAKE_QEMU=streams FAKE_EXIT=0 bash scripts/guest.sh run true 2>&1 | cat >"$work/case/streamed") &
    local streamer=$!
    for _ in $(seq 50); do [ -f "$work/case/early-written" ] && break; sleep 0.1; done
    sleep 2.5
    local early=0
    grep -q 'early line' "$work/case/streamed" || early=1
    wait "$streamer"
    expect_equal "the job's line arrived while the guest ran" "$early" 0
    expect_contains "whole output" "$(cat "$work/case/streamed")" "guest: job exit code 0"
}

# Cached: a second run makes nothing; new apt sources make a new image and drop the old one.
@test "cache" {
    run_guest "$work/cache-contents"
    expect_equal "second run makes no image" "$(cat "$work/case/calls" 2>/dev/null | wc -l)" 0
    sed -i 's|mirror.test|other-mirror.test|' "$work/debian.sources"
    run_guest "$work/cache-contents"
    expect_contains "remade for new sources" "$(cat "$work/case/calls")" "other-mirror.test"
    expect_equal "one image kept" "$(compgen -G "$work/cache-contents/*/ready" | wc -l)" 1
}
