#!/usr/bin/env bash
# run_e2e.sh CASE: one end-to-end test of the Windows installer under Wine.
#
# "template" makes the run's Wine prefix template (a CTest fixture); every
# other case copies it to a fresh prefix of its own, with its own Xvfb, so
# cases can run in parallel. Set by CTest:
#   QB_SOURCE_DIR     the source tree
#   QB_WIN64_BIN_DIR  the win64 build's bin/ (installer, sample saver, helpers)
#   QB_TOOL           the host build's quorbell
#   QB_E2E_DIR        where the template and the artifacts go
set -u -o pipefail

: "${QB_SOURCE_DIR:?}" "${QB_WIN64_BIN_DIR:?}" "${QB_TOOL:?}" "${QB_E2E_DIR:?}"
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# Scratch prefixes beside the template, so they can hard-link its DLLs.
QB_SCRATCH_ROOT=$QB_E2E_DIR/tmp
mkdir -p "$QB_SCRATCH_ROOT"
source "$QB_SOURCE_DIR/scripts/wine-env.sh"
source "$QB_SOURCE_DIR/samples/sample-package.sh"
source "$here/e2e_lib.sh"

case_template() {
    e2e_require_inputs
    qb_require_tools
    qb_session_begin
    qb_make_template "$E2E_TEMPLATE"
}

# Stored members (with a lead), one appended stream: every member file
# equals its input, the saver is registered by its 8.3 path and switched on.
case_stored_install() {
    e2e_begin
    e2e_generate "$W/lead.dat" 40000
    e2e_build "$W/stored.exe" --stored --lead "$W/lead.dat" --lead-name QBLEAD.DAT \
        --append "$QB_SAMPLE_APPEND" --success "$QB_SAMPLE_SUCCESS"
    cat "$E2E_SAVER_IN" "$QB_SAMPLE_APPEND" >"$W/expected.scr"
    e2e_install "$W/stored.exe" Return
    expect_eq "exit code" "$E2E_STATUS" 0
    expect_eq "messages" "$(e2e_messages)" "$QB_SAMPLE_SUCCESS"
    check_installed "$W/expected.scr" QBLEAD.DAT "$W/lead.dat"
}

# Packed members, both appended streams, a progress window: the saver is the
# saver's bytes, then the first stream's, then the second's.
case_packed_install() {
    e2e_begin
    e2e_generate "$W/second.dat" 300000
    e2e_build "$W/packed.exe" --append "$QB_SAMPLE_APPEND" --append "$W/second.dat" \
        --success "$QB_SAMPLE_SUCCESS" --progress "$QB_SAMPLE_PROGRESS"
    cat "$E2E_SAVER_IN" "$QB_SAMPLE_APPEND" "$W/second.dat" >"$W/expected.scr"
    e2e_install "$W/packed.exe" Return
    expect_eq "exit code" "$E2E_STATUS" 0
    expect_eq "messages" "$(e2e_messages)" "$QB_SAMPLE_SUCCESS"
    # The progress window and the success box.
    expect_eq "dialogs created" "$(e2e_dialog_count)" 2
    check_installed "$W/expected.scr"
}

# The sample package's question answered No: nothing is written.
case_confirm_no() {
    e2e_begin
    e2e_sample_package "$W/sample.exe"
    e2e_install "$W/sample.exe" n
    expect_eq "exit code" "$E2E_STATUS" 0
    expect_eq "messages" "$(e2e_messages)" "$QB_SAMPLE_CONFIRM"
    expect_eq "dialogs created" "$(e2e_dialog_count)" 1
    check_not_installed
}

# The sample package's question answered Yes: the sample is installed.
case_confirm_yes() {
    e2e_begin
    e2e_sample_package "$W/sample.exe"
    cat "$E2E_SAVER_IN" "$QB_SAMPLE_APPEND" >"$W/expected.scr"
    e2e_install "$W/sample.exe" y Return
    expect_eq "exit code" "$E2E_STATUS" 0
    expect_eq "messages" "$(e2e_messages)" "$QB_SAMPLE_CONFIRM
$QB_SAMPLE_SUCCESS"
    check_installed "$W/expected.scr"
}

# An open "Display Properties" window is asked to quit once the saver is
# registered.
case_display_properties_quit() {
    e2e_begin
    e2e_build "$W/quit.exe" --append "$QB_SAMPLE_APPEND" --success "$QB_SAMPLE_SUCCESS"
    cat "$E2E_SAVER_IN" "$QB_SAMPLE_APPEND" >"$W/expected.scr"
    e2e_start_display_properties
    e2e_install "$W/quit.exe" Return
    expect_eq "exit code" "$E2E_STATUS" 0
    qb_wait_pid "$E2E_DP_PID" 10
    expect_eq "display-properties.exe exit code (0: it got WM_QUIT)" "$?" 0
    expect_eq "display-properties.exe status" "$(cat "$E2E_DP_STATUS")" quit
    check_installed "$W/expected.scr"
}

# The saver's file is held open, unshared, by the "Display Properties"
# window's process: the installer asks it to quit and creates the file again.
case_locked_saver_retry() {
    e2e_begin
    e2e_build "$W/locked.exe" --stored --append "$QB_SAMPLE_APPEND" --success "$QB_SAMPLE_SUCCESS"
    cat "$E2E_SAVER_IN" "$QB_SAMPLE_APPEND" >"$W/expected.scr"
    e2e_start_display_properties --hold "C:\\windows\\$QB_SAMPLE_SAVER_NAME"
    local started elapsed_ms
    started=$(date +%s%N)
    e2e_install "$W/locked.exe" Return
    elapsed_ms=$((($(date +%s%N) - started) / 1000000))
    expect_eq "exit code" "$E2E_STATUS" 0
    qb_wait_pid "$E2E_DP_PID" 10
    expect_eq "display-properties.exe exit code (0: it got WM_QUIT)" "$?" 0
    expect_eq "display-properties.exe status" "$(cat "$E2E_DP_STATUS")" quit
    expect_eq "messages" "$(e2e_messages)" "$QB_SAMPLE_SUCCESS"
    # The second attempt waits a second after the quit request.
    [ "$elapsed_ms" -ge 1000 ] || fail "the install took $elapsed_ms ms: no wait before the retry"
    check_installed "$W/expected.scr"
}

# The saver's packed stream is damaged: the failure message is shown, the
# saver deleted, nothing registered.
case_corrupt_packed() {
    e2e_begin
    e2e_build "$W/corrupt.exe" --append "$QB_SAMPLE_APPEND" --success "$QB_SAMPLE_SUCCESS"
    # The payload starts right after the stub; the saver's stream comes first.
    overwrite_bytes "$W/corrupt.exe" $(($(stat -c %s "$E2E_STUB") + 512)) 64
    e2e_install "$W/corrupt.exe" Return
    expect_eq "exit code" "$E2E_STATUS" 0
    expect_eq "messages" "$(e2e_messages)" "$QB_SAMPLE_FAILURE"
    check_not_installed
}

# A stored package whose appended stream is damaged: the stored saver was
# written, and is deleted again.
case_corrupt_stored_append() {
    e2e_begin
    e2e_generate "$W/append.dat" 100000
    e2e_build "$W/corrupt.exe" --stored --append "$W/append.dat" --success "$QB_SAMPLE_SUCCESS"
    overwrite_bytes "$W/corrupt.exe" \
        $(($(stat -c %s "$E2E_STUB") + $(stat -c %s "$E2E_SAVER_IN") + 4096)) 64
    e2e_install "$W/corrupt.exe" Return
    expect_eq "exit code" "$E2E_STATUS" 0
    expect_eq "messages" "$(e2e_messages)" "$QB_SAMPLE_FAILURE"
    check_not_installed
}

# e2e_quiet_run PACKAGE: runs a quiet package with nobody answering and
# fails if any window of it or any message box shows up meanwhile.
e2e_quiet_run() {
    local class
    class="^$(basename "$1" | sed 's/\./\\./g')\$"
    e2e_start_install "$1"
    while kill -0 "$E2E_PID" 2>/dev/null; do
        if xdotool search --class "$class" >/dev/null 2>&1 ||
            xdotool search --name '^Quorbell$' >/dev/null 2>&1; then
            fail "a window appeared in quiet mode"
        fi
        sleep 0.05
    done
    e2e_finish_install
    expect_eq "exit code" "$E2E_STATUS" 0
    expect_eq "messages" "$(e2e_messages)" ""
    expect_eq "dialogs created" "$(e2e_dialog_count)" 0
}

# Quiet mode: no progress window and no result message, though both texts
# are set; success and failure alike.
case_quiet_mode() {
    e2e_begin
    e2e_build "$W/quiet.exe" --quiet --append "$QB_SAMPLE_APPEND" \
        --success "$QB_SAMPLE_SUCCESS" --progress "$QB_SAMPLE_PROGRESS"
    cat "$E2E_SAVER_IN" "$QB_SAMPLE_APPEND" >"$W/expected.scr"
    e2e_quiet_run "$W/quiet.exe"
    check_installed "$W/expected.scr"
}

case_quiet_failure() {
    e2e_begin
    e2e_build "$W/quiet.exe" --quiet --success "$QB_SAMPLE_SUCCESS" --progress "$QB_SAMPLE_PROGRESS"
    overwrite_bytes "$W/quiet.exe" $(($(stat -c %s "$E2E_STUB") + 512)) 64
    e2e_quiet_run "$W/quiet.exe"
    check_not_installed
}

# progress_window_shot PNG: waits for the progress window of the running
# install and screenshots it, painted (eight colours or more where it is),
# before the result box appears. Prints the window's geometry as WxH+X+Y.
# What it saw goes to $W/watch.log.
progress_window_shot() {
    local shot=$1 class window deadline geometry colours WIDTH HEIGHT X Y
    class="^$(basename "$E2E_PACKAGE" | sed 's/\./\\./g')\$"
    deadline=$((SECONDS + 60))
    while [ $SECONDS -lt $deadline ]; do
        kill -0 "$E2E_PID" 2>/dev/null || {
            wait "$E2E_PID"
            watch_fail "the installer ended (exit code $?) before its progress window was seen"
        }
        xdotool search --name '^Quorbell$' >/dev/null 2>&1 &&
            watch_fail "the result box came before the progress window was seen: make the package larger"
        # Wine also makes 1 x 1 helper windows for the process: the dialog is
        # the one of a real size.
        for window in $(xdotool search --class "$class" 2>/dev/null); do
            geometry=$(xdotool getwindowgeometry --shell "$window" 2>/dev/null) || continue
            eval "$geometry"
            [ "$WIDTH" -ge 50 ] || continue
            # xwd fails now and then while a window is being mapped.
            qb_screenshot "$W/shot-attempt.png" 2>>"$W/watch.log" || continue
            # Keep the shot only if the window stood still around it and no
            # result box had come.
            if xdotool search --name '^Quorbell$' >/dev/null 2>&1 ||
                [ "$(xdotool getwindowgeometry --shell "$window" 2>/dev/null)" != "$geometry" ]; then
                echo "$(date +%T.%N) ${geometry//$'\n'/ }: changed during the shot" >>"$W/watch.log"
                continue
            fi
            colours=$(convert "$W/shot-attempt.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage \
                -format %k info:)
            echo "$(date +%T.%N) ${geometry//$'\n'/ }: $colours colours" >>"$W/watch.log"
            if [ "$colours" -ge 8 ]; then
                mv "$W/shot-attempt.png" "$shot"
                echo "${WIDTH}x${HEIGHT}+${X}+${Y}"
                return 0
            fi
        done
        sleep 0.02
    done
    watch_fail "no painted progress window within 60 s"
}

watch_fail() {
    echo "--- windows seen:" >&2
    tail -n 20 "$W/watch.log" >&2 2>/dev/null
    fail "$1"
}

# A large packed package with a progress text: the progress window is on
# screen, painted (the icon alone has more colours than the frame and face of
# a window not painted yet, which have five at most; the text and the bar add
# theirs: Wine's shows 11), centred, while the install runs. Its picture is
# kept.
case_progress_screenshot() {
    local geometry width height x y changed
    e2e_begin
    e2e_generate "$W/bulk.dat" $((24 * 1024 * 1024))
    E2E_PACKAGE=$W/progress.exe
    e2e_build "$E2E_PACKAGE" --append "$W/bulk.dat" \
        --success "$QB_SAMPLE_SUCCESS" --progress "$QB_SAMPLE_PROGRESS"
    cat "$E2E_SAVER_IN" "$W/bulk.dat" >"$W/expected.scr"
    qb_screenshot "$W/blank.png"
    e2e_start_install "$E2E_PACKAGE"
    geometry=$(progress_window_shot "$W/shot.png") || exit 1
    e2e_answer Return
    e2e_finish_install
    expect_eq "exit code" "$E2E_STATUS" 0
    expect_eq "messages" "$(e2e_messages)" "$QB_SAMPLE_SUCCESS"

    # Present: the shot differs from the blank screen over an area the size
    # of the dialog, centred on the 1024 x 768 screen.
    IFS='x+' read -r width height x y <<<"$geometry"
    echo "progress window: $geometry"
    if [ "$width" -lt 150 ] || [ "$height" -lt 40 ]; then
        fail "progress window too small: $geometry"
    fi
    local off_x=$((2 * x + width - 1024)) off_y=$((2 * y + height - 768))
    if [ "${off_x#-}" -gt 4 ] || [ "${off_y#-}" -gt 4 ]; then
        fail "progress window not centred: $geometry"
    fi
    changed=$(compare -metric AE "$W/blank.png" "$W/shot.png" null: 2>&1)
    [ "${changed%%.*}" -ge $((width * height * 9 / 10)) ] ||
        fail "only $changed pixels differ from a blank screen; the window covers $((width * height))"

    mkdir -p "$QB_E2E_DIR/artifacts"
    cp "$W/shot.png" "$QB_E2E_DIR/artifacts/progress-screen.png"
    convert "$W/shot.png" -crop "$((width + 48))x$((height + 48))+$((x - 24))+$((y - 24))" +repage \
        "$QB_E2E_DIR/artifacts/progress.png"
    echo "screenshot: $QB_E2E_DIR/artifacts/progress.png"
    check_installed "$W/expected.scr"
}

name=${1:?usage: run_e2e.sh CASE}
declare -F "case_$name" >/dev/null || { echo "run_e2e.sh: no case '$name'" >&2; exit 2; }
"case_$name"
echo "PASS: $name"
