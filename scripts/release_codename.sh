# shellcheck shell=bash
# The one reader of this Debian release's codename; source this file.

# release_codename OS_RELEASE_FILE: prints VERSION_CODENAME from that file ("bookworm"),
# unquoted; nothing when the file names none.
release_codename() {
    sed -n 's/^VERSION_CODENAME=//p' "$1" 2>/dev/null | tr -d '"'
}
