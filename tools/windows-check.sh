#!/usr/bin/env bash
# Builds the project for 64-bit Windows with MinGW-w64, Qt and libmicrohttpd from
# ../shared/windows, runs every test executable on the Windows API under Wine, with real Win32
# windows drawn on an Xvfb display of its own, checks the portable ZIP on a throw-away server
# folder (the sign-up service answering a registration from Linux among it), and installs,
# checks and uninstalls the installer.
# Usage: tools/windows-check.sh [build folder]   (default build-windows; exits non-zero on any
# failure)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source tools/deps.sh

qt_archive=$root/../shared/windows/qt6-mingw.tar.xz
[ -f "$qt_archive" ] || { echo "windows-check: $qt_archive is missing" >&2; exit 1; }
mhd_archive=$root/../shared/windows/libmicrohttpd-mingw.tar.xz
[ -f "$mhd_archive" ] || { echo "windows-check: $mhd_archive is missing" >&2; exit 1; }

kelto_install_packages cmake ninja-build jq g++-mingw-w64-x86-64-posix qt6-base-dev-tools \
    pkg-config wine64 xvfb xdotool nsis curl

build=$(mkdir -p "${1:-build-windows}" && cd "${1:-build-windows}" && pwd)
started=$SECONDS

# Qt for Windows lives in the build folder, unpacked again only when the archive changes.
qt=$build/qt6-mingw
stamp=$build/qt6-mingw.unpacked
if [ ! -f "$stamp" ] || [ "$qt_archive" -nt "$stamp" ]; then
    echo "== Unpacking Qt for Windows =="
    rm -rf "$qt"
    tar -xJf "$qt_archive" -C "$build"
    touch "$stamp"
fi
# libmicrohttpd for Windows likewise. The host's pkg-config must see its .pc file and not the
# system's; the Qt toolchain finds libraries only below the prefixes it is given.
mhd=$build/libmicrohttpd-mingw
stamp=$build/libmicrohttpd-mingw.unpacked
if [ ! -f "$stamp" ] || [ "$mhd_archive" -nt "$stamp" ]; then
    echo "== Unpacking libmicrohttpd for Windows =="
    rm -rf "$mhd"
    tar -xJf "$mhd_archive" -C "$build"
    touch "$stamp"
fi

echo "== Cross-building for Windows =="
PKG_CONFIG_LIBDIR=$mhd/lib/pkgconfig "$qt/bin/qt-cmake" -S "$root" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release -DQT_ADDITIONAL_PACKAGES_PREFIX_PATH="$mhd" \
    >"$build/configure.log" || { cat "$build/configure.log"; exit 1; }
cmake --build "$build" --parallel 2

# What a Windows program needs beside it: Qt's DLLs and plugins, and the MinGW runtime.
mingw_dll() { x86_64-w64-mingw32-g++-posix -print-file-name="$1"; }
cp -u "$qt"/bin/Qt6{Core,Gui,Widgets,Test}.dll "$build/"
cp -ru "$qt/plugins/platforms" "$qt/plugins/styles" "$build/"
cp -u "$mhd"/bin/libmicrohttpd-*.dll "$build/"
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    cp -u "$(mingw_dll "$dll")" "$build/"
done

# An X server of our own, on the first free display from :95 on.
display=95
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export WINEPREFIX=$build/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
finish() {
    WINEPREFIX=$build/wine-prefix "${wine%/*}/wineserver" -k 2>/dev/null ||
        wineserver -k 2>/dev/null || true
    kill "$xvfb_pid" 2>/dev/null || true
}
trap finish EXIT
for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$display" ] && break
    sleep 0.1
done
export DISPLAY=:$display
# The tests draw through Qt's real "windows" platform plugin.
unset QT_QPA_PLATFORM
"$wine" wineboot -i >/dev/null 2>&1

echo "== Tests under Wine (display :$display) =="
results=$build/wine-results
rm -rf "$results"
mkdir -p "$results"
passed=0
failed=0
while IFS= read -r test; do
    name=$(jq -r .name <<<"$test")
    mapfile -t command < <(jq -r '.command[]' <<<"$test")
    out=$results/$name.txt
    begin=$SECONDS
    status=0
    # A Qt Test executable's own console output does not reach a Unix pipe under Wine: it
    # writes its results into a file instead.
    if grep -qa 'Qt6Test.dll' "${command[0]}"; then
        timeout 1200 "$wine" "${command[@]}" -o "$out,txt" >"$results/$name.log" 2>&1 || status=$?
        totals=$(grep -a '^Totals:' "$out" 2>/dev/null | sed 's/^Totals: //; s/, [0-9]* blacklisted, .*//' || true)
        [ -n "$totals" ] || { totals="no results"; [ "$status" -ne 0 ] || status=1; }
    else
        timeout 1200 "$wine" "${command[@]}" >"$out" 2>&1 || status=$?
        totals="exit status $status"
    fi
    if [ "$status" -eq 0 ]; then
        passed=$((passed + 1))
        printf 'PASS  %-26s %s (%d s)\n' "$name" "$totals" $((SECONDS - begin))
    else
        failed=$((failed + 1))
        printf 'FAIL  %-26s %s (%d s)\n' "$name" "$totals" $((SECONDS - begin))
        # Each failure with its compared values, as QtTest reports it.
        awk '/^FAIL!/ {show = 1; print; next} /^(PASS|SKIP|QWARN|QDEBUG|Totals)/ {show = 0}
             show' "$out" 2>/dev/null | head -60 | sed 's/^/      /' || true
        grep -a '^QWARN' "$out" 2>/dev/null | grep -v QTemporaryDir | head -10 | sed 's/^/      /' || true
        [ -s "$out" ] || tail -20 "$results/$name.log" | sed 's/^/      /'
    fi
    grep -a '^SKIP' "$out" 2>/dev/null | sed 's/^SKIP *: */      skipped: /' || true
done < <(ctest --test-dir "$build" --show-only=json-v1 | jq -c '.tests[]')

# Runs one of the checks below and counts and prints its outcome as the test lines above.
run_check()
{
    local name=$1 begin=$SECONDS
    shift
    if "$@"; then
        passed=$((passed + 1))
        printf 'PASS  %-26s (%d s)\n' "$name" $((SECONDS - begin))
    else
        failed=$((failed + 1))
        printf 'FAIL  %-26s (%d s)\n' "$name" $((SECONDS - begin))
    fi
}

# Prints the first window whose title matches, waiting up to 60 s; prints nothing if none came.
# One search at a time rather than --sync: a window of the program before may still be going
# away, and xdotool ends on the X error its vanishing raises in the middle of a search.
find_window()
{
    local title=$1 window='' deadline=$((SECONDS + 60))
    while [ -z "$window" ] && [ $SECONDS -lt $deadline ]; do
        window=$(xdotool search --name "$title" 2>/dev/null | head -n 1 || true)
        [ -n "$window" ] || sleep 0.5
    done
    echo "$window"
}

# Starts a program of the unpacked ZIP in server and waits up to 60 s for a window whose title
# matches; takes a screenshot of it when given a file for one.
shows_window()
{
    local server=$1 exe=$2 title=$3 screenshot=${4:-}
    (cd "$server" && exec "$wine" "KeltoAccountCreator/$exe") >/dev/null 2>&1 &
    local program=$!
    local window
    window=$(find_window "$title")
    if [ -n "$window" ] && [ -n "$screenshot" ] && command -v import >/dev/null; then
        import -window "$window" "$screenshot" 2>/dev/null || true
    fi
    kill "$program" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
    if [ -z "$window" ]; then
        echo "$exe from the ZIP showed no window within 60 s"
        return 1
    fi
    echo "$exe from the ZIP showed its window"
}

# The sign-up service of the unpacked ZIP, started in the server folder so that it finds kData
# one folder above its own, on a free port: one registration sent from Linux must come back 201
# only once its line is in the account file, and Ctrl+C (SIGINT, which Wine hands to the console
# program as such) must stop it with status 0.
register_answers()
{
    local server=$1
    local out=$results/register.out
    (cd "$server" && exec "$wine" KeltoAccountCreator/kelto-register.exe --listen 127.0.0.1:0) \
        >"$out" 2>&1 &
    local service=$!
    local port=""
    for _ in $(seq 600); do
        port=$(sed -n 's|^kelto-register: listening on http://127\.0\.0\.1:\([0-9]*\)/.*|\1|p' "$out")
        [ -n "$port" ] || ! kill -0 "$service" 2>/dev/null || { sleep 0.1; continue; }
        break
    done
    if [ -z "$port" ]; then
        kill "$service" 2>/dev/null || true
        wait "$service" 2>/dev/null || true
        echo "kelto-register.exe from the ZIP did not start listening:"
        sed 's/^/      /' "$out"
        return 1
    fi
    local answer status=0
    answer=$(curl -sS --max-time 60 -w ' %{http_code}' -H 'Content-Type: application/json' \
        -d '{"username":"webplayer","password":"secret34","password2":"secret34","email":"web@example.org","gender":"female"}' \
        "http://127.0.0.1:$port/register") || status=$?
    kill -INT "$service" 2>/dev/null || true
    local stopped=0
    for _ in $(seq 300); do
        kill -0 "$service" 2>/dev/null || break
        sleep 0.1
    done
    kill "$service" 2>/dev/null && { echo "kelto-register.exe did not stop on Ctrl+C"; return 1; }
    wait "$service" || stopped=$?
    if [ "$status" -ne 0 ] || [ "$answer" != '{"created":"webplayer"} 201' ]; then
        echo "kelto-register.exe answered '$answer' (curl status $status)"
        return 1
    fi
    if [ "$(tail -n 1 "$server/kData/kPlayer/kAdd.txt")" != $'webplayer,secret34,0,web@example.org,0\r' ]; then
        echo "kelto-register.exe answered 201, but the account file does not end in its line"
        return 1
    fi
    [ "$stopped" -eq 0 ] || { echo "kelto-register.exe ended with status $stopped on Ctrl+C"; return 1; }
    echo "kelto-register.exe from the ZIP added an account over HTTP and stopped on Ctrl+C"
}

# The ZIP as an operator uses it: unpacked into a server's folder, its own folder beside kData,
# an account added with kadd.exe, and the window program started until its window shows.
echo "== The portable ZIP on a throw-away server folder =="
zip_check() {
    (cd "$build" && cpack -G ZIP >"$results/cpack.log") || { cat "$results/cpack.log"; return 1; }
    local zip
    zip=$(ls "$build"/kelto-account-creator-*-windows-x64.zip)
    local server=$results/zip-server
    rm -rf "$server"
    mkdir -p "$server/unpacked" "$server/kData/kPlayer"
    printf 'existing,pw,1,none,0\r\n' >"$server/kData/kPlayer/kAdd.txt"
    (cd "$server/unpacked" && cmake -E tar xf "$zip")
    # In a folder of its own inside the server folder: the programs look one folder up.
    mv "$server"/unpacked/* "$server/KeltoAccountCreator"
    rm -rf "$server/unpacked"
    local program_folder=$server/KeltoAccountCreator
    echo "$(basename "$zip"): $(cd "$program_folder" && find . -type f | sort | tr '\n' ' ')"
    local file
    for file in README.txt LICENSE.txt THIRD-PARTY-NOTICES.txt licenses/LGPL-3.0.txt \
        licenses/gcc-runtime.txt licenses/mingw-w64-runtime.txt licenses/build-qt-mingw.sh \
        kelto-register.exe libmicrohttpd-12.dll licenses/LICENSE-libmicrohttpd.txt; do
        [ -s "$program_folder/$file" ] || { echo "the ZIP lacks $file"; return 1; }
    done

    local status=0
    (cd "$server" && timeout 120 "$wine" KeltoAccountCreator/kadd.exe add zipcheck secret12) \
        >/dev/null 2>&1 || status=$?
    if [ "$status" -ne 0 ] || ! printf 'existing,pw,1,none,0\r\nzipcheck,secret12,1,none,0\r\n' |
        cmp -s - "$server/kData/kPlayer/kAdd.txt"; then
        echo "kadd.exe from the ZIP did not add the account (exit status $status)"
        return 1
    fi
    echo "kadd.exe from the ZIP added an account"
    register_answers "$server" || return 1

    shows_window "$server" kelto-account-creator.exe '^Kelto Account Creator by Falmoor$' \
        "$results/zip-main-window.png" || return 1
    # The Accounts window on its own, as a double-click on kelto-accounts.exe starts it.
    shows_window "$server" kelto-accounts.exe '^Accounts – ' || return 1
}
run_check "portable ZIP" zip_check

# The installer as an administrator runs it: silently into Program Files, where the program
# finds no server folder and must ask for one; then the uninstaller must leave nothing behind.
echo "== The installer, installed and uninstalled silently =="
installer_check() {
    (cd "$build" && cpack -G NSIS >"$results/nsis.log") || { cat "$results/nsis.log"; return 1; }
    local installer
    installer=$(ls "$build"/kelto-account-creator-*-windows-x64.exe)
    local target='C:\Program Files\Kelto Account Creator'
    local installed=$WINEPREFIX/drive_c/Program\ Files/Kelto\ Account\ Creator
    local menu=$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/Kelto\ Account\ Creator
    rm -rf "$installed" "$menu"
    # NSIS takes /D= and _?= as the rest of the command line, spaces and all, and never within
    # quotes, which Wine puts around an argument with spaces: cmd passes the line as it is.
    timeout 300 "$wine" cmd /c "$("$wine" winepath -w "$installer") /S /D=$target" \
        >"$results/install.log" 2>&1 || { echo "the installer failed (exit status $?)"; return 1; }
    local file
    for file in kelto-account-creator.exe kelto-accounts.exe kadd.exe Qt6Widgets.dll platforms/qwindows.dll \
        libstdc++-6.dll README.txt LICENSE.txt THIRD-PARTY-NOTICES.txt Uninstall.exe \
        kelto-register.exe libmicrohttpd-12.dll licenses/LICENSE-libmicrohttpd.txt; do
        [ -f "$installed/$file" ] || { echo "the installer did not install $file"; return 1; }
    done
    for file in "Kelto Account Creator.lnk" "Kelto Accounts.lnk" "Uninstall.lnk"; do
        [ -f "$menu/$file" ] || { echo "the Start menu has no $file"; return 1; }
    done
    echo "installed into $target, with $(cd "$menu" && ls | tr '\n' ' ')in the Start menu"

    local server=$results/installed-server
    rm -rf "$server"
    mkdir -p "$server/kData/kPlayer"
    printf 'existing,pw,1,none,0\r\n' >"$server/kData/kPlayer/kAdd.txt"
    (cd "$server" && timeout 120 "$wine" "$installed/kadd.exe" add installed pw123456 --app-dir .) \
        >/dev/null 2>&1 || { echo "the installed kadd.exe did not add an account"; return 1; }
    echo "the installed kadd.exe added an account"

    # Nothing beside the installed program names a server folder, so it asks for one.
    "$wine" reg delete 'HKCU\Software\Kelto' /f >/dev/null 2>&1 || true
    (cd "$server" && exec "$wine" "$installed/kelto-account-creator.exe") >/dev/null 2>&1 &
    local program=$!
    local chooser
    chooser=$(find_window '^Choose the Server Folder$')
    if [ -z "$chooser" ]; then
        kill "$program" 2>/dev/null || true
        wait "$program" 2>/dev/null || true
        echo "the installed program did not ask for the server folder"
        return 1
    fi
    # Cancel (Escape) must end the program, with a status a script does not take for success.
    # Without a window manager the keys go to the window under the pointer.
    sleep 1
    xdotool mousemove --window "$chooser" 100 100 key Escape
    local cancelled=0
    for _ in $(seq 100); do
        kill -0 "$program" 2>/dev/null || break
        sleep 0.2
    done
    kill "$program" 2>/dev/null && { echo "the installed program did not end on Cancel"; return 1; }
    wait "$program" || cancelled=$?
    [ "$cancelled" -ne 0 ] || { echo "the installed program ended with status 0 on Cancel"; return 1; }
    echo "the installed program asked for the server folder and ended on Cancel (status $cancelled)"

    # Run in place (_?=), the uninstaller finishes before it returns, and leaves only itself.
    (cd "$installed" && timeout 300 "$wine" cmd /c "Uninstall.exe /S _?=$target") \
        >"$results/uninstall.log" 2>&1 || { echo "the uninstaller failed (exit status $?)"; return 1; }
    local left
    left=$(cd "$installed" 2>/dev/null && find . -type f ! -name Uninstall.exe | head -5)
    [ -z "$left" ] || { echo "the uninstaller left $left"; return 1; }
    [ ! -e "$menu" ] || { echo "the uninstaller left the Start-menu folder"; return 1; }
    rm -rf "$installed"
    echo "the uninstaller removed the program and its Start-menu entries"
}
run_check "installer" installer_check

echo "Windows check took $((SECONDS - started)) s"
echo "Windows: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
