#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the README's pictures of the four pages from the built program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh poppler-utils # pdftoppm pictures the report's first page
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
cmake --build build-release --parallel 2 --target tarvex-screenshots
# The map pictures, the report's and the log viewer's come from live data of
# the simulator.
QT_QPA_PLATFORM=offscreen build-release/tarvex-screenshots docs --maps 12 --reconnect --report --drive 40 --compare 4
