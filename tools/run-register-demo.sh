#!/usr/bin/env bash
# Installs what is missing, builds the sign-up service and starts it on a copy of the demo server
# folder (build/register-demo), at http://127.0.0.1:8080/ unless options say otherwise; Ctrl+C
# stops it. The copy keeps the accounts signed up across runs; remove it to start afresh.
# Usage: tools/run-register-demo.sh [kelto-register options...]
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/deps.sh
kelto_install_packages "${KELTO_BUILD_PACKAGES[@]}"

# The same configuration as tools/run-tests.sh, so the two share one build folder; only the
# service is built here.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel --target kelto-register

[ -d build/register-demo ] || { mkdir -p build/register-demo && cp -R demo/kData build/register-demo/; }
echo "Signed-up accounts land in build/register-demo/kData/kPlayer/kAdd.txt; Ctrl+C stops."
exec build/register/kelto-register --app-dir build/register-demo "$@"
