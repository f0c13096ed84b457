#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package of Tarvex (both programs, the log viewer, the
# map editor, a desktop entry, an icon, the udev rule for USB-serial adapters, the
# copyright and the changelog) from a clean clone: installs what is missing,
# builds a release in build-release (or in the build folder given) and packs
# it there.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-release}

# cpack reads the programs' library needs with dpkg-shlibdeps and file.
bash scripts/install-deps.sh file dpkg-dev
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
fi
cmake --build "$build" --parallel 2 --target tarvex tarvex-ecu-sim tarvex-logview tarvex-mapedit
(cd "$build" && cpack -G DEB >/dev/null)
package=$(ls "$build"/tarvex_*_amd64.deb 2>/dev/null | head -n 1)
[ -n "$package" ] || { echo "package.sh: cpack made no package" >&2; exit 1; }
# What a fresh system needs from the package beyond the programs.
contents=$(dpkg -c "$package")
for file in ./usr/lib/udev/rules.d/60-tarvex-serial.rules ./usr/share/doc/tarvex/copyright \
            ./usr/share/doc/tarvex/changelog.gz; do
  grep -q " $file\$" <<<"$contents" || { echo "package.sh: $file is missing from the package" >&2; exit 1; }
done
dpkg-deb --field "$package" Package Version Depends Recommends
echo "Install it with (as root): apt install ./$package"
