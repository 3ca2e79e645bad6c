# shellcheck shell=bash
# What every bats suite here loads: Debian's bats-support and bats-assert, and the checks
# that the suites share. Load it with: load "${BATS_TEST_DIRNAME}/<up>/bats_helper"
bats_require_minimum_version 1.5.0
bats_load_library bats-support
bats_load_library bats-assert

# expect_equal LABEL ACTUAL EXPECTED: assert_equal that names what it compared on failure.
expect_equal() {
    assert_equal "$2" "$3" || {
        echo "  which was: $1" >&2
        return 1
    }
}

# expect_contains LABEL TEXT PART: fails, naming LABEL and showing TEXT, unless TEXT holds PART.
expect_contains() {
    case $2 in
    *"$3"*) ;;
    *)
        printf '%s: does not contain %s\n%s\n' "$1" "$3" "$2" | batslib_decorate "$1" | fail
        ;;
    esac
}

# expect_not_contains LABEL TEXT PART: fails, naming LABEL and showing TEXT, when TEXT holds PART.
expect_not_contains() {
    case $2 in
    *"$3"*)
        printf '%s: contains %s\n%s\n' "$1" "$3" "$2" | batslib_decorate "$1" | fail
        ;;
    esac
}

# expect_file_line LABEL FILE TEXT: fails, showing FILE, unless one of its lines holds TEXT.
expect_file_line() {
    grep -qF -- "$3" "$2" 2>/dev/null && return 0
    {
        echo "no line with: $3"
        echo "in $2:"
        sed 's/^/    /' "$2" 2>/dev/null || echo "    (missing)"
    } | batslib_decorate "$1" | fail
}

# flip_byte FILE OFFSET: inverts every bit of the byte at OFFSET, in place.
flip_byte() {
    local byte
    byte=$(od -An -tu1 -j "$2" -N1 "$1" | tr -d ' ')
    # shellcheck disable=SC2059
    printf "$(printf '\\%03o' $((byte ^ 255)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

# flip_first FILE PATTERN: inverts the first byte where the Perl regular expression PATTERN
# (such as '\x12\x34') first matches in FILE.
flip_first() {
    local offset
    offset=$(LC_ALL=C grep -obUaP -m1 "$2" "$1" | head -n1 | cut -d: -f1)
    [ -n "$offset" ] || fail "$1 has no bytes matching $2"
    flip_byte "$1" "$offset"
}

# Throwaway certificates, made at test time and valid for two days. Each function writes
# DIR/NAME.pem and DIR/NAME.key and appends openssl's output to DIR/pki.log.

# pki_root DIR NAME SUBJECT: a self-signed CA certificate.
pki_root() {
    mkdir -p "$1"
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$1/$2.key" -out "$1/$2.pem" -days 2 \
        -subj "$3" -addext "basicConstraints=critical,CA:TRUE" \
        -addext "keyUsage=critical,keyCertSign,cRLSign" >>"$1/pki.log" 2>&1
}

# pki_issue DIR NAME SUBJECT ROOT EXTENSION...: a certificate that DIR/ROOT issued, with these
# X.509v3 extension lines (such as "extendedKeyUsage=codeSigning").
pki_issue() {
    local dir=$1 name=$2 subject=$3 root=$4
    shift 4
    printf '%s\n' "$@" >"$dir/$name.ext"
    openssl req -newkey rsa:2048 -nodes -keyout "$dir/$name.key" -out "$dir/$name.csr" \
        -subj "$subject" >>"$dir/pki.log" 2>&1 &&
        openssl x509 -req -in "$dir/$name.csr" -CA "$dir/$root.pem" -CAkey "$dir/$root.key" \
            -CAcreateserial -days 2 -extfile "$dir/$name.ext" -out "$dir/$name.pem" \
            >>"$dir/pki.log" 2>&1
}

# pki_signer DIR NAME SUBJECT: a self-signed code-signing certificate, made once: suites that
# share a work folder keep the first.
pki_signer() {
    [ -f "$1/$2.pem" ] && return 0
    mkdir -p "$1"
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$1/$2.key" -out "$1/$2.pem" -days 2 \
        -subj "$3" -addext "extendedKeyUsage=codeSigning" >>"$1/pki.log" 2>&1
}
