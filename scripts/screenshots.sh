#!/usr/bin/env bash
# Photographs the desktop program for the README: runs build/bin/quorvia on
# a private X display (Xvfb) and session bus, over a sample tree it makes in
# a temporary folder, drives it with the keyboard through xdotool and saves
#   docs/screenshots/new-task.png  the new-task dialog with four folders
#   docs/screenshots/hashing.png   the window while it hashes
#   docs/screenshots/finished.png  the finished list, one group per folder
#   docs/screenshots/verify.png    a check of the saved list after one file
#                                  was changed and one deleted
# It builds nothing: run `make` first. Everything it starts and makes is
# ended and removed when it exits, also on failure or Ctrl+C.
#
# Environment: OUT_DIR (default docs/screenshots), HASH_SECONDS (about how
# long the hashing of the large file should last, default 8), SHOTS_DESKTOP
# (an XDG_CURRENT_DESKTOP such as GNOME, for that desktop's icon theme; by
# default none).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
GUI=$ROOT/build/bin/quorvia
CLI=$ROOT/build/bin/quorvia-cli
OUT_DIR=${OUT_DIR:-$ROOT/docs/screenshots}
HASH_SECONDS=${HASH_SECONDS:-8}
APP=栎弦文件校验工具

# shellcheck source=tests/desktop_qt/x_session.sh
. "$ROOT/tests/desktop_qt/x_session.sh"

for program in "$GUI" "$CLI"; do
    if [ ! -x "$program" ]; then
        echo "screenshots: $program is missing; build it first with make" >&2
        exit 2
    fi
done
missing=$(xs_missing_tools import dbus-monitor)
if [ -n "$missing" ]; then
    echo "screenshots: not installed: $missing (scripts/install-deps.sh installs them)" >&2
    exit 2
fi

# A fixed folder, so the paths in the pictures are the same on every run;
# the lock keeps two runs out of each other's way.
WORK=${TMPDIR:-/tmp}/quorvia-screenshots-$(id -u)
exec 9>"$WORK.lock"
if ! flock -n 9; then
    echo "screenshots: another run is using $WORK" >&2
    exit 2
fi
rm -rf "$WORK"
mkdir -m 700 "$WORK"
cleanup() {
    set +e
    xs_stop
    rm -rf "$WORK" "$WORK.lock"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

say() { echo "screenshots: $*"; }
die() {
    echo "screenshots: $*" >&2
    echo "visible windows:" >&2
    xs_visible_titles >&2
    exit 1
}

# --- the sample tree -------------------------------------------------------

TREE=$WORK/样例
# shellcheck source=scripts/sample_tree.sh
. "$ROOT/scripts/sample_tree.sh"
make_sample_tree "$TREE" "$CLI" "$HASH_SECONDS"

# --- the session -----------------------------------------------------------

xs_start "$WORK/session" 1600x1000 || die "no private X session"
if locale -a 2>/dev/null | grep -qix 'zh_CN.utf-\?8'; then
    export LANG=zh_CN.UTF-8
else
    export LANG=C.UTF-8
fi
export LC_ALL=$LANG
# No desktop by default: the window as Qt draws it without a platform theme.
if [ -n "${SHOTS_DESKTOP:-}" ]; then
    export XDG_CURRENT_DESKTOP=$SHOTS_DESKTOP
else
    unset XDG_CURRENT_DESKTOP
fi

# The program reports its progress as launcher signals on the session bus:
# "progress" while it hashes, "progress-visible" false when a run ends.
dbus-monitor --address "$DBUS_SESSION_BUS_ADDRESS" \
    "type='signal',interface='com.canonical.Unity.LauncherEntry'" >"$WORK/bus.log" 2>&1 &
xs_track $!

# Prints "progress VALUE" and "visible BOOL" per launcher property seen.
launcher_events() {
    awk '/string "progress"/ { key = "progress"; next }
         /string "progress-visible"/ { key = "visible"; next }
         key != "" && /variant/ { print key, $NF; key = "" }' "$WORK/bus.log"
}
ended_runs() { launcher_events | grep -c '^visible false' || true; }

# Waits until a run has ended after `before` had, for up to S seconds.
wait_run_end() {
    local before=$1 seconds=$2
    local deadline=$((SECONDS + seconds))
    until [ "$(ended_runs)" -gt "$before" ]; do
        [ "$SECONDS" -lt "$deadline" ] || die "the run did not end within $seconds s"
        sleep 0.1
    done
}

# Waits for a progress report of at least FRACTION in the run after `before`
# ended runs, for up to S seconds.
wait_progress() {
    local fraction=$1 before=$2 seconds=$3
    local deadline=$((SECONDS + seconds))
    until launcher_events | awk -v f="$fraction" '$1 == "progress" && $2 + 0 >= f { found = 1 } END { exit !found }'; do
        [ "$(ended_runs)" -eq "$before" ] || die "the hashing ended before $fraction was reported; raise HASH_SECONDS"
        [ "$SECONDS" -lt "$deadline" ] || die "no progress of $fraction within $seconds s"
        sleep 0.1
    done
}

shoot() {
    local window=$1 name=$2
    # Lets the window paint what the last event changed.
    sleep 0.5
    import -window "$window" "$OUT_DIR/$name"
    say "wrote $OUT_DIR/$name"
}

visible_count() { xdotool search --onlyvisible --name '' 2>/dev/null | wc -l; }

# Presses KEYS on WINDOW, then waits for a menu to open.
open_menu() {
    local window=$1 keys=$2 before deadline=$((SECONDS + 5))
    xdotool windowfocus --sync "$window"
    before=$(visible_count)
    xdotool key --clearmodifiers "$keys"
    until [ "$(visible_count)" -gt "$before" ]; do
        [ "$SECONDS" -lt "$deadline" ] || die "no menu opened after $keys"
        sleep 0.05
    done
}

mkdir -p "$OUT_DIR"

# --- new-task.png: started with folders, the program opens the dialog -------

"$GUI" "$TREE/文档" "$TREE/照片" "$TREE/音乐" "$TREE/镜像" >"$WORK/gui.log" 2>&1 &
xs_track $!
main=$(xs_window "未命名 - $APP" 15) || die "the main window did not show"
dialog=$(xs_window "新建校验任务 — $APP" 15) || die "the new-task dialog did not show"
shoot "$dialog" new-task.png
# Wide enough for every column, so the verification texts show whole.
xdotool windowsize "$main" 1440 760

# --- hashing.png: a third of the bytes hashed -------------------------------

ended=$(ended_runs)
xdotool windowfocus --sync "$dialog"
xdotool key Return
wait_progress 0.3 "$ended" 60
shoot "$main" hashing.png

# --- finished.png ----------------------------------------------------------

wait_run_end "$ended" 120
shoot "$main" finished.png

# --- verify.png: save, change one file, delete another, check all -----------

xdotool windowfocus --sync "$main"
xdotool key --clearmodifiers ctrl+s
save=$(xs_window "保存文件校验 — $APP" 10) || die "the save dialog did not show"
xdotool windowfocus --sync "$save"
# The name field has the focus, holding the proposed name selected.
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 20 "样例.sha1"
xdotool key Return
xs_window "样例 - $APP" 10 >/dev/null || die "the list was not saved"
[ -s "$TREE/样例.sha1" ] || die "no $TREE/样例.sha1"

printf '\n追加的一行\n' >>"$TREE/文档/会议记录.md"
touch -d '2024-06-03 14:05:00' "$TREE/文档/会议记录.md"
rm "$TREE/照片/合影.png"

ended=$(ended_runs)
# 编辑(&E), then 检查所有文件, the item above the last one (下一个问题);
# it has no mnemonic.
open_menu "$main" alt+e
xdotool key Up Up Return
wait_run_end "$ended" 120
shoot "$main" verify.png
