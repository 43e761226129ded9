#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
# Usage: tools/run-tests.sh [build folder] [extra CMake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/deps.sh
kelto_install_packages "${KELTO_BUILD_PACKAGES[@]}" "${KELTO_BROWSER_TEST_PACKAGES[@]}"

build=${1:-build}
shift || true
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$build" --parallel
ctest --test-dir "$build" --output-on-failure --parallel 2 --timeout 600
