#!/usr/bin/env bash
# lumivor_build <build-dir> <build-type> [cmake args...] [-- <targets...>]
#   Configures (once) and builds the named targets, or the whole tree when none are named,
#   with CMake and Ninja, showing their output.
# lumivor_build_quietly <same arguments>
#   The same with the output kept in <build-dir>/build.log; only when the build fails is the
#   end of that log shown.
set -euo pipefail

lumivor_build() {
    local dir=$1 type=$2
    shift 2
    local configure_args=() targets=()
    while [ $# -gt 0 ]; do
        if [ "$1" = "--" ]; then
            shift
            targets=("$@")
            break
        fi
        configure_args+=("$1")
        shift
    done
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "${configure_args[@]}" >/dev/null
    fi
    if [ "${#targets[@]}" -gt 0 ]; then
        cmake --build "$dir" --target "${targets[@]}"
    else
        cmake --build "$dir"
    fi
}

lumivor_build_quietly() {
    local dir=$1
    local log="$dir/build.log"
    mkdir -p "$dir"
    if ! lumivor_build "$@" >"$log" 2>&1; then
        echo "The build failed; the end of $log:" >&2
        tail -n 40 "$log" >&2
        return 1
    fi
}
