#!/usr/bin/env bash
# Installs what is missing, builds and runs every test with CTest.
#   ./test.sh             the normal build
#   ./test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build, leak
#                         detection on (scripts/lsan.supp names the system libraries'
#                         one-time allocations, never the project's own code)
#   ./test.sh --fuzz      builds the libFuzzer targets with clang and runs each for
#                         FUZZ_SECONDS (default 60) seconds from the seed corpus in
#                         fuzz/corpus; fails when a target crashes, leaks, runs out of
#                         memory or takes longer than FUZZ_TIMEOUT (default 10) seconds
#                         on one input
# BUILD_SUFFIX (default empty) is appended to the build folders' names (build,
# build-sanitize, build-fuzz), so a second checkout or engineer can keep their own.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/common.sh

mode=normal
for a in "$@"; do
    case "$a" in
        --sanitize) mode=sanitize ;;
        --fuzz) mode=fuzz ;;
        *) echo "usage: ./test.sh [--sanitize|--fuzz]" >&2; exit 2 ;;
    esac
done

suffix=${BUILD_SUFFIX:-}
ensure_packages "${BASE_PACKAGES[@]}"

# Sanitizer reports end the process with an error and a stack; leaks are checked at exit
# against the suppressions for the system libraries.
export ASAN_OPTIONS="detect_leaks=1:check_initialization_order=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# Uninitialised locals get a fixed non-zero pattern (a bool reads as 0xFE, which
# UndefinedBehaviorSanitizer refuses; a count or an index reads as a huge number), so a
# read before the first write fails the same way on every run instead of passing by luck.
SANITIZE_FLAGS="-ftrivial-auto-var-init=pattern"

case "$mode" in
normal)
    dir=build$suffix
    configure_and_build "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    ctest --test-dir "$dir" --output-on-failure -j "$(nproc)"
    ;;
sanitize)
    dir=build-sanitize$suffix
    configure_and_build "$dir" -DCMAKE_BUILD_TYPE=Debug -DDIZIVU_SANITIZE=ON \
        "-DCMAKE_CXX_FLAGS=$SANITIZE_FLAGS"
    ctest --test-dir "$dir" --output-on-failure -j "$(nproc)"
    ;;
fuzz)
    ensure_packages "${FUZZ_PACKAGES[@]}"
    dir=build-fuzz$suffix
    CC=clang CXX=clang++ configure_and_build "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DDIZIVU_FUZZ=ON -DDIZIVU_TESTS=OFF "-DCMAKE_CXX_FLAGS=$SANITIZE_FLAGS"
    failed=()
    for f in "$dir"/fuzz/fuzz_*; do
        [ -f "$f" ] && [ -x "$f" ] || continue
        name=$(basename "$f")
        # The committed seeds go into the working corpus; what the run finds stays there,
        # out of the repository.
        corpus="$dir/corpus/$name"
        artifacts="$dir/artifacts/$name"
        mkdir -p "$corpus" "$artifacts"
        if [ -d "fuzz/corpus/$name" ]; then
            cp -n fuzz/corpus/"$name"/* "$corpus"/ 2>/dev/null || true
        else
            echo "warning: $name has no seed corpus in fuzz/corpus/$name" >&2
        fi
        echo "== $name"
        status=0
        "$f" -max_total_time="${FUZZ_SECONDS:-60}" -timeout="${FUZZ_TIMEOUT:-10}" \
            -rss_limit_mb="${FUZZ_RSS_MB:-2048}" -print_final_stats=1 \
            -artifact_prefix="$artifacts/" "$corpus" >"$artifacts/output.txt" 2>&1 || status=$?
        if [ "$status" -ne 0 ]; then
            echo "FAILED: $name (exit status $status); the input is in $artifacts" >&2
            grep -E -A40 "ERROR: |runtime error|==ERROR|deadly signal|timeout|out-of-memory" \
                "$artifacts/output.txt" | head -n 60 >&2 || tail -n 40 "$artifacts/output.txt" >&2
            failed+=("$name")
        else
            grep -E "^stat::(number_of_executed_units|peak_rss_mb)|^#[0-9]+.*DONE" "$artifacts/output.txt" || true
        fi
    done
    if [ ${#failed[@]} -gt 0 ]; then
        echo "fuzz targets failed: ${failed[*]}" >&2
        exit 1
    fi
    ;;
esac
