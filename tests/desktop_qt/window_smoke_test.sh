#!/usr/bin/env bash
# The real desktop program on a private X display: opened on a hash list
# written by the CLI, its window must map with the list's title, and the
# File menu's exit item, reached by its mnemonics, must end the program with
# exit code 1. Exits 77 (skipped) when Xvfb or xdotool is missing.
#
# usage: window_smoke_test.sh GUI CLI
set -uo pipefail

GUI=${1:?usage: window_smoke_test.sh GUI CLI}
CLI=${2:?usage: window_smoke_test.sh GUI CLI}
HERE=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/desktop_qt/x_session.sh
. "$HERE/x_session.sh"

TITLE_SUFFIX=" - 栎弦文件校验工具"
# Seconds for the whole test; each wait below has its own, shorter deadline.
HARD_LIMIT=20

missing=$(xs_missing_tools timeout)
if [ -n "$missing" ]; then
    echo "SKIP: not installed: $missing (scripts/install-deps.sh installs them)"
    exit 77
fi

WORK=$(mktemp -d "${TMPDIR:-/tmp}/window-smoke.XXXXXX")
cleanup() {
    xs_stop
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'echo "FAIL: stopped after the limit of ${HARD_LIMIT} s"; exit 1' TERM
trap 'exit 130' INT
# The watchdog ends this script, whose EXIT trap ends everything it started;
# ended first itself, it takes its sleep along, so nothing keeps the test's
# output open.
(
    exec >/dev/null 2>&1
    sleep "$HARD_LIMIT" &
    nap=$!
    trap 'kill "$nap"; exit 0' TERM
    wait "$nap" && kill -TERM $$
) &
xs_track $!

fail() {
    echo "FAIL: $*"
    echo "visible windows:"
    xs_visible_titles
    if [ -s "$WORK/gui.log" ]; then
        echo "the program's output:"
        cat "$WORK/gui.log"
    fi
    exit 1
}

xs_start "$WORK" 1024x768 || { echo "FAIL: no private X session"; exit 1; }

mkdir -p "$WORK/data/子目录"
printf 'first file\n' >"$WORK/data/a.txt"
printf 'second file\n' >"$WORK/data/子目录/b.bin"
"$CLI" hash -a sha1 -o "$WORK/smoke.sha1" "$WORK/data" >/dev/null 2>"$WORK/cli.log" ||
    { cat "$WORK/cli.log"; echo "FAIL: quorvia-cli could not write the list"; exit 1; }

# The X keyboard library copies the keymap names with strndup from buffers
# that hold exactly the bytes asked for, which is legal; AddressSanitizer's
# strict string checks report it at start-up, in that library's code. The
# check is turned off for the program here only (the last setting wins).
if [ -n "${ASAN_OPTIONS:-}" ]; then
    export ASAN_OPTIONS="$ASAN_OPTIONS:strict_string_checks=0"
fi
# timeout keeps the program from outliving the test even if this script is
# killed without its traps.
timeout -k 2 "$HARD_LIMIT" "$GUI" "$WORK/smoke.sha1" >"$WORK/gui.log" 2>&1 &
gui=$!
xs_track "$gui"

# The title names the loaded list; a list that failed to load would leave
# the untitled document and the new-task dialog instead.
window=$(xs_window "smoke$TITLE_SUFFIX" 10) || fail "no window titled \"smoke$TITLE_SUFFIX\" mapped within 10 s"
echo "window $window mapped: $(xdotool getwindowname "$window")"

xdotool windowfocus --sync "$window" || fail "could not focus the window"
visible_count() { xdotool search --onlyvisible --name '' 2>/dev/null | wc -l; }
# 文件(&F), then 退出(&X). The menu is a window of its own; the second key
# goes to it once it shows.
before=$(visible_count)
xdotool key --clearmodifiers alt+f
menu_deadline=$((SECONDS + 5))
until [ "$(visible_count)" -gt "$before" ]; do
    [ "$SECONDS" -lt "$menu_deadline" ] || fail "the File menu did not open within 5 s"
    sleep 0.05
done
xdotool key x

exit_deadline=$((SECONDS + 8))
while kill -0 "$gui" 2>/dev/null; do
    [ "$SECONDS" -lt "$exit_deadline" ] || fail "the program was still running 8 s after the exit command"
    sleep 0.05
done
wait "$gui"
code=$?
if [ "$code" -ne 1 ]; then
    cat "$WORK/gui.log"
    echo "FAIL: the program ended with exit code $code, expected 1"
    exit 1
fi
echo "PASS: the window closed through 文件 > 退出 and the program exited with 1"
