#!/bin/sh
# Writes docs/main-window.png, docs/gm-window.png and docs/accounts-window.png from the real
# program running under Xvfb.
# Usage: tools/screenshots.sh [build folder]   (needs xvfb, xdotool and imagemagick)
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
program="$build/app/kelto-account-creator"

if [ "${KELTO_IN_XVFB:-}" != 1 ]; then
    for tool in xvfb-run xdotool import; do
        command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing" >&2; exit 1; }
    done
    [ -x "$program" ] || { echo "screenshots: build $program first" >&2; exit 1; }
    KELTO_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x800x24 -dpi 96" "$0" "$build"
fi

# A server folder of its own, so the demo accounts beside the build stay untouched.
scratch=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$scratch"' EXIT
cp "$program" "$scratch/"
cp -r demo/kData "$scratch/"

(cd "$scratch" && exec ./kelto-account-creator) &
pid=$!

main=$(xdotool search --sync --name '^Kelto Account Creator by Falmoor$' | head -n 1)
# Without a window manager nothing places or focuses windows; do both by hand.
xdotool windowmove "$main" 0 0
xdotool windowfocus --sync "$main"
# Create one account, so the record label shows its line, then start on the next.
xdotool type --delay 20 'newhero'
xdotool key Tab
xdotool type --delay 20 'secret42'
xdotool key Tab Tab
xdotool type --delay 20 'hero@example.org'
xdotool mousemove --window "$main" 100 316 click 1   # Create Account
xdotool mousemove --window "$main" 260 81 click 1    # the username box
xdotool type --delay 20 'wanderer'
sleep 0.5
mkdir -p docs
import -window "$main" docs/main-window.png

# "Create GM" lies at 208,224 (208 x 33 pixels) in the main window.
xdotool mousemove --window "$main" 268 240 click 1
gm=$(xdotool search --sync --name '^Create GM$' | head -n 1)
xdotool windowmove "$gm" 540 0
# Tick WARP and WHOIS, as for a helper who moves players and looks them up.
xdotool mousemove --window "$gm" 60 308 click 1
xdotool mousemove --window "$gm" 240 28 click 1
sleep 0.5
import -window "$gm" docs/gm-window.png

# The Accounts window on its own, on the same folder: the account created above is in it.
(cd "$scratch" && exec ./kelto-account-creator --accounts) &
accounts_pid=$!
accounts=$(xdotool search --sync --name '^Accounts – ' | head -n 1)
xdotool windowmove "$accounts" 0 0
xdotool windowfocus --sync "$accounts"
sleep 1
import -window "$accounts" docs/accounts-window.png
kill "$accounts_pid"
echo "screenshots: wrote docs/main-window.png, docs/gm-window.png and docs/accounts-window.png"
