#!/usr/bin/env bash
# Builds the Debian package of Tarvex (both programs, the log viewer, a
# desktop entry and an icon) from a clean clone: installs what is missing,
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
cmake --build "$build" --parallel 2 --target tarvex tarvex-ecu-sim tarvex-logview
(cd "$build" && cpack -G DEB >/dev/null)
package=$(ls "$build"/tarvex_*_amd64.deb 2>/dev/null | head -n 1)
[ -n "$package" ] || { echo "package.sh: cpack made no package" >&2; exit 1; }
dpkg-deb --field "$package" Package Version Depends
echo "Install it with (as root): apt install ./$package"
