#!/usr/bin/env bash
# Every test again, built by clang under AddressSanitizer and
# UndefinedBehaviorSanitizer in a second build folder; any report fails the
# run. The same build holds the fuzz targets, whose CTest entries replay
# each seed corpus and then fuzz a fixed number of runs from a fixed seed.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_SAN=${BUILD_SAN:-build-san}

CXX=clang++ cmake -S . -B "$BUILD_SAN" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DWAZUNA_SANITIZE=ON >/dev/null
cmake --build "$BUILD_SAN"

# A report stops the program with a failing status; a child's report too.
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
cd "$BUILD_SAN"
# kill9 runs in the normal build: under ASan it only takes four times as long.
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -E '^kill9$' "$@"
