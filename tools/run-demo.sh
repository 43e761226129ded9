#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it on the demo server folder that the
# build puts beside it (build/app/kData/kPlayer/kAdd.txt).
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/deps.sh
# fonts-wine carries the Tahoma the windows were laid out for.
kelto_install_packages "${KELTO_BUILD_PACKAGES[@]}" fonts-wine

# The same configuration as tools/run-tests.sh, so the two share one build folder; only the
# program and its demo folder are built here.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --parallel --target kelto_demo_server

# Started in its own folder, as an operator runs it beside kData/; kAdd.tmp is made there too.
cd build/app
exec ./kelto-account-creator
