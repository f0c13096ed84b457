#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and runs every test through CTest: the
# whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer
# (the window's tests too), the package steps, and the fuzz targets for a
# bounded time each.
set -euo pipefail
cd "$(dirname "$0")/.."

# pdftotext reads the service report's PDF back in the window's tests.
bash scripts/install-deps.sh clang libclang-rt-14-dev shellcheck socat poppler-utils
jobs=2
# Every source file states its licence.
bash scripts/licence-headers.sh --check

# Optimised lightly, with line tables only, and eight sources compiled as
# one: compiling is most of the command's time (bench/run builds the
# figures' tree apart, file by file).
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG" \
  -DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=8 -DTARVEX_SANITIZE=ON -DTARVEX_WERROR=ON
cmake --build build-test --parallel "$jobs"
# Freed memory is overwritten, so that Qt's own code (not instrumented)
# that reads a deleted widget crashes instead of reading what was there.
asan="max_free_fill_size=4096:detect_stack_use_after_return=0"
# The core library is checked for leaks too; Qt and the platform keep
# caches that look like leaks at exit, so the rest is not.
# The fault soak (label soak) takes minutes: run it by hand, ctest -L soak.
(cd build-test && ASAN_OPTIONS="$asan:detect_leaks=1" ctest --output-on-failure --parallel "$jobs" --timeout 300 -L unit)
(cd build-test && ASAN_OPTIONS="$asan:detect_leaks=0" ctest --output-on-failure --parallel "$jobs" --timeout 300 -LE "soak|unit")
# The package steps of the README, on the tree just built.
bash scripts/package.sh build-test

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1" \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=8 \
  -DTARVEX_FUZZ=ON -DTARVEX_FUZZ_SECONDS="${TARVEX_FUZZ_SECONDS:-6}" -DTARVEX_WERROR=ON
cmake --build build-fuzz --parallel "$jobs"
(cd build-fuzz && ctest --output-on-failure --parallel "$jobs" -L fuzz)
