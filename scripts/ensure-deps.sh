#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the console need,
# only those that are missing, quietly. Sourced by ./run and ./test.
set -euo pipefail

lumivor_packages=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-serialport-dev qt6-qpa-plugins
    libgl-dev libpng-dev
)

lumivor_missing_packages() {
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            printf '%s\n' "$pkg"
        fi
    done
}

lumivor_ensure_packages() {
    local missing
    mapfile -t missing < <(lumivor_missing_packages "${lumivor_packages[@]}" "$@")
    [ "${#missing[@]}" -eq 0 ] && return 0

    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || { echo "Missing packages: ${missing[*]} (run as root or install them)." >&2; return 1; }
        sudo="sudo"
    fi
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    if ! $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/tmp/lumivor-apt.log 2>&1; then
        $sudo apt-get update -qq >>/tmp/lumivor-apt.log 2>&1 || true
        $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >>/tmp/lumivor-apt.log 2>&1 || {
            echo "apt-get failed; see /tmp/lumivor-apt.log" >&2
            return 1
        }
    fi
}
