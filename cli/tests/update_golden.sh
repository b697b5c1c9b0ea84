#!/usr/bin/env bash
# Rewrites the batch tool's golden files from the native program; review them as a diff.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD="${1:-$ROOT/build/native}"
cmake --build "$BUILD" -j2 --target korvella_cli_tests
cd "$BUILD"
KORVELLA_UPDATE_GOLDEN=1 ./tests_native/korvella_cli_tests --gtest_filter='CliProgram.*'
git -C "$ROOT" diff --stat -- cli/tests/golden
