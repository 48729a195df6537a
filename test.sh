#!/usr/bin/env bash
# Installs what is missing, builds and runs every test with CTest.
#   ./test.sh             the normal build
#   ./test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build
#   ./test.sh --fuzz      builds the libFuzzer targets with clang and runs each for
#                         FUZZ_SECONDS (default 60) seconds
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

ensure_packages "${BASE_PACKAGES[@]}"

case "$mode" in
normal)
    configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
    ctest --test-dir build --output-on-failure -j "$(nproc)"
    ;;
sanitize)
    configure_and_build build-sanitize -DCMAKE_BUILD_TYPE=Debug -DDIZIVU_SANITIZE=ON
    ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --test-dir build-sanitize --output-on-failure -j "$(nproc)"
    ;;
fuzz)
    ensure_packages "${FUZZ_PACKAGES[@]}"
    CC=clang CXX=clang++ configure_and_build build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DDIZIVU_FUZZ=ON -DDIZIVU_TESTS=OFF
    mkdir -p build-fuzz/corpus
    for f in build-fuzz/fuzz/fuzz_*; do
        [ -f "$f" ] && [ -x "$f" ] || continue
        name=$(basename "$f")
        mkdir -p "build-fuzz/corpus/$name"
        echo "== $name"
        "$f" -max_total_time="${FUZZ_SECONDS:-60}" -print_final_stats=1 "build-fuzz/corpus/$name" 2>&1 | tail -n 12
    done
    ;;
esac
