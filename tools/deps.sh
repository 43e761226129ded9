# Sourced by the other scripts: installs the Debian packages the project needs, if missing.
# Usage: kelto_install_packages pkg...
kelto_install_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    echo "Installing ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

# What building and testing needs on Debian 12; help2man writes the manual pages.
KELTO_BUILD_PACKAGES=(cmake ninja-build g++ qt6-base-dev fonts-wine libmicrohttpd-dev pkg-config
    help2man)
# What the sign-up page's browser tests drive (label browser): Chromium through Selenium.
KELTO_BROWSER_TEST_PACKAGES=(chromium chromium-driver python3-selenium)
