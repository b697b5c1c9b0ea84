#!/usr/bin/env bash
# Rewrites the writer's golden files from the current writer (native build), then shows the
# difference for review before it is committed.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD="${BUILD:-$ROOT/build/golden}"
[ -f "$BUILD/CMakeCache.txt" ] || cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j2 --target korvella_tests
(cd "$BUILD" && KORVELLA_REGENERATE_GOLDEN=1 ./korvella_tests --gtest_filter='Writer.GoldenFiles')
git -C "$ROOT" status --short -- tests/golden
git -C "$ROOT" diff --stat -- tests/golden
