#!/usr/bin/env bash
# Makes the README's pictures of the four pages from the built program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
cmake --build build-release --parallel 2 --target tarvex-screenshots
# The log viewer's picture comes from a 40-second drive against the simulator.
QT_QPA_PLATFORM=offscreen build-release/tarvex-screenshots docs --drive 40
