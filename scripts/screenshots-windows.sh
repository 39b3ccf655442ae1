#!/usr/bin/env bash
# Photographs the Windows program for the README: runs
# build-win/bin/quorvia.exe under Wine in a private prefix (its virtual
# desktop, the Chinese font linked in) on a private Xvfb display, over the
# same sample tree as scripts/screenshots.sh, drives it with the keyboard
# through xdotool and saves
#   docs/screenshots/windows-new-task.png      the new-task dialog with four folders
#   docs/screenshots/windows-finished.png      the finished list, one group per folder
#   docs/screenshots/windows-verify.png        a check of the saved list after one file
#                                              was changed and one deleted
#   docs/screenshots/windows-context-menu.png  the context menu with its 复制 submenu
#   docs/screenshots/windows-find.png          the find dialog over the list
# It builds nothing: run `make build-windows` (and `make`, for the
# quorvia-cli that sizes the disc image) first. Everything it starts and
# makes is ended and removed when it exits, also on failure or Ctrl+C.
#
# Environment: OUT_DIR (default docs/screenshots), HASH_SECONDS (about how
# long the hashing of the disc image should last, default 3), SHOTS_DPI (the
# screen's dots per inch, default 96; 144 shows the program at 150 % on a
# screen of 1920 x 1080), SHOTS_SIZE (the screen's size).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
GUI=$ROOT/build-win/bin/quorvia.exe
CLI=$ROOT/build/bin/quorvia-cli
OUT_DIR=${OUT_DIR:-$ROOT/docs/screenshots}
HASH_SECONDS=${HASH_SECONDS:-3}
SHOTS_DPI=${SHOTS_DPI:-96}
# The screen: at 150 % a full-HD one, as such a scale is used on.
if [ "$SHOTS_DPI" -gt 96 ]; then SHOTS_SIZE=${SHOTS_SIZE:-1920x1080}; else SHOTS_SIZE=${SHOTS_SIZE:-1280x800}; fi

# shellcheck source=tests/desktop_qt/x_session.sh
. "$ROOT/tests/desktop_qt/x_session.sh"
# shellcheck source=scripts/sample_tree.sh
. "$ROOT/scripts/sample_tree.sh"
# shellcheck source=scripts/wine_desktop.sh
. "$ROOT/scripts/wine_desktop.sh"

for program in "$GUI" "$CLI"; do
    if [ ! -e "$program" ]; then
        echo "screenshots-windows: $program is missing; build it first" >&2
        exit 2
    fi
done
missing=$(xs_missing_tools import wine wineserver)
if [ -n "$missing" ]; then
    echo "screenshots-windows: not installed: $missing (scripts/install-deps.sh installs them)" >&2
    exit 2
fi
FONT=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
[ -f "$FONT" ] || { echo "screenshots-windows: $FONT is missing (fonts-wqy-microhei)" >&2; exit 2; }

WORK=${TMPDIR:-/tmp}/quorvia-screenshots-windows-$(id -u)
exec 9>"$WORK.lock"
if ! flock -n 9; then
    echo "screenshots-windows: another run is using $WORK" >&2
    exit 2
fi
rm -rf "$WORK"
mkdir -m 700 "$WORK"
export WINEPREFIX=$WORK/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    set +e
    wineserver -k 2>/dev/null
    xs_stop
    rm -rf "$WORK" "$WORK.lock"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

say() { echo "screenshots-windows: $*"; }
die() {
    echo "screenshots-windows: $*" >&2
    exit 1
}

# --- the tree, seen by the program as drive D: ------------------------------

SAMPLES=$WORK/samples
make_sample_tree "$SAMPLES/样例" "$CLI" "$HASH_SECONDS"

# --- the prefix and the display ----------------------------------------------

xs_start "$WORK/session" "$SHOTS_SIZE" || die "no private X session"
say "making the Wine prefix"
make_wine_desktop_prefix "$FONT" "$SHOTS_SIZE" "$SHOTS_DPI"
ln -s "$SAMPLES" "$WINEPREFIX/dosdevices/d:"
wineserver -w

desktop_window() { xdotool search --name 'Wine desktop' 2>/dev/null | head -n 1; }
# Keys go to the program's focused window through the desktop's X window.
keys() {
    xdotool windowfocus --sync "$(desktop_window)" 2>/dev/null || true
    xdotool key --clearmodifiers --delay 120 "$@"
    sleep 0.6
}
shoot() {
    sleep 1
    import -window root "$OUT_DIR/$1"
    say "wrote $OUT_DIR/$1"
}
wait_for_file() {
    local file=$1 seconds=$2 deadline=$((SECONDS + $2))
    until [ -s "$file" ]; do
        [ "$SECONDS" -lt "$deadline" ] || die "$file did not appear within $seconds s"
        sleep 0.2
    done
}

mkdir -p "$OUT_DIR"

# --- windows-new-task.png: started with folders, the dialog opens ------------

wine start /max /unix "$GUI" 'D:\样例\文档' 'D:\样例\照片' 'D:\样例\音乐' 'D:\样例\镜像' >/dev/null 2>&1
deadline=$((SECONDS + 30))
until [ -n "$(desktop_window)" ]; do
    [ "$SECONDS" -lt "$deadline" ] || die "the Wine desktop did not show"
    sleep 0.2
done
sleep 4
shoot windows-new-task.png

# --- windows-finished.png ----------------------------------------------------

keys Return
sleep $((HASH_SECONDS * 3 + 4))
shoot windows-finished.png

# --- windows-verify.png: save, change one file, delete another, check all ---

keys ctrl+s
sleep 2
xdotool type --delay 60 'sample.sha1'
keys Return
wait_for_file "$SAMPLES/样例/sample.sha1" 20
printf '\n追加的一行\n' >>"$SAMPLES/样例/文档/会议记录.md"
touch -d '2024-06-03 14:05:00' "$SAMPLES/样例/文档/会议记录.md"
rm "$SAMPLES/样例/照片/合影.png"
# 编辑(&E), then 检查所有文件: the fifth entry, three steps below the first.
keys alt+e Down Down Down Return
sleep $((HASH_SECONDS * 3 + 4))
shoot windows-verify.png

# --- windows-context-menu.png: the first file, its menu and 复制 ----------------

keys ctrl+Home Down
keys shift+F10
keys Down Down Down Down Right
shoot windows-context-menu.png
keys Escape Escape

# --- windows-find.png --------------------------------------------------------

keys ctrl+f
xdotool type --delay 60 'jpg'
keys Return
shoot windows-find.png
keys Escape
