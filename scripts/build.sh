#!/usr/bin/env bash
# lumivor_build <build-dir> <build-type> [extra cmake args...]
# Configures (once) and builds the whole tree with CMake and Ninja.
set -euo pipefail

lumivor_build() {
    local dir=$1 type=$2
    shift 2
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "$@" >/dev/null
    fi
    cmake --build "$dir"
}
