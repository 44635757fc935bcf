#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer + AddressSanitizer + UndefinedBehaviorSanitizer)
# and runs each one in turn, starting from the seed inputs in fuzz/corpus/<target>/.
#
#   fuzz/run.sh                  every target for 20 s each (the short run the test script uses)
#   fuzz/run.sh 600              every target for 600 s each (a longer run)
#   fuzz/run.sh 60 text_number   only the named targets: score_player, text_number, song_book
#
# Build directory: $FUZZ_BUILD_DIR, default build-fuzz at the top of the repository.
# New inputs found go to <build dir>/corpus/<target>/, crashes to <build dir>/artifacts/<target>/;
# the seed folders are only read. Exits non-zero when a target finds a fault.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
seconds=${1:-20}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(score_player text_number song_book)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}

if ! [[ $seconds =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
    echo "usage: $0 [seconds per target] [target...]" >&2
    exit 2
fi

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$build" -j2 $(printf 'fuzz_%s ' "${targets[@]}") >/dev/null

failed=()
for t in "${targets[@]}"; do
    mkdir -p "$build/corpus/$t" "$build/artifacts/$t"
    echo "== fuzz_$t for ${seconds}s"
    # Inputs up to 4 KiB; any single input taking over 10 s counts as a hang.
    if ! "$build/fuzz_$t" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$build/artifacts/$t/" \
        "$build/corpus/$t" "$here/corpus/$t" >"$build/fuzz_$t.log" 2>&1; then
        failed+=("$t")
        tail -n 40 "$build/fuzz_$t.log"
    fi
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)|^#[0-9]+.*DONE' "$build/fuzz_$t.log" || true
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing found faults in: ${failed[*]} (inputs in $build/artifacts/)" >&2
    exit 1
fi
echo "fuzzing: no faults in ${targets[*]}"
