# shellcheck shell=bash
# A private X display and session bus for running the desktop program for
# real: sourced by window_smoke_test.sh and scripts/screenshots.sh.
#
# xs_start DIR SIZE  starts Xvfb (a free display number, found by the server
#                    itself, reachable only with a cookie kept in DIR) and a
#                    session bus, and points DISPLAY, XAUTHORITY,
#                    DBUS_SESSION_BUS_ADDRESS, HOME and the XDG folders at
#                    them and at DIR, so no setting or bus of the user's
#                    session is touched.
# xs_stop            ends what xs_start and xs_track'ed processes started,
#                    each by its own id.
# xs_track PID       has xs_stop end PID too (first, before the display).
# xs_window TITLE S  prints the id of the visible window whose title is
#                    exactly TITLE, waiting up to S seconds; fails after.
# xs_missing_tools   prints the tools below that are not installed.

XS_TOOLS=(Xvfb xauth mcookie xdotool dbus-daemon)
XS_PIDS=()
XS_XVFB_PID=
XS_DBUS_PID=

xs_missing_tools() {
    local tool absent=()
    for tool in "${XS_TOOLS[@]}" "$@"; do
        command -v "$tool" >/dev/null 2>&1 || absent+=("$tool")
    done
    echo "${absent[*]}"
}

xs_track() { XS_PIDS+=("$1"); }

# Waits until FILE holds a whole line, or fails after S seconds or when the
# process PID has gone.
xs_wait_line() {
    local file=$1 seconds=$2 pid=$3
    local deadline=$((SECONDS + seconds))
    while ! { [ -s "$file" ] && [ "$(tail -c 1 "$file" | od -An -c | tr -d ' ')" = '\n' ]; }; do
        kill -0 "$pid" 2>/dev/null || return 1
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.05
    done
}

xs_start() {
    local dir=$1 size=${2:-1280x800}
    mkdir -p "$dir/home/.config" "$dir/home/.cache" "$dir/home/.local/share" "$dir/runtime"
    chmod 700 "$dir/runtime"
    export HOME=$dir/home
    export XDG_CONFIG_HOME=$HOME/.config XDG_CACHE_HOME=$HOME/.cache XDG_DATA_HOME=$HOME/.local/share
    export XDG_RUNTIME_DIR=$dir/runtime
    unset WAYLAND_DISPLAY SESSION_MANAGER
    export QT_QPA_PLATFORM=xcb

    # The server takes every cookie of its file whatever display it names;
    # clients look theirs up by display number, which is known only once
    # the server has chosen it.
    local cookie
    cookie=$(mcookie)
    xauth -q -f "$dir/xauth.server" add :0 . "$cookie" 2>/dev/null
    Xvfb -displayfd 3 -auth "$dir/xauth.server" -nolisten tcp -noreset -screen 0 "${size}x24" \
        3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
    XS_XVFB_PID=$!
    if ! xs_wait_line "$dir/display" 15 "$XS_XVFB_PID"; then
        echo "Xvfb did not start:" >&2
        cat "$dir/xvfb.log" >&2
        return 1
    fi
    local number
    number=$(head -n 1 "$dir/display")
    export XAUTHORITY=$dir/xauth
    xauth -q -f "$XAUTHORITY" add ":$number" . "$cookie" 2>/dev/null
    export DISPLAY=:$number

    dbus-daemon --session --nofork --nopidfile --address="unix:path=$dir/runtime/bus" \
        --print-address=4 4>"$dir/bus-address" >"$dir/dbus.log" 2>&1 &
    XS_DBUS_PID=$!
    if ! xs_wait_line "$dir/bus-address" 15 "$XS_DBUS_PID"; then
        echo "the session bus did not start:" >&2
        cat "$dir/dbus.log" >&2
        return 1
    fi
    DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$dir/bus-address")
    export DBUS_SESSION_BUS_ADDRESS
}

# Ends PID: TERM, then KILL after two seconds. Every step may fail (the
# process may be gone already) without ending a caller that runs with
# set -e, so the rest of the clean-up still happens.
xs_end() {
    local pid=$1
    if kill -TERM "$pid" 2>/dev/null; then
        for _ in $(seq 40); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.05
        done
        kill -KILL "$pid" 2>/dev/null || true
    fi
    wait "$pid" 2>/dev/null || true
}

xs_stop() {
    local pid
    for pid in "${XS_PIDS[@]}"; do xs_end "$pid"; done
    XS_PIDS=()
    if [ -n "$XS_DBUS_PID" ]; then xs_end "$XS_DBUS_PID"; fi
    if [ -n "$XS_XVFB_PID" ]; then xs_end "$XS_XVFB_PID"; fi
    XS_DBUS_PID=
    XS_XVFB_PID=
}

# The title compared is the one a window manager shows (_NET_WM_NAME, which
# xdotool getwindowname reads): Qt puts the application's name only there,
# not into the WM_NAME that xdotool search --name matches.
xs_window() {
    local title=$1 seconds=$2
    local deadline=$((SECONDS + seconds)) id
    while :; do
        for id in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
            if [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$title" ]; then
                echo "$id"
                return 0
            fi
        done
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

# The titles of the visible windows, for a failure message.
xs_visible_titles() {
    local id
    for id in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
        printf '  %s "%s"\n' "$id" "$(xdotool getwindowname "$id" 2>/dev/null)"
    done
}
