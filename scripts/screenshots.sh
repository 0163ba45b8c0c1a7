#!/usr/bin/env bash
# Makes the README's screenshots again after a change to the windows: builds
# the release tree's screenshot program and runs the console and the virtual
# controller under a virtual display, writing docs/screenshots/*.png.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-deps.sh
source scripts/build.sh

lumivor_ensure_packages xvfb xauth
lumivor_build_quietly build/release Release -- lumivor-screenshots
runtime_dir=$(mktemp -d "${TMPDIR:-/tmp}/lumivor-runtime.XXXXXX")
trap 'rm -rf "$runtime_dir"' EXIT
XDG_RUNTIME_DIR=$runtime_dir QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1600x1000x24" \
    build/release/scripts/screenshots/lumivor-screenshots docs/screenshots
