#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds a release, starts the ECU simulator on a
# pseudo-terminal and opens the window, disconnected; it says how to reach
# the simulator's port.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "run.sh: needs a graphical display (neither DISPLAY nor WAYLAND_DISPLAY is set); run it from the desktop" >&2
  exit 1
fi

bash scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
cmake --build build-release --parallel 2

sim_pid=
if [ -x build-release/tarvex-ecu-sim ]; then
  build-release/tarvex-ecu-sim &
  sim_pid=$!
  trap '[ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null; wait 2>/dev/null || true' EXIT
fi
ports=${XDG_RUNTIME_DIR:+$XDG_RUNTIME_DIR/tarvex/ports}
ports=${ports:-/tmp/tarvex-$(id -u)/ports}
echo "To reach the simulator: press \"Опросить\", choose $ports/ecu-sim in the port box, press \"Соединить\"."
build-release/tarvex
