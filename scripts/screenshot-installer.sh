#!/usr/bin/env bash
# Photographs the Windows installer for the README: runs
# build-win/quorvia-<version>-setup.exe under Wine in a private prefix (its
# virtual desktop, the Chinese font linked in, as scripts/screenshots-windows.sh
# does) on a private Xvfb display, steps through its first three pages with
# the keyboard and saves them side by side as
#   docs/screenshots/windows-installer.png   welcome, licence, scope
# It builds nothing: run `make dist-windows` first. Nothing is installed (the
# installer is ended on the scope page), and everything it starts and makes
# is ended and removed when it exits.
#
# Environment: OUT_DIR (default docs/screenshots), SETUP (the installer).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
VERSION=$(sed -n 's/^project.Quorvia VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")
SETUP=${SETUP:-$ROOT/build-win/quorvia-$VERSION-setup.exe}
OUT_DIR=${OUT_DIR:-$ROOT/docs/screenshots}
# The installer's window centres itself on the desktop; each picture is cut
# down to the window (the desktop around it is one colour).
DESKTOP_SIZE=800x600

# shellcheck source=tests/desktop_qt/x_session.sh
. "$ROOT/tests/desktop_qt/x_session.sh"
# shellcheck source=scripts/wine_desktop.sh
. "$ROOT/scripts/wine_desktop.sh"

[ -e "$SETUP" ] || { echo "screenshot-installer: $SETUP is missing; run make dist-windows" >&2; exit 2; }
missing=$(xs_missing_tools import convert wine wineserver)
if [ -n "$missing" ]; then
    echo "screenshot-installer: not installed: $missing (scripts/install-deps.sh installs them)" >&2
    exit 2
fi
FONT=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
[ -f "$FONT" ] || { echo "screenshot-installer: $FONT is missing (fonts-wqy-microhei)" >&2; exit 2; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/quorvia-screenshot-installer-XXXXXX")
export WINEPREFIX=$WORK/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    set +e
    wineserver -k 2>/dev/null
    xs_stop
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

say() { echo "screenshot-installer: $*"; }

xs_start "$WORK/session" "$DESKTOP_SIZE" || { echo "screenshot-installer: no private X session" >&2; exit 1; }
say "making the Wine prefix"
make_wine_desktop_prefix "$FONT" "$DESKTOP_SIZE"

desktop_window() { xdotool search --name 'Wine desktop' 2>/dev/null | head -n 1; }
page=0
shoot() {
    sleep 1.5
    page=$((page + 1))
    import -window root "$WORK/screen.png"
    convert "$WORK/screen.png" -trim +repage "$WORK/page-$page.png"
}
# Enter presses the page's default button (下一步, 我同意).
next_page() {
    xdotool windowfocus --sync "$(desktop_window)" 2>/dev/null || true
    xdotool key --clearmodifiers Return
}

wine "$SETUP" >/dev/null 2>&1 &
deadline=$((SECONDS + 30))
until [ -n "$(desktop_window)" ]; do
    [ "$SECONDS" -lt "$deadline" ] || { echo "screenshot-installer: the Wine desktop did not show" >&2; exit 1; }
    sleep 0.2
done
sleep 3
shoot   # welcome
next_page
shoot   # licence
next_page
shoot   # scope

mkdir -p "$OUT_DIR"
convert "$WORK/page-1.png" "$WORK/page-2.png" "$WORK/page-3.png" -bordercolor white -border 4 +append \
    "$OUT_DIR/windows-installer.png"
say "wrote $OUT_DIR/windows-installer.png"
