#!/usr/bin/env bash
# Checks that a machine with nothing installed can take the project up, each check in a
# brand-new Debian 12 root of its own, made with debootstrap and holding a clone of HEAD:
#
#   readme  the README's set-up line, its run command (answered with 150206 and 1) and its test
#           command, word for word as the README gives them;
#   ci      CI=true bash .ci/run.
#
#   bash .ci/from_nothing.sh [readme] [ci]      (both where none is named)
#
# The root's /proc, /sys and /dev are mounted in a mount namespace of its own, which the host
# never sees: removing the root afterwards, never across into another file system, cannot reach
# the host's devices. Needs root, debootstrap and unshare. Prints what each check prints, its
# exit status and its time, and exits with the first failing status.
set -euo pipefail
cd "$(dirname "$0")/.."

# The indented lines under "Build, run and test": the set-up line and the two commands.
mapfile -t readme < <(sed -n '/^## Build, run and test/,/^## /s/^    //p' README.md)
declare -A commands=(
    [readme]="${readme[0]} && (${readme[1]}) <<<'150206 1' && ${readme[2]}"
    [ci]="CI=true bash .ci/run"
)

checks=("$@")
((${#checks[@]} > 0)) || checks=(readme ci)
root=""
trap '[[ -z $root ]] || rm -rf --one-file-system "$root"' EXIT
failed=0
for check in "${checks[@]}"; do
    [[ -v commands[$check] ]] || { echo "no check named $check: readme or ci"; exit 2; }
    root=$(mktemp -d /tmp/from_nothing.XXXXXX)
    debootstrap --variant=minbase --include=git,ca-certificates bookworm "$root" >/dev/null
    # This machine's package sources and settings, and a yes to every question.
    for part in sources.list sources.list.d apt.conf.d; do
        [[ ! -e /etc/apt/$part ]] || cp -rT "/etc/apt/$part" "$root/etc/apt/$part"
    done
    echo 'APT::Get::Assume-Yes "true";' >"$root/etc/apt/apt.conf.d/99assume-yes"
    cp /etc/resolv.conf "$root/etc/"
    git clone -q . "$root/src"
    start=$SECONDS
    status=0
    unshare --mount --propagation private bash -c '
        mount -t proc proc "$0/proc" && mount --rbind /sys "$0/sys" && mount --rbind /dev "$0/dev" &&
            chroot "$0" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
                DEBIAN_FRONTEND=noninteractive bash -c "cd /src && apt-get update && $1"' \
        "$root" "${commands[$check]}" </dev/null || status=$?
    echo "$check: exit $status after $((SECONDS - start)) s"
    rm -rf --one-file-system "$root"
    root=""
    ((failed != 0)) || failed=$status
done
exit "$failed"
