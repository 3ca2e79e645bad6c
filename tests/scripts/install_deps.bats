#!/usr/bin/env bats
# install-deps.sh's decisions against fake apt-get, dpkg and dpkg-query first on PATH: which
# apt-get calls it makes, in which order, and how it ends, for each mirror outcome.

readonly host_set="cmake ninja-build g++ libgtest-dev clang-format git clang libclang-rt-14-dev bats bats-assert bats-support shellcheck libssl-dev openssl osslsigncode scdoc lintian"
readonly plain_call="apt-get install -y -q $host_set"
readonly retry_call="apt-get install -y -q -t testcodename $host_set"

setup_file() {
    local fakes=$BATS_FILE_TMPDIR/bin
    mkdir -p "$fakes"
    # Each fake logs its arguments and answers as the case's FAKE_* variables say.
    cat >"$fakes/apt-get" <<'FAKE'
#!/usr/bin/env bash
echo "apt-get $*" >>"$FAKE_CALLS"
case $1 in
update)
    if [ "$FAKE_UPDATE" = fail ]; then
        echo "E: Failed to fetch http://mirror.test/dists/x-security/main/binary-i386/Packages.xz  File has unexpected size (1 != 2). Mirror sync in progress?"
        exit 100
    fi
    ;;
install)
    case " $* " in
    *" -t "*) [ "$FAKE_TARGETED" = ok ] || { echo "E: Unable to correct problems"; exit 100; } ;;
    *) [ "$FAKE_PLAIN" = ok ] || { echo "E: Unable to correct problems"; exit 100; } ;;
    esac
    ;;
esac
exit 0
FAKE
    cat >"$fakes/dpkg-query" <<'FAKE'
#!/usr/bin/env bash
# Only the packages in FAKE_INSTALLED count as installed.
for name in $FAKE_INSTALLED; do [ "$name" = "${!#}" ] && { printf 'install ok installed'; exit 0; }; done
exit 1
FAKE
    cat >"$fakes/dpkg" <<'FAKE'
#!/usr/bin/env bash
echo "dpkg $*" >>"$FAKE_CALLS"
[ "$1" = --print-foreign-architectures ] && echo i386
exit 0
FAKE
    printf '#!/usr/bin/env bash\necho 0\n' >"$fakes/id"
    chmod +x "$fakes"/*
    printf 'NAME="Debian GNU/Linux"\nVERSION_CODENAME=testcodename\n' >"$BATS_FILE_TMPDIR/os-release"
}

setup() {
    load "${BATS_TEST_DIRNAME}/../bats_helper"
}

# installs UPDATE PLAIN TARGETED INSTALLED EXIT CALLS TEXT: with apt-get's update, plain
# install and -t install answering ok or fail and INSTALLED present, install-deps.sh host
# exits with EXIT after exactly the apt-get CALLS (;-joined) and says TEXT.
installs() {
    local calls=$BATS_TEST_TMPDIR/calls
    : >"$calls"
    run env PATH="$BATS_FILE_TMPDIR/bin:$PATH" FAKE_CALLS="$calls" FAKE_UPDATE="$1" \
        FAKE_PLAIN="$2" FAKE_TARGETED="$3" FAKE_INSTALLED="$4" \
        INSTALL_DEPS_OS_RELEASE="$BATS_FILE_TMPDIR/os-release" \
        bash "$BATS_TEST_DIRNAME/../../scripts/install-deps.sh" host
    expect_equal "exit" "$status" "$5"
    expect_equal "apt-get calls" "$(grep '^apt-get' "$calls" | paste -sd ';')" "$6"
    expect_contains "output" "$output" "$7"
}

@test "plain install works" {
    installs ok ok fail "" 0 "apt-get update -q;$plain_call" "install-deps: done."
}

@test "update fails, plain install works" {
    installs fail ok fail "" 0 "apt-get update -q;$plain_call" \
        "http://mirror.test/dists/x-security/main/binary-i386/Packages.xz"
}

@test "only the -t retry works" {
    installs fail fail ok "" 0 "apt-get update -q;$plain_call;$retry_call" \
        "retrying once from the release suite with -t testcodename"
}

@test "nothing works" {
    installs fail fail fail "" 1 "apt-get update -q;$plain_call;$retry_call" "could not be fetched"
}

@test "nothing missing" {
    installs fail fail fail "$host_set" 0 "" "all needed Debian packages are present"
}
