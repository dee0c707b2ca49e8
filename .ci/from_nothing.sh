#!/usr/bin/env bash
# Checks that a machine with nothing installed can take the project up, each check in a
# brand-new Debian root of its own, made with debootstrap and holding a clone of HEAD. Its
# package lists are empty, as a container image ships them:
#
#   readme  the README's set-up line, its run command (answered with 150206 and 1) and its test
#           command, word for word as the README gives them, apt's question answered yes;
#   ci      bash .ci/run.
#
#   [RELEASE=trixie] bash .ci/from_nothing.sh [readme] [ci]      (both where none is named)
#
# RELEASE is the Debian release to make: bookworm (12, the default) or trixie (13). debootstrap
# and the checks mount the root's /proc, /sys and /dev in a mount namespace of their own, which
# the host never sees: removing the root afterwards, never across into another file system,
# cannot reach the host's devices. Needs root, debootstrap and unshare. Prints what each check
# prints, its exit status and its time, and exits with the first failing status.
set -euo pipefail
cd "$(dirname "$0")/.."

# The indented lines under "Build, run and test": the set-up line and the two commands.
mapfile -t readme < <(sed -n '/^## Build, run and test/,/^## /s/^    //p' README.md)
declare -A commands=(
    [readme]="${readme[0]} && (${readme[1]}) <<<'150206 1' && ${readme[2]}"
    [ci]="bash .ci/run"
)

release=${RELEASE:-bookworm}
mirror=$(awk '$1 == "URIs:" { print $2; exit }' /etc/apt/sources.list.d/*.sources 2>/dev/null ||
    awk '$1 == "deb" { print $2; exit }' /etc/apt/sources.list)
checks=("$@")
((${#checks[@]} > 0)) || checks=(readme ci)
root=""
trap '[[ -z $root ]] || rm -rf --one-file-system "$root"' EXIT
failed=0
for check in "${checks[@]}"; do
    [[ -v commands[$check] ]] || { echo "no check named $check: readme or ci"; exit 2; }
    root=$(mktemp -d /tmp/from_nothing.XXXXXX)
    # apt downloads as the user _apt, who must reach its folders.
    chmod 755 "$root"
    unshare --mount --propagation private debootstrap --variant=minbase \
        --include=git,ca-certificates "$release" "$root" "$mirror" >/dev/null
    # This machine's mirror and apt settings, a yes to apt's question, and no package list.
    rm -f "$root"/etc/apt/sources.list.d/*
    echo "deb $mirror $release main" >"$root/etc/apt/sources.list"
    cp -rT /etc/apt/apt.conf.d "$root/etc/apt/apt.conf.d"
    echo 'APT::Get::Assume-Yes "true";' >"$root/etc/apt/apt.conf.d/99assume-yes"
    find "$root/var/lib/apt/lists" -maxdepth 1 -type f -delete
    cp /etc/resolv.conf "$root/etc/"
    git clone -q . "$root/src"
    start=$SECONDS
    status=0
    # The inner shell expands its own arguments.
    # shellcheck disable=SC2016
    unshare --mount --propagation private bash -c '
        mount -t proc proc "$0/proc" && mount --rbind /sys "$0/sys" && mount --rbind /dev "$0/dev" &&
            chroot "$0" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
                DEBIAN_FRONTEND=noninteractive bash -c "cd /src && $1"' \
        "$root" "${commands[$check]}" </dev/null || status=$?
    echo "$check: exit $status after $((SECONDS - start)) s"
    rm -rf --one-file-system "$root"
    root=""
    ((failed != 0)) || failed=$status
done
exit "$failed"
