# Shared by the static exe checks; source it. Reads the exe's headers with objdump and counts
# named checks.
# Needs: exe and objdump set before sourcing.

failures=0
checks=0
# check WHAT COMMAND...: runs one check and prints ok or FAIL with its name.
check() {
    local what=$1
    shift
    checks=$((checks + 1))
    if "$@"; then echo "ok: $what"; else echo "FAIL: $what" >&2; failures=$((failures + 1)); fi
}
# finish_checks: prints the tally; its status is the verdict.
finish_checks() {
    echo "$((checks - failures)) passed, $failures failed"
    [ "$failures" -eq 0 ]
}

headers=$("$objdump" -p "$exe")
sections=$("$objdump" -h "$exe")
file_format=$("$objdump" -f "$exe")

# check_manifest_only_resource LEVEL: the exe's one resource is its manifest (RT_MANIFEST, 24,
# ID 1, where Windows reads it), which requests LEVEL and names the supported Windows, Vista
# to 10/11.
check_manifest_only_resource() {
    local level=$1 manifest resources os
    # The manifest is stored as plain text inside the resource section.
    manifest=$(grep -ao '<assembly.*</assembly>' <(tr -d '\r\n' <"$exe"))
    resources=$(sed -n '/The .rsrc Resource Directory section/,$p' <<<"$headers")
    check "resource section present" grep -q '\.rsrc' <<<"$sections"
    check "one resource, of type RT_MANIFEST" \
        grep -Eq 'Type Table: .*Num Names: 0, IDs: 1$' <<<"$resources"
    check "resource type 24" grep -q 'Entry: ID: 0x000018,' <<<"$resources"
    check "resource ID 1" grep -q 'Entry: ID: 0x000001,' <<<"$resources"
    check "manifest asks for $level" \
        grep -q "requestedExecutionLevel level=\"$level\" uiAccess=\"false\"" <<<"$manifest"
    for os in e2011457-1546-43c5-a5fe-008deee3d3f0 35138b9a-5d96-4fbd-8e2d-a2440225f93a \
        4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 1f676c76-80e1-4239-95bb-83d0f6d0da78 \
        8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a; do
        check "manifest names supportedOS $os" grep -q "supportedOS Id=\"{$os}\"" <<<"$manifest"
    done
}

# check_stripped_without_time_stamp: no symbols and no link time, for reproducible bytes.
check_stripped_without_time_stamp() {
    check "stripped: no symbols" eval '! grep -q HAS_SYMS <<<"$file_format"'
    check "no link time stamp" grep -Eq '^Time/Date[[:space:]]+Thu Jan  1 00:00:00 1970' <<<"$headers"
}
