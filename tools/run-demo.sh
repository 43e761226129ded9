#!/bin/sh
# Installs what is missing on Debian, builds the program and starts it on the demo server folder
# that the build puts beside it (build/app/kData/kPlayer/kAdd.txt).
set -eu
cd "$(dirname "$0")/.."

# fonts-wine carries the Tahoma the windows were laid out for.
packages="cmake ninja-build g++ qt6-base-dev fonts-wine"

missing=""
for package in $packages; do
    dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q '^install ok installed$' ||
        missing="$missing $package"
done
if [ -n "$missing" ]; then
    if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
    echo "run-demo: installing$missing"
    $sudo apt-get update
    # shellcheck disable=SC2086 # one word per package
    $sudo apt-get install -y $missing
fi

cmake -S . -B build -G Ninja
cmake --build build --target kelto_demo_server

# Started in its own folder, as an operator runs it beside kData/; kAdd.tmp is made there too.
cd build/app
exec ./kelto-account-creator
