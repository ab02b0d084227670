#!/usr/bin/env bash
# Sets up everything on a fresh Debian 12 machine, then runs every check: the unit tests in a
# normal build, again with AddressSanitizer+UBSan and with ThreadSanitizer, and a bounded run
# of every fuzzer.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
"$top/scripts/install-deps.sh"

step() { printf '\n=== %s ===\n' "$*"; }

step "normal build and tests"
scripts/build.sh build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir build/release --output-on-failure -j 2 --timeout 300

step "AddressSanitizer + UBSan"
scripts/build.sh build/asan -DCMAKE_BUILD_TYPE=Debug -DZEPHO7_SANITIZE=address -DZEPHO7_BENCH=OFF
# Qt, fontconfig and D-Bus keep process-lifetime allocations on purpose (tests/lsan.supp).
LSAN_OPTIONS=suppressions=$top/tests/lsan.supp:print_suppressions=0 \
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/asan --output-on-failure -j 2 --timeout 600

step "ThreadSanitizer"
# The Qt layers are single-threaded (the UI thread); Qt itself is not built for TSan, so the
# thread checks cover the layers below.
scripts/build.sh build/tsan -DCMAKE_BUILD_TYPE=Debug -DZEPHO7_SANITIZE=thread -DZEPHO7_BENCH=OFF \
  -DZEPHO7_QT=OFF
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build/tsan --output-on-failure -j 2 --timeout 600

step "fuzzing (bounded)"
CC=clang CXX=clang++ scripts/build.sh build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZEPHO7_FUZZ=ON -DZEPHO7_TESTS=OFF -DZEPHO7_BENCH=OFF -DZEPHO7_QT=OFF
scripts/fuzz.sh build/fuzz "${ZEPHO7_FUZZ_SECONDS:-45}"

step "all checks passed"
