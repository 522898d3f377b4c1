#!/usr/bin/env bash
# Times a restore of ten fixture browser windows under Wine, inside a private
# Wine session (its own Xvfb, prefix and wineserver, all stopped afterwards).
#   bench/restore_wine/run-restore-bench.sh [runs]
# Build first: cmake --preset win32 && cmake --build --preset win32 -j2
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${PELORIN_WIN32_BUILD:-$repo/build/win32}
bench=$build/bench/restore_wine/restore_wine_bench.exe
fixture=$build/tests/fixtures/fixture_browser.exe
for f in "$bench" "$fixture"; do
  [ -f "$f" ] || { echo "missing $f: build the win32 preset first" >&2; exit 2; }
done
exec "$repo/tests/wine/wine-session" "$repo/tests/wine/wine-run" "$bench" "$fixture" "${1:-5}"
