# Running Windows programs under Wine on a headless machine: sourced by the
# end-to-end tests and by main-job.sh.
#
# One session (qb_session_begin) owns a scratch directory, at most one Xvfb
# and any number of Wine prefixes, each with a persistent wineserver. The
# EXIT trap ends exactly those, by their own pids and prefixes, whether the
# caller succeeds, fails or is interrupted.
#
# Only the 64-bit side of Wine can run here (the kernel runs no 32-bit x86
# programs), so everything goes through wine64 directly.

QB_WINE_DIR=${QB_WINE_DIR:-/usr/lib/wine}
QB_WINE64=${QB_WINE64:-$QB_WINE_DIR/wine64}
QB_WINESERVER=${QB_WINESERVER:-$QB_WINE_DIR/wineserver}

# Mono and Gecko are never needed and would be offered for download while a
# prefix is made; a crash goes straight to exit code 5 instead of opening
# winedbg's dialog, which would hang a headless run.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
# The msgbox channel traces the text of every message box (MSGBOX_OnInit),
# the dialog channel every dialog created; the tests read both from the log.
export WINEDEBUG=${QB_WINEDEBUG:--all,+msgbox,+dialog}

QB_SESSION_DIR=
QB_XVFB_PID=
QB_PREFIXES=()
QB_SERVER_PIDS=()

qb_die() {
    echo "error: $*" >&2
    exit 1
}

qb_log() {
    echo "[$(date +%T)] $*" >&2
}

qb_require_tools() {
    local tool
    [ -x "$QB_WINE64" ] || qb_die "wine64 not found at $QB_WINE64 (Debian package wine64)"
    [ -x "$QB_WINESERVER" ] || qb_die "wineserver not found at $QB_WINESERVER"
    for tool in Xvfb xdotool xwd convert; do
        command -v "$tool" >/dev/null || qb_die "$tool not found (packages xvfb, xdotool, x11-apps, imagemagick)"
    done
}

# qb_session_begin: makes the scratch directory (under QB_SCRATCH_ROOT if
# set), points HOME into it (Wine writes menu entries and caches there) and
# installs the clean-up trap.
qb_session_begin() {
    qb_require_tools
    QB_SESSION_DIR=$(mktemp -d "${QB_SCRATCH_ROOT:-${TMPDIR:-/tmp}}/quorbell-wine.XXXXXX") ||
        qb_die "no scratch directory"
    export HOME=$QB_SESSION_DIR/home
    mkdir -p "$HOME"
    trap qb_session_end EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
}

qb_session_end() {
    local status=$? i
    trap - EXIT INT TERM
    for i in "${!QB_PREFIXES[@]}"; do
        WINEPREFIX=${QB_PREFIXES[$i]} "$QB_WINESERVER" -k >/dev/null 2>&1
        qb_reap "${QB_SERVER_PIDS[$i]}"
    done
    if [ -n "$QB_XVFB_PID" ]; then
        kill "$QB_XVFB_PID" 2>/dev/null
        qb_reap "$QB_XVFB_PID"
    fi
    if [ -n "$QB_SESSION_DIR" ] && [ -z "${QB_KEEP_SESSION:-}" ]; then
        rm -rf "$QB_SESSION_DIR"
    elif [ -n "$QB_SESSION_DIR" ]; then
        echo "kept scratch directory $QB_SESSION_DIR" >&2
    fi
    exit "$status"
}

# qb_reap PID: waits up to 5 s for a child to end, then kills it.
qb_reap() {
    local pid=$1 i
    [ -n "$pid" ] || return 0
    for i in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    return 0
}

# qb_start_xvfb: starts Xvfb on a display number it picks itself and
# exports DISPLAY once the server is ready to take clients.
qb_start_xvfb() {
    local number_file=$QB_SESSION_DIR/xvfb-display i
    : >"$number_file"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number_file" \
        >"$QB_SESSION_DIR/xvfb.log" 2>&1 &
    QB_XVFB_PID=$!
    for i in $(seq 100); do
        if grep -q '^[0-9]' "$number_file" 2>/dev/null; then
            DISPLAY=:$(head -n 1 "$number_file")
            export DISPLAY
            return 0
        fi
        kill -0 "$QB_XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    cat "$QB_SESSION_DIR/xvfb.log" >&2
    qb_die "Xvfb did not start"
}

# qb_make_template DIR: creates a fresh Wine prefix in DIR to be copied by
# qb_new_prefix. It runs without a display (faster) and ends its wineserver,
# which writes the registry out, before anything copies it.
qb_make_template() {
    local dir=$1
    rm -rf "$dir"
    mkdir -p "$(dirname "$dir")"
    (
        export WINEPREFIX=$dir WINEDEBUG=-all
        unset DISPLAY
        "$QB_WINE64" wineboot --init >"$dir.log" 2>&1 || exit 1
        # Without a window manager, Wine waits 2 s for an answer every time
        # a window closes; unmanaged windows close at once.
        "$QB_WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$dir.log" 2>&1 || exit 1
        "$QB_WINESERVER" -k
        for i in $(seq 100); do
            grep -q '^"Managed"="N"' "$dir/user.reg" 2>/dev/null && exit 0
            sleep 0.1
        done
        exit 1
    ) || { cat "$dir.log" >&2; qb_die "could not make a Wine prefix in $dir"; }
}

# qb_new_prefix TEMPLATE DEST: copies the template to DEST, exports
# WINEPREFIX and starts a persistent wineserver for it, so programs start in
# tens of milliseconds. system32 and winsxs (600 MB of DLLs that Wine only
# maps) are hard-linked where the file system allows; everything Wine writes
# to is a real copy.
qb_new_prefix() {
    local template=$1 dest=$2
    [ -f "$template/user.reg" ] || qb_die "no Wine prefix template at $template"
    rm -rf "$dest"
    mkdir -p "$dest"
    tar -C "$template" --exclude=./drive_c/windows/system32 --exclude=./drive_c/windows/winsxs \
        -cf - . | tar -C "$dest" -xf - || qb_die "could not copy $template"
    cp -al "$template/drive_c/windows/system32" "$template/drive_c/windows/winsxs" \
        "$dest/drive_c/windows/" 2>/dev/null || {
        # Remove partial links first: copying onto them would write through
        # into the template.
        rm -rf "$dest/drive_c/windows/system32" "$dest/drive_c/windows/winsxs"
        cp -a "$template/drive_c/windows/system32" "$template/drive_c/windows/winsxs" \
            "$dest/drive_c/windows/" || qb_die "could not copy $template"
    }
    export WINEPREFIX=$dest
    "$QB_WINESERVER" -f -p >"$QB_SESSION_DIR/wineserver.${#QB_PREFIXES[@]}.log" 2>&1 &
    QB_PREFIXES+=("$dest")
    QB_SERVER_PIDS+=("$!")
}

# qb_end_prefix: ends the current prefix's wineserver and every program in
# it; the server writes user.reg and system.reg as it exits.
qb_end_prefix() {
    local i
    "$QB_WINESERVER" -k >/dev/null 2>&1
    for i in "${!QB_PREFIXES[@]}"; do
        [ "${QB_PREFIXES[$i]}" = "$WINEPREFIX" ] && qb_reap "${QB_SERVER_PIDS[$i]}"
    done
}

# qb_windows_path UNIX_PATH: the path as a Wine program sees it (drive Z:
# is the Unix root in every prefix).
qb_windows_path() {
    local path
    path=$(realpath -m "$1")
    printf 'Z:%s\n' "${path//\//\\}"
}

# qb_windir: the prefix's Windows directory on the Unix side.
qb_windir() {
    printf '%s\n' "$WINEPREFIX/drive_c/windows"
}

# qb_find_window NAME TIMEOUT_SECONDS: prints the first X window whose name
# is exactly NAME, polling until it appears; fails after the timeout.
# Search by name: with unmanaged windows --onlyvisible finds nothing.
qb_find_window() {
    local name=$1 timeout=$2 deadline window
    deadline=$(($(date +%s%N) + timeout * 1000000000))
    while [ "$(date +%s%N)" -lt "$deadline" ]; do
        window=$(xdotool search --name "^${name}\$" 2>/dev/null | head -n 1)
        if [ -n "$window" ]; then
            printf '%s\n' "$window"
            return 0
        fi
        sleep 0.05
    done
    return 1
}

# qb_wait_window_gone WINDOW TIMEOUT_SECONDS
qb_wait_window_gone() {
    local window=$1 timeout=$2 deadline
    deadline=$(($(date +%s%N) + timeout * 1000000000))
    while [ "$(date +%s%N)" -lt "$deadline" ]; do
        xdotool getwindowname "$window" >/dev/null 2>&1 || return 0
        sleep 0.05
    done
    return 1
}

# qb_answer NAME KEY TIMEOUT_SECONDS: waits for the window named NAME (a
# message box's caption), presses KEY in it and waits for it to close. A key
# that reaches a box before Wine has given its button the focus is lost, so
# the key is pressed again while the same box stays open.
qb_answer() {
    local name=$1 key=$2 timeout=$3 window deadline
    window=$(qb_find_window "$name" "$timeout") || { qb_log "no window named '$name' within ${timeout}s"; return 1; }
    deadline=$((SECONDS + timeout))
    sleep 0.2
    while [ $SECONDS -lt $deadline ]; do
        xdotool windowfocus "$window" 2>/dev/null
        xdotool key --clearmodifiers "$key"
        qb_wait_window_gone "$window" 2 && return 0
    done
    qb_log "window '$name' stayed after key $key"
    return 1
}

# qb_wait_pid PID TIMEOUT_SECONDS: waits for a background child and returns
# its exit status; 124 when it was still running at the timeout.
qb_wait_pid() {
    local pid=$1 timeout=$2 deadline
    deadline=$(($(date +%s%N) + timeout * 1000000000))
    while kill -0 "$pid" 2>/dev/null; do
        if [ "$(date +%s%N)" -ge "$deadline" ]; then
            return 124
        fi
        sleep 0.05
    done
    wait "$pid"
}

# qb_screenshot FILE.png: the whole screen.
qb_screenshot() {
    local status=0
    xwd -root -silent >"$1.xwd" && convert "xwd:$1.xwd" "$1" || status=1
    rm -f "$1.xwd"
    return $status
}

# qb_short_path WINDOWS_PATH: the path's 8.3 form as Wine reports it, using
# short-path.exe from the Windows build.
qb_short_path() {
    "$QB_WINE64" "$QB_WIN64_BIN_DIR/short-path.exe" "$1" 2>/dev/null | tr -d '\r'
}

# qb_ini_value FILE SECTION KEY: the value of KEY in [SECTION] of an INI file
# (CRLF or LF lines, names compared without regard to case).
qb_ini_value() {
    tr -d '\r' <"$1" | QB_SECTION=$2 QB_KEY=$3 awk '
        BEGIN { section = tolower(ENVIRON["QB_SECTION"]); key = tolower(ENVIRON["QB_KEY"]) }
        /^\[/ { inside = (tolower($0) == "[" section "]"); next }
        inside {
            split($0, part, "=")
            if (tolower(part[1]) == key) { sub(/^[^=]*=/, ""); print; exit }
        }'
}

# qb_registry_value REGFILE KEY NAME: the string value NAME under KEY in a
# Wine registry file (user.reg), both as written there (backslashes doubled).
qb_registry_value() {
    QB_KEY="[$2]" QB_NAME="\"$3\"=" awk '
        BEGIN { key = ENVIRON["QB_KEY"]; name = ENVIRON["QB_NAME"] }
        /^\[/ { inside = (index($0, key " ") == 1 || $0 == key); next }
        inside && index($0, name) == 1 {
            value = substr($0, length(name) + 1)
            gsub(/^"|"$/, "", value)
            print value
            exit
        }' "$1"
}
