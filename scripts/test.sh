#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest:
# the whole suite, the core library's tests again under AddressSanitizer
# and UndefinedBehaviorSanitizer, and the fuzz targets for a bounded time
# each.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh clang libclang-rt-14-dev
jobs=2

# Optimised lightly and with line tables only: compiling is most of the
# command's time (bench/run builds the figures' tree apart).
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG"
cmake --build build-test --parallel "$jobs"
# The fault soak (label soak) takes minutes: run it by hand, ctest -L soak.
(cd build-test && ctest --output-on-failure --parallel "$jobs" --timeout 300 -LE soak)
# The package steps of the README, on the tree just built.
bash scripts/package.sh build-test

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-g1" -DTARVEX_SANITIZE=ON
cmake --build build-asan --parallel "$jobs" --target tarvex_link_tests
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure --parallel "$jobs" --timeout 300 -L unit)

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1" \
  -DCMAKE_CXX_COMPILER=clang++ \
  -DTARVEX_FUZZ=ON -DTARVEX_FUZZ_SECONDS="${TARVEX_FUZZ_SECONDS:-8}"
cmake --build build-fuzz --parallel "$jobs"
(cd build-fuzz && ctest --output-on-failure --parallel "$jobs" -L fuzz)
