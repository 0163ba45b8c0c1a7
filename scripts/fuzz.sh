#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer (build/fuzz) and runs each for
# SECONDS (default 60), starting from its seed corpus in tests/fuzz/corpus/<target>.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
# Inputs that reach new code are kept in build/fuzz/corpus/<target>, not in the
# repository. A crash or a sanitizer report stops that target, keeps its input as
# build/fuzz/crashes/<target>-crash-<hash> and makes the script exit with status 1:
# once the fault is mended, copy the input into tests/fuzz/corpus/<target>/ so the
# suite replays it for ever (tst_fuzz_replay).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-deps.sh
source scripts/build.sh

seconds=${1:-60}
shift || true
targets=("$@")
[ "${#targets[@]}" -gt 0 ] || targets=(flash_file picture operator_input cli_arguments controller_replies sim_decoder)

lumivor_ensure_packages clang libclang-rt-14-dev
lumivor_build_quietly build/fuzz Debug -DCMAKE_CXX_COMPILER=clang++ -DLUMIVOR_FUZZ=ON \
    -- "${targets[@]/#/fuzz_}"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p build/fuzz/crashes
status=0
for target in "${targets[@]}"; do
    corpus=build/fuzz/corpus/$target
    log=build/fuzz/$target.log
    mkdir -p "$corpus"
    if build/fuzz/tests/fuzz/fuzz_"$target" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix=build/fuzz/crashes/"$target"- \
        "$corpus" tests/fuzz/corpus/"$target" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        echo "$target: ${runs:-?} inputs in ${seconds} s, nothing found"
    else
        echo "$target: FOUND A FAULT; see $log and build/fuzz/crashes/" >&2
        grep -m 3 -E "ERROR|does not hold|runtime error" "$log" >&2 || tail -n 5 "$log" >&2
        status=1
    fi
done
exit $status
