# shellcheck shell=bash disable=SC2154 # the globals named under "Needs" come from guest.sh
# Reading this machine's apt sources for the guest's mirror list; sourced by scripts/guest.sh.
# Needs: guest_dir, os_release, apt_sources.

# shellcheck source=../release_codename.sh
. "$guest_dir/../release_codename.sh"

# debian_sources [release-only]: this machine's Debian apt entries for its release, as
# one-line "deb URI SUITE main" entries; with release-only, only the release suite itself.
debian_sources() {
    local codename
    codename=$(release_codename "$os_release")
    [ -n "$codename" ] || return 1
    # shellcheck disable=SC2086
    cat $apt_sources 2>/dev/null |
        awk -v codename="$codename" -v only="${1:-}" -f "$guest_dir/apt_sources.awk"
}
