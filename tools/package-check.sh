#!/usr/bin/env bash
# Builds the Debian packages, installs them on this machine, tries the installed programs and
# validates the packages and their desktop files. Run as root or with sudo; CI runs it.
# Usage: tools/package-check.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/deps.sh
kelto_install_packages "${KELTO_BUILD_PACKAGES[@]}" help2man lintian appstream \
    desktop-file-utils dpkg-dev file curl systemd

# lintian warnings that are accepted, each for the reason docs/building.md gives.
accepted_warnings=(
)

build=${1:-build-package}
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)

echo "== Build the packages =="
# Debian's hardening flags (PIE, RELRO, fortify), as a Debian build would use.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
export CXXFLAGS="$CPPFLAGS $CXXFLAGS" # CMake reads no CPPFLAGS
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --parallel 2
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$PWD/$build"/kadd_*.deb "$PWD/$build"/kelto-account-creator_*.deb
      "$PWD/$build"/kelto-register_*.deb)
packages=(kadd kelto-account-creator kelto-register)
for deb in "${debs[@]}"; do
    echo "-- $(basename "$deb")"
    dpkg-deb --field "$deb" Package Depends Recommends
done
kadd_deb=${debs[0]}
register_deb=${debs[2]}
for deb in "$kadd_deb" "$register_deb"; do
    if dpkg-deb --field "$deb" Depends | grep -qi -e widgets -e gui; then
        echo "package-check: $(basename "$deb") must need QtCore alone" >&2
        exit 1
    fi
done
if ! dpkg-deb --field "$register_deb" Depends | grep -q libmicrohttpd; then
    echo "package-check: kelto-register does not depend on libmicrohttpd" >&2
    exit 1
fi
# dpkg keeps an operator's edits of the defaults only for a conffile.
if [ "$(dpkg-deb --ctrl-tarfile "$register_deb" | tar -xO ./conffiles)" != /etc/default/kelto-register ]; then
    echo "package-check: /etc/default/kelto-register is not kelto-register's conffile" >&2
    exit 1
fi

echo "== Validate the desktop entry, the AppStream data and the packages =="
desktop-file-validate dist/kelto-account-creator.desktop
appstreamcli validate --no-net dist/org.kelto.account_creator.metainfo.xml
lintian_log=$(mktemp)
trap 'rm -f "$lintian_log"' EXIT
status=0
lintian --fail-on error --tag-display-limit 0 "${debs[@]}" >"$lintian_log" 2>&1 || status=$?
cat "$lintian_log"
if [ "$status" -ne 0 ]; then
    echo "package-check: lintian found errors" >&2
    exit 1
fi
unexpected=$(grep '^W: ' "$lintian_log" | awk '{print $3}' | sort -u |
    grep -vxF -f <(printf '%s\n' "${accepted_warnings[@]}" '') || true)
if [ -n "$unexpected" ]; then
    echo "package-check: lintian warnings not accepted in docs/building.md: $unexpected" >&2
    exit 1
fi

echo "== Install the packages and try them =="
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${debs[@]}" >/dev/null
trap 'rm -f "$lintian_log"; "${sudo[@]}" apt-get purge -y -qq "${packages[@]}" >/dev/null' EXIT
for path in /usr/bin/kadd /usr/bin/kelto-account-creator /usr/share/man/man1/kadd.1.gz \
    /usr/share/man/man1/kelto-account-creator.1.gz /usr/share/bash-completion/completions/kadd \
    /usr/share/applications/kelto-account-creator.desktop \
    /usr/share/metainfo/org.kelto.account_creator.metainfo.xml \
    /usr/share/icons/hicolor/256x256/apps/kelto-account-creator.png /usr/bin/kelto-register \
    /usr/share/man/man1/kelto-register.1.gz /usr/lib/systemd/system/kelto-register.service \
    /etc/default/kelto-register; do
    [ -e "$path" ] || { echo "package-check: $path is not installed" >&2; exit 1; }
done
expected="kadd $(sed -n 's/^project(KeltoAccountCreator VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
[ "$(/usr/bin/kadd --version)" = "$expected" ] || { echo "package-check: kadd --version is not '$expected'" >&2; exit 1; }
env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/kelto-account-creator --version
[ "$(/usr/bin/kelto-register --version)" = "kelto-register ${expected#kadd }" ] ||
    { echo "package-check: kelto-register --version is not 'kelto-register ${expected#kadd }'" >&2; exit 1; }
if command -v systemd-analyze >/dev/null; then
    # Checks the unit's syntax and that its program exists, without a running systemd (the
    # manual page is checked above).
    SYSTEMD_LOG_LEVEL=warning systemd-analyze verify --man=no /usr/lib/systemd/system/kelto-register.service
    echo "systemd-analyze verify: kelto-register.service is valid"
fi

# A throw-away server folder named by KELTO_APP_DIR; kAdd.tmp goes to the working folder.
server=$(mktemp -d)
trap 'rm -rf "$server" "$lintian_log"; "${sudo[@]}" apt-get purge -y -qq "${packages[@]}" >/dev/null' EXIT
mkdir -p "$server/kData/kPlayer" "$server/work"
printf 'alice,secret1,0,none,0\r\n' >"$server/kData/kPlayer/kAdd.txt"
(cd "$server/work" && echo pw12 | KELTO_APP_DIR="$server" kadd add bobby --gm WARP+WHOIS)
if [ "$(cat "$server/kData/kPlayer/kAdd.txt")" != $'alice,secret1,0,none,0\r\nbobby,pw12,1,none,384\r' ]; then
    echo "package-check: the installed kadd did not add the account" >&2
    exit 1
fi
# Named by nothing, the server folder is the nearest above the current folder; with none above
# it, kadd stops with status 64.
(cd "$server/work" && kadd add carol pw34 >/dev/null) ||
    { echo "package-check: kadd did not find the server folder above the current one" >&2; exit 1; }
status=0
(cd / && kadd add dave pw56 2>/dev/null) || status=$?
[ "$status" -eq 64 ] || { echo "package-check: kadd without a server folder exited $status, not 64" >&2; exit 1; }

# The completion offers the commands and completes flag names.
completions=$(bash -c 'source /usr/share/bash-completion/completions/kadd
    COMP_WORDS=(kadd add bob --gm warp+wh); COMP_CWORD=4; _kadd; echo "${COMPREPLY[*]}"')
[ "$completions" = "warp+WHOIS" ] || { echo "package-check: completion gave '$completions'" >&2; exit 1; }

# The installed service on the same folder, named as the unit names it: one registration must be
# on disk when it is answered 201, and SIGTERM must stop the service with status 0.
out=$server/register.out
KELTO_APP_DIR=$server /usr/bin/kelto-register --listen 127.0.0.1:0 >"$out" 2>&1 &
service=$!
port=""
for _ in $(seq 100); do
    port=$(sed -n 's|^kelto-register: listening on http://127\.0\.0\.1:\([0-9]*\)/.*|\1|p' "$out")
    [ -n "$port" ] || ! kill -0 "$service" 2>/dev/null || { sleep 0.1; continue; }
    break
done
[ -n "$port" ] || { cat "$out"; echo "package-check: kelto-register did not start listening" >&2; exit 1; }
answer=$(curl -sS --max-time 30 -w ' %{http_code}' -d username=webby -d password=pw5678 \
    -d password2=pw5678 -d email= -d gender=male -H 'Accept: application/json' \
    "http://127.0.0.1:$port/register")
kill -TERM "$service"
status=0
wait "$service" || status=$?
[ "$answer" = '{"created":"webby"} 201' ] ||
    { echo "package-check: the installed kelto-register answered '$answer'" >&2; exit 1; }
[ "$(tail -n 1 "$server/kData/kPlayer/kAdd.txt")" = $'webby,pw5678,1,none,0\r' ] ||
    { echo "package-check: the installed kelto-register did not add the account" >&2; exit 1; }
[ "$status" -eq 0 ] || { echo "package-check: kelto-register exited $status on SIGTERM, not 0" >&2; exit 1; }

echo "package-check: packages built, installed and working"
