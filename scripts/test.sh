#!/usr/bin/env bash
# Builds and tests everything Tessaly Client has, stopping at the first failure:
#   1. build/       RelWithDebInfo, warnings as errors, benchmarks built; every ctest label; its .deb
#                   installed, checked and purged (scripts/check-package.sh)
#   2. build-asan/  Debug with AddressSanitizer + UndefinedBehaviorSanitizer; unit, integration and gui tests
#   3. build-fuzz/  clang with libFuzzer; every fuzz target runs for $TESSALY_FUZZ_SECONDS (20) seconds
# Needs no terminal and works as root (CI runs it through .ci/run). TESSALY_JOBS sets the build
# parallelism (default: the number of cores).
set -euo pipefail

cd "$(dirname "$0")/.."
repo=$(pwd)

jobs=${TESSALY_JOBS:-$(nproc)}
fuzz_seconds=${TESSALY_FUZZ_SECONDS:-20}

# Real FTP servers are installed here: a test that cannot start one fails instead of skipping.
export TESSALY_REQUIRE_PEERS=1
# GUI tests, if any, run without a display.
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

stage_names=()
stage_seconds=()
current_stage=""
stage_started=0

print_timings() {
    ((${#stage_names[@]} > 0)) || return 0
    echo
    echo "Stage timings:"
    local i
    for i in "${!stage_names[@]}"; do
        printf '  %-40s %5ds\n' "${stage_names[$i]}" "${stage_seconds[$i]}"
    done
}

begin_stage() {
    current_stage=$1
    stage_started=$SECONDS
    printf '\n==> %s\n' "$current_stage"
}

end_stage() {
    stage_names+=("$current_stage")
    stage_seconds+=($((SECONDS - stage_started)))
    current_stage=""
}

on_exit() {
    local rc=$?
    if [[ -n "$current_stage" ]]; then
        stage_names+=("$current_stage (FAILED)")
        stage_seconds+=($((SECONDS - stage_started)))
    fi
    print_timings
    # Only a run that reached its end passed: a signal or an early exit with status 0 did not.
    if ((rc == 0 && !all_stages_ran)); then
        rc=1
    fi
    if ((rc != 0)); then
        echo
        echo "test.sh: FAILED in stage \"${current_stage:-?}\" (exit status $rc)" >&2
    else
        echo
        echo "test.sh: all stages passed in $((SECONDS))s"
    fi
}
all_stages_ran=0
trap on_exit EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

fail() {
    echo "test.sh: $*" >&2
    exit 1
}

# --- 1. dependencies ------------------------------------------------------------------------
begin_stage "install dependencies"
bash scripts/install-deps.sh </dev/null
end_stage

# --- 2. release build, all tests ------------------------------------------------------------
begin_stage "build (RelWithDebInfo)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSALY_WERROR=ON -DTESSALY_BUILD_BENCH=ON
cmake --build build -j "$jobs"
end_stage

begin_stage "ctest build"
ctest --test-dir build --output-on-failure --no-tests=error -j2 </dev/null
end_stage

# The Debian package of that build (no third build): installed, checked and purged again.
begin_stage "package (.deb: install, check, purge)"
bash scripts/check-package.sh build </dev/null
end_stage

# --- 3. sanitizer build, unit and integration tests -----------------------------------------
# Set before the build too: gtest_discover_tests runs the test binaries while building.
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
if [[ -f scripts/lsan.supp ]]; then
    export LSAN_OPTIONS="suppressions=$repo/scripts/lsan.supp:print_suppressions=0"
fi

begin_stage "build-asan (Debug, ASan+UBSan)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTESSALY_SANITIZE=ON
cmake --build build-asan -j "$jobs"
end_stage

begin_stage "ctest build-asan"
ctest --test-dir build-asan --output-on-failure --no-tests=error -j2 -L 'unit|integration|gui' </dev/null
end_stage

# --- 4. fuzz build and runs -----------------------------------------------------------------
# -O1 -g without NDEBUG: assertions stay on while fuzzing.
begin_stage "build-fuzz (clang, libFuzzer)"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DTESSALY_BUILD_FUZZERS=ON -DTESSALY_BUILD_TESTS=OFF
cmake --build build-fuzz -j "$jobs"
end_stage

begin_stage "fuzz (${fuzz_seconds}s per target)"
# shellcheck source=scripts/fuzz-dicts.sh
source scripts/fuzz-dicts.sh
mapfile -t fuzzers < <(find build-fuzz -type f -name '*_fuzz' -perm -u+x | sort)
((${#fuzzers[@]} > 0)) || echo "  warning: build-fuzz holds no fuzz targets (fuzz/*_fuzz.cpp); nothing to run"
for fuzzer in "${fuzzers[@]}"; do
    name=$(basename "$fuzzer")
    corpus=build-fuzz/corpus/$name
    artifacts=build-fuzz/artifacts/$name
    log=build-fuzz/logs/$name.log
    mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
    seeds=()
    [[ -d fuzz/corpus/$name ]] && seeds=("fuzz/corpus/$name")
    dict=()
    dict_argument=$(fuzz_dict_argument "$name" build-fuzz/dict)
    [[ -n "$dict_argument" ]] && dict=("$dict_argument")
    printf '  %-36s ' "$name"
    if "$fuzzer" -max_total_time="$fuzz_seconds" -timeout=10 -print_final_stats=1 -artifact_prefix="$artifacts/" \
        "${dict[@]}" "$corpus" "${seeds[@]}" >"$log" 2>&1 </dev/null; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
        echo "ok (${runs:-?} runs, corpus $(find "$corpus" -type f | wc -l) inputs)"
    else
        echo "FAILED"
        tail -n 60 "$log" >&2
        fail "fuzz target $name failed; full log: $log, crashing inputs: $artifacts/"
    fi
done
end_stage
all_stages_ran=1
