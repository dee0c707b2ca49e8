#!/usr/bin/env bash
# Checks the level of _FORTIFY_SOURCE that the program is compiled with, and that no build warns
# of it: 3 where nothing set one, a level from CXXFLAGS kept as it is, as a packager's CPPFLAGS
# folded into them give it, the level of a compiler that sets it itself when it optimises kept
# too, as Ubuntu's does, and 0 without optimisation. Each case is a build of the default preset
# in build/fortify/NAME, Release but for the unoptimised one, which is Debug, with warnings as
# errors, whose program must pass the check of its hardening.
#
#   bash .ci/check_fortify.sh
set -euo pipefail
cd "$(dirname "$0")/.."
export CI=true

# Stands in for Ubuntu 22.04's g++: the level comes first among the arguments where it optimises.
# It is 2, below the one the build would choose, so that a build raising it fails.
mkdir -p build/fortify
compiler=$PWD/build/fortify/g++
cat >"$compiler" <<'EOF'
#!/bin/sh
case " $* " in
*" -O1 "* | *" -O2 "* | *" -O3 "* | *" -Os "*) exec g++ -D_FORTIFY_SOURCE=2 "$@" ;;
esac
exec g++ "$@"
EOF
chmod +x "$compiler"

# Builds one case with CXXFLAGS and the configure arguments given, and compares the level that
# glibc takes in main.cpp with the one expected, 0 where it checks nothing.
check() {
    local name=$1 expected=$2 flags=$3 build=build/fortify/$1
    shift 3
    CXXFLAGS=$flags cmake --preset default -B "$build" --fresh "$@" >/dev/null
    cmake --build "$build" >/dev/null
    # main.cpp's own flags, printing the macros defined at its end instead of compiling.
    local command level
    command=$(ninja -C "$build" -t commands sudoku | grep '/src/main\.cpp$')
    level=$(cd "$build" && eval "${command%% -MD *}" -E -dM "$OLDPWD/src/main.cpp" |
        awk '$2 == "__USE_FORTIFY_LEVEL" { print $3 }')
    echo "$name: level $level, expected $expected"
    [[ $level == "$expected" ]]
    ctest --test-dir "$build" -R program.check --output-on-failure >/dev/null
}

check unset 3 ""
check flags-1 1 -D_FORTIFY_SOURCE=1
check flags-3 3 -D_FORTIFY_SOURCE=3
check compiler-2 2 "" -DCMAKE_CXX_COMPILER="$compiler"
check unoptimised 0 "" -DCMAKE_BUILD_TYPE=Debug
