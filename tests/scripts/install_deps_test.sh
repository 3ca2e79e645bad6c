#!/usr/bin/env bash
# Checks install-deps.sh's decisions against fake apt-get, dpkg and dpkg-query first on PATH:
# which apt-get calls it makes, in which order, and how it ends, for each mirror outcome.
# Usage: install_deps_test.sh SCRIPT WORK_DIR
set -uo pipefail

script=$1 work=$2
rm -rf "$work"
mkdir -p "$work/bin"
fakes=$work/bin
calls=$work/calls

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
cat >"$fakes/id" <<'FAKE'
#!/usr/bin/env bash
echo 0
FAKE
chmod +x "$fakes"/*
printf 'NAME="Debian GNU/Linux"\nVERSION_CODENAME=testcodename\n' >"$work/os-release"

host_set="cmake ninja-build g++ libgtest-dev clang-format git clang libclang-rt-14-dev"
retry_call="apt-get install -y -q -t testcodename $host_set"
plain_call="apt-get install -y -q $host_set"

# name | update | plain install | -t install | installed | exit | apt-get calls (;-joined) | output
cases=(
    "plain install works|ok|ok|fail||0|apt-get update -q;$plain_call|install-deps: done."
    "update fails, plain install works|fail|ok|fail||0|apt-get update -q;$plain_call|http://mirror.test/dists/x-security/main/binary-i386/Packages.xz"
    "only the -t retry works|fail|fail|ok||0|apt-get update -q;$plain_call;$retry_call|retrying once from the release suite with -t testcodename"
    "nothing works|fail|fail|fail||1|apt-get update -q;$plain_call;$retry_call|could not be fetched"
    "nothing missing|fail|fail|fail|$host_set|0||all needed Debian packages are present"
)

failures=0
for row in "${cases[@]}"; do
    IFS='|' read -r name update plain targeted installed want_exit want_calls want_text <<<"$row"
    : >"$calls"
    output=$(PATH="$fakes:$PATH" FAKE_CALLS=$calls FAKE_UPDATE=$update FAKE_PLAIN=$plain \
        FAKE_TARGETED=$targeted FAKE_INSTALLED=$installed INSTALL_DEPS_OS_RELEASE=$work/os-release \
        bash "$script" host 2>&1)
    got_exit=$?
    got_calls=$(grep '^apt-get' "$calls" | paste -sd ';')
    problems=()
    [ "$got_exit" = "$want_exit" ] || problems+=("exit $got_exit, expected $want_exit")
    [ "$got_calls" = "$want_calls" ] || problems+=("apt-get calls '$got_calls', expected '$want_calls'")
    grep -qF -- "$want_text" <<<"$output" || problems+=("output lacks '$want_text'")
    if [ ${#problems[@]} -eq 0 ]; then
        echo "ok: $name"
    else
        failures=$((failures + 1))
        echo "FAIL: $name" >&2
        printf '    %s\n' "${problems[@]}" >&2
        printf '%s\n' "$output" | sed 's/^/    | /' >&2
    fi
done
rm -rf "$work"
echo "${#cases[@]} cases, $failures failed"
[ "$failures" -eq 0 ]
