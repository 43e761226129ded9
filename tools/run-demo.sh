#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program on the bundled demo server folder.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/deps.sh
kelto_install_packages "${KELTO_BUILD_PACKAGES[@]}"

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF
cmake --build build --parallel
echo "The windows are not built yet; until then this runs the account-file benchmark."
cd build && ./bench/account-bench
