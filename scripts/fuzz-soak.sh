#!/usr/bin/env bash
# Long fuzz runs: every fuzz target for SECONDS (default 600) each, one after the other, under ASan
# and UBSan, seeded from fuzz/corpus/<target>/ with the target's dictionary (scripts/fuzz-dicts.sh).
# New inputs are merged back into fuzz/corpus/<target>/ with -merge=1 (into a fresh folder that then
# replaces it, so the corpus keeps only inputs that add coverage). Prints per target the executions,
# executions per second, the final coverage (cov: and ft:) and any crash with its input's path.
#
# Usage: scripts/fuzz-soak.sh [SECONDS] [TARGET ...]
# Builds in build-fuzz-soak/ (clang, configured as test.sh configures build-fuzz; TESSALY_FUZZ_BUILD
# names another folder). TESSALY_JOBS sets the build parallelism. Exits 1 when any target crashed;
# the merged corpora are kept either way.
set -euo pipefail

cd "$(dirname "$0")/.."
seconds=${1:-600}
shift || true
build=${TESSALY_FUZZ_BUILD:-build-fuzz-soak}
jobs=${TESSALY_JOBS:-$(nproc)}
# shellcheck source=scripts/fuzz-dicts.sh
source scripts/fuzz-dicts.sh

# -O1 -g without NDEBUG: assertions stay on while fuzzing.
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DTESSALY_BUILD_FUZZERS=ON -DTESSALY_BUILD_TESTS=OFF >/dev/null
targets=("$@")
if ((${#targets[@]} == 0)); then
    mapfile -t targets < <(find fuzz -maxdepth 1 -name '*_fuzz.cpp' -printf '%f\n' | sed 's/\.cpp$//' | sort)
fi
cmake --build "$build" -j "$jobs" --target "${targets[@]}"

stat_value() { sed -n "s/^stat::$1: *//p" "$2" | tail -1; }

crashed=0
summary=()
for name in "${targets[@]}"; do
    fuzzer=$build/fuzz/$name
    work=$build/soak/$name
    rm -rf "$work"
    mkdir -p "$work/found" "$work/artifacts" fuzz/corpus/"$name"
    dict=()
    dict_argument=$(fuzz_dict_argument "$name" "$build/dict")
    [[ -n "$dict_argument" ]] && dict=("$dict_argument")
    echo "==> $name: ${seconds}s"
    status=0
    "$fuzzer" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
        "${dict[@]}" "$work/found" "fuzz/corpus/$name" >"$work/run.log" 2>&1 </dev/null || status=$?

    runs=$(stat_value number_of_executed_units "$work/run.log")
    rate=$(stat_value average_exec_per_sec "$work/run.log")
    final=$(grep -E '^#[0-9]+.*(DONE|cov:)' "$work/run.log" | tail -1 || true)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$final")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$final")
    line=$(printf '%-24s %10s runs %7s/s  cov %6s  ft %7s' "$name" "${runs:-?}" "${rate:-?}" "${cov:-?}" "${ft:-?}")
    if ((status != 0)); then
        crashed=1
        artifact=$(find "$work/artifacts" -type f | head -1)
        line+="  CRASH (exit $status): ${artifact:-no artifact}; log $work/run.log"
        grep -m3 -E 'ERROR: |runtime error|SUMMARY' "$work/run.log" || true
    fi

    # Merge: the seeds and what was found, minimised into a fresh folder that replaces the corpus.
    merged=$work/merged
    mkdir -p "$merged"
    if "$fuzzer" -merge=1 -timeout=10 "${dict[@]}" "$merged" "fuzz/corpus/$name" "$work/found" \
        >"$work/merge.log" 2>&1 </dev/null && [[ -n "$(ls -A "$merged")" ]]; then
        rm -rf "fuzz/corpus/$name.old"
        mv "fuzz/corpus/$name" "fuzz/corpus/$name.old"
        mv "$merged" "fuzz/corpus/$name"
        rm -rf "fuzz/corpus/$name.old"
        line+="  corpus $(find "fuzz/corpus/$name" -type f | wc -l) inputs"
    else
        line+="  merge failed (corpus left as it was; log $work/merge.log)"
    fi
    echo "$line"
    summary+=("$line")
done

echo
echo "Soak summary (${seconds}s per target):"
printf '  %s\n' "${summary[@]}"
exit "$crashed"
