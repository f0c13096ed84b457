#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Puts the licence's one-line SPDX header at the top of every source file
# that lacks it: C++ with "//"; CMake, scripts and the udev rule with "#",
# below a "#!" line. Run again, it changes nothing.
#   scripts/licence-headers.sh           insert the missing headers
#   scripts/licence-headers.sh --check   list the files without one; fail if any
set -euo pipefail
cd "$(dirname "$0")/.."

tag="SPDX-License-Identifier: GPL-3.0-or-later"
check=false
case "${1:-}" in
  "") ;;
  --check) check=true ;;
  *) echo "Usage: scripts/licence-headers.sh [--check]" >&2; exit 2 ;;
esac

# The project's files, new ones too; hidden folders and build trees are not ours.
files() {
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files --cached --others --exclude-standard
  else
    find . -path './.*' -prune -o -path './build*' -prune -o -type f -print | sed 's|^\./||'
  fi
}

# The comment mark of a source file; none for any other file.
mark() {
  case "$1" in
    .*) ;;
    *.h | *.hpp | *.cpp | *.h.in) echo "//" ;;
    CMakeLists.txt | */CMakeLists.txt | *.cmake | *.sh | *.rules) echo "#" ;;
    *) [ -x "$1" ] && head -c 2 "$1" | grep -q '^#!' && echo "#" ;;
  esac
  return 0
}

missing=0
while IFS= read -r file; do
  [ -f "$file" ] || continue
  comment=$(mark "$file")
  [ -n "$comment" ] || continue
  head -n 2 "$file" | grep -qF "$tag" && continue
  if $check; then
    echo "$file: no line \"$comment $tag\" at its top" >&2
    missing=1
  elif head -c 2 "$file" | grep -q '^#!'; then
    sed -i "1a $comment $tag" "$file"
  else
    sed -i "1i $comment $tag" "$file"
  fi
done < <(files)
exit $missing
