# Shared steps of the end-to-end tests: inputs, package building, running
# the installer with its message boxes answered, and the checks on a prefix.
# Sourced by run_e2e.sh after scripts/wine-env.sh and samples/sample-package.sh.

fail() {
    echo "FAIL: $*" >&2
    if [ -n "${E2E_WINE_LOG:-}" ] && [ -s "$E2E_WINE_LOG" ]; then
        echo "--- last lines of the installer's Wine log:" >&2
        grep -v 'trace:dialog' "$E2E_WINE_LOG" | tail -n 20 >&2
    fi
    exit 1
}

expect_eq() {
    [ "$2" = "$3" ] || fail "$1: expected '$3', got '$2'"
}

E2E_TEMPLATE=$QB_E2E_DIR/wine-template
E2E_STUB=$QB_WIN64_BIN_DIR/quorbell-setup.exe
E2E_SAVER_IN=$QB_WIN64_BIN_DIR/quorbell-sample.scr
E2E_DISPLAY_PROPERTIES=$QB_WIN64_BIN_DIR/display-properties.exe
E2E_WINE_LOG=
E2E_STATUS=

e2e_require_inputs() {
    local file
    for file in "$E2E_STUB" "$E2E_SAVER_IN" "$E2E_DISPLAY_PROPERTIES" \
        "$QB_WIN64_BIN_DIR/short-path.exe"; do
        [ -f "$file" ] || fail "$file is missing: build the win64 preset first (cmake --preset win64 && cmake --build --preset win64)"
    done
    [ -x "$QB_TOOL" ] || fail "the quorbell tool is missing at $QB_TOOL"
}

# e2e_begin: a scratch directory, an Xvfb and a fresh prefix copied from the
# run's template; W is the test's working directory.
e2e_begin() {
    e2e_require_inputs
    qb_session_begin
    W=$QB_SESSION_DIR/work
    mkdir -p "$W"
    qb_start_xvfb
    qb_new_prefix "$E2E_TEMPLATE" "$QB_SESSION_DIR/prefix"
    WINDIR=$(qb_windir)
    cp "$WINDIR/system.ini" "$W/system.ini.before"
}

# e2e_build OUT [build options...]: a package of the sample saver under its
# long name and the sample README as the tail, with the options given.
e2e_build() {
    local out=$1
    shift
    "$QB_TOOL" build -o "$out" --stub "$E2E_STUB" \
        --saver "$E2E_SAVER_IN" --saver-name "$QB_SAMPLE_SAVER_NAME" \
        --tail "$QB_SAMPLE_TAIL" --tail-name "$QB_SAMPLE_TAIL_NAME" \
        --failure "$QB_SAMPLE_FAILURE" "$@" >"$W/build.log" 2>&1 ||
        { cat "$W/build.log" >&2; fail "quorbell build $out failed"; }
}

# e2e_sample_package OUT [more options...]: the sample package itself.
e2e_sample_package() {
    qb_build_sample_package "$QB_TOOL" "$E2E_STUB" "$E2E_SAVER_IN" "$@" >"$W/build.log" 2>&1 ||
        { cat "$W/build.log" >&2; fail "building the sample package failed"; }
}

# e2e_generate FILE BYTES: deterministic, moderately compressible data.
e2e_generate() {
    awk -v bytes="$2" 'BEGIN {
        x = 12345
        while (written < bytes) {
            x = (x * 1103515245 + 12345) % 2147483648
            line = sprintf("%08d quorbell %d\n", x % 100000000, int(x / 65536) % 977)
            printf "%s", line
            written += length(line)
        }
    }' | head -c "$2" >"$1"
}

# e2e_start_install PACKAGE: starts the installer in the background
# (E2E_PID), its Wine log in E2E_WINE_LOG.
e2e_start_install() {
    E2E_WINE_LOG=$W/$(basename "$1" .exe).log
    "$QB_WINE64" "$1" 2>"$E2E_WINE_LOG" &
    E2E_PID=$!
}

# e2e_answer KEY...: answers the next message boxes captioned "Quorbell",
# one key each, in order.
e2e_answer() {
    local key
    for key in "$@"; do
        qb_answer Quorbell "$key" 30 || fail "message box to answer with '$key' did not come or stayed"
    done
}

# e2e_finish_install: waits for the installer to end; E2E_STATUS is its
# exit code.
e2e_finish_install() {
    qb_wait_pid "$E2E_PID" 60
    E2E_STATUS=$?
    [ "$E2E_STATUS" != 124 ] || fail "the installer was still running after 60 s"
}

# e2e_install PACKAGE [KEY...]: runs the installer, answering its message
# boxes with the keys given, and waits for it to end.
e2e_install() {
    e2e_start_install "$1"
    shift
    e2e_answer "$@"
    e2e_finish_install
}

# e2e_messages: the texts of the message boxes the last install showed, one
# a line, as Wine's msgbox channel traced them.
e2e_messages() {
    sed -n 's/.*trace:msgbox:MSGBOX_OnInit L"\(.*\)"$/\1/p' "$E2E_WINE_LOG"
}

# e2e_dialog_count: dialogs created by the last install, message boxes
# included.
e2e_dialog_count() {
    grep -c 'trace:dialog:DIALOG_CreateIndirect' "$E2E_WINE_LOG"
}

# e2e_start_display_properties [--hold WINDOWS_PATH]: starts the helper and
# waits until its window is up (and the file held). Sets E2E_DP_PID and
# E2E_DP_STATUS (its status file).
e2e_start_display_properties() {
    E2E_DP_STATUS=$W/display-properties.status
    rm -f "$E2E_DP_STATUS"
    "$QB_WINE64" "$E2E_DISPLAY_PROPERTIES" --status "$(qb_windows_path "$E2E_DP_STATUS")" \
        --timeout 45 "$@" 2>"$W/display-properties.log" &
    E2E_DP_PID=$!
    for _ in $(seq 200); do
        grep -q '^ready' "$E2E_DP_STATUS" 2>/dev/null && return 0
        kill -0 "$E2E_DP_PID" 2>/dev/null || break
        sleep 0.05
    done
    fail "display-properties.exe did not come up"
}

# check_installed EXPECTED_SAVER [LEAD_NAME EXPECTED_LEAD]: the member files
# hold the expected bytes, system.ini names the saver by its 8.3 path, the
# screensaver is switched on. Ends the prefix's wineserver (for user.reg).
check_installed() {
    local expected_saver=$1 saver=$WINDIR/$QB_SAMPLE_SAVER_NAME short value active
    cmp -s "$saver" "$expected_saver" || fail "the installed saver differs from saver + appended streams"
    cmp -s "$WINDIR/$QB_SAMPLE_TAIL_NAME" "$QB_SAMPLE_TAIL" || fail "the installed tail differs from $QB_SAMPLE_TAIL"
    if [ $# -ge 3 ]; then
        cmp -s "$WINDIR/$2" "$3" || fail "the installed lead $2 differs from $3"
    fi

    short=$(qb_short_path "C:\\windows\\$QB_SAMPLE_SAVER_NAME")
    [[ $short =~ ^C:\\windows\\[A-Z0-9_~]{1,8}\.[A-Z0-9_~]{1,3}$ ]] ||
        fail "Wine reports no 8.3 name for the saver (got '$short')"
    value=$(qb_ini_value "$WINDIR/system.ini" boot SCRNSAVE.EXE)
    expect_eq "system.ini [boot] SCRNSAVE.EXE" "$value" "$short"

    qb_end_prefix
    active=$(qb_registry_value "$WINEPREFIX/user.reg" 'Control Panel\\Desktop' ScreenSaveActive)
    expect_eq "ScreenSaveActive in user.reg" "$active" 1
}

# check_not_installed: no saver or tail file, system.ini as it was, the
# screensaver setting untouched. Ends the prefix's wineserver.
check_not_installed() {
    [ ! -e "$WINDIR/$QB_SAMPLE_SAVER_NAME" ] || fail "the saver file exists"
    [ ! -e "$WINDIR/$QB_SAMPLE_TAIL_NAME" ] || fail "the tail file exists"
    cmp -s "$WINDIR/system.ini" "$W/system.ini.before" || fail "system.ini changed"
    qb_end_prefix
    [ -z "$(qb_registry_value "$WINEPREFIX/user.reg" 'Control Panel\\Desktop' ScreenSaveActive)" ] ||
        fail "ScreenSaveActive was written"
}

# overwrite_bytes FILE OFFSET COUNT: overwrites COUNT bytes at OFFSET with 0x55.
overwrite_bytes() {
    head -c "$3" /dev/zero | tr '\0' '\125' |
        dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
