#!/bin/bash
# Runs the Windows program under Wine on the input of every transcript, and keeps what it wrote,
# what it wrote to standard error and its exit status in RESULTS, for run_transcript.cmake to
# compare. A host that cannot run Wine's 32-bit loader runs all of it in an emulated machine.
#
#   run_transcripts_under_wine.sh PROGRAM TRANSCRIPTS RESULTS
set -euo pipefail

program=$1
transcripts=$2
results=$3
mkdir -p "$results"
rm -f "$results"/*.actual "$results"/*.errors "$results"/*.status

if ! version=$(wine --version 2>&1); then
    if [[ "$version" != *"Exec format error"* ]]; then
        echo "Wine does not start: $version"
        exit 1
    fi
    echo "this machine runs no 32-bit programs: running Wine in an emulated machine"
    exec "$(dirname "$0")/run_in_vm.sh" "$results" bash "$0" "$@"
fi

# A prefix of the runs' own, under TMPDIR, which the emulated machine keeps in memory.
WINEPREFIX=$(mktemp -d)
export WINEPREFIX WINEDEBUG=-all
export WINEDLLOVERRIDES=mscoree,mshtml= # no offer to install .NET or a browser engine
trap 'wineserver -k; rm -rf "$WINEPREFIX"' EXIT
# One server for all runs and a prefix made once. They and the prefix's background processes
# get no pipe of the caller's, which they would hold open.
wineserver -p </dev/null >/dev/null 2>&1
if ! wine wineboot </dev/null >/dev/null 2>"$results/wineboot.log"; then
    cat "$results/wineboot.log"
    exit 1
fi

for input in "$transcripts"/*.in; do
    name=$(basename "$input" .in)
    status=0
    timeout 120 wine "$program" <"$input" >"$results/$name.actual" 2>"$results/$name.errors" ||
        status=$?
    echo "$status" >"$results/$name.status"
    echo "$name: exit status $status"
done
