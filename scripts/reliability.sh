#!/usr/bin/env bash
# Fault hunting, run by `scripts/obsledger.sh test` after the ordinary tests:
#   1. every test again, built with the address and undefined-behaviour sanitizers (build-asan);
#   2. each fuzz target of fuzz/ for a bounded time from its seed inputs (clang, build-fuzz).
# Any sanitizer report, failed test, crash or broken promise of a fuzz target fails the run.
#   scripts/reliability.sh [sanitize|fuzz]    (both when no argument)
# OBSLEDGER_FUZZ_SECONDS sets the time given to each fuzz target (20 s by default).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc)
fuzz_seconds=${OBSLEDGER_FUZZ_SECONDS:-20}
# -O1 keeps the sanitized builds and runs short; line tables are enough for the reports' stacks.
flags=(-G Ninja -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1")
[ -n "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ] && flags+=("-DCMAKE_CXX_COMPILER_LAUNCHER=$CMAKE_CXX_COMPILER_LAUNCHER")

# Leaks are errors; the only ones let pass are made inside system libraries (see the file).
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:check_initialization_order=1:strict_init_order=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$root/fuzz/sanitizers/lsan.supp:print_suppressions=0"

sanitized_tests() {
    local build="$root/build-asan"
    echo "== Tests sous AddressSanitizer et UndefinedBehaviorSanitizer ($build)"
    cmake -S "$root" -B "$build" "${flags[@]}" -DOBSLEDGER_SANITIZE=ON
    cmake --build "$build" --parallel "$jobs"
    (cd "$build" && ctest --output-on-failure --parallel "$jobs")
}

fuzz_runs() {
    local build="$root/build-fuzz" failed=() name corpus scratch log rc execs
    echo "== Fuzzing, ${fuzz_seconds} s par cible ($build)"
    cmake -S "$root" -B "$build" "${flags[@]}" -DCMAKE_CXX_COMPILER=clang++ -DOBSLEDGER_FUZZ=ON -DOBSLEDGER_TESTS=OFF
    cmake --build "$build" --parallel "$jobs" --target fuzz
    mkdir -p "$build/artifacts" "$build/logs"
    for corpus in "$root"/fuzz/corpus/*/; do
        name=$(basename "$corpus")
        # New inputs go to a scratch folder: the seeds in the tree stay as they are.
        scratch=$(mktemp -d)
        log="$build/logs/$name.log"
        rc=0
        "$build/bin/fuzz_$name" -max_total_time="$fuzz_seconds" -timeout=5 -rss_limit_mb=2048 \
            -print_final_stats=1 -artifact_prefix="$build/artifacts/$name-" "$scratch" "$corpus" >"$log" 2>&1 || rc=$?
        rm -rf "$scratch"
        execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
        printf '%-16s %10s entrées exécutées en %s s\n' "$name" "${execs:-?}" "$fuzz_seconds"
        if [ "$rc" -ne 0 ]; then
            failed+=("$name")
            echo "-- fuzz_$name a échoué (code $rc), fin du journal $log :" >&2
            tail -n 60 "$log" >&2
        fi
    done
    if [ ${#failed[@]} -ne 0 ]; then
        echo "Cibles en échec : ${failed[*]} (entrées fautives dans $build/artifacts)" >&2
        return 1
    fi
}

start=$SECONDS
case "${1:-all}" in
sanitize) sanitized_tests ;;
fuzz) fuzz_runs ;;
all)
    sanitized_tests
    fuzz_runs
    ;;
*)
    echo "Utilisation : $0 [sanitize|fuzz]" >&2
    exit 2
    ;;
esac
echo "Fiabilité : terminé en $((SECONDS - start)) s"
