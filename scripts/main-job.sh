#!/usr/bin/env bash
# The main job, on a fresh Debian 12 machine as root: installs what is
# needed, builds every preset, builds the sample package with `quorbell
# build`, installs it into a fresh Wine prefix on a virtual display (answering
# its question Yes), and prints what was installed and where.
#
# Everything it makes lands in build/main-job/: the packages, the Wine prefix
# (kept, to look into), the screenshots.
set -u -o pipefail
cd "$(dirname "$0")/.." || exit 1
root=$(pwd)

bash scripts/install-deps.sh || { echo "error: installing the dependencies failed" >&2; exit 1; }
bash scripts/build-all.sh || { echo "error: the build failed" >&2; exit 1; }

QB_WIN64_BIN_DIR=$root/build/win64/bin
QB_WIN32_BIN_DIR=$root/build/win32/bin
tool=$root/build/host/bin/quorbell
out=$root/build/main-job
source scripts/wine-env.sh
source samples/sample-package.sh

rm -rf "$out"
mkdir -p "$out"

# The product is the 32-bit package; the 64-bit one is the same package on the
# x86_64 build of the installer, which is what Wine can run on this machine.
package32=$out/quorbell-sample-setup.exe
package64=$out/quorbell-sample-setup-x64.exe
qb_build_sample_package "$tool" "$QB_WIN32_BIN_DIR/quorbell-setup.exe" \
    "$QB_WIN32_BIN_DIR/quorbell-sample.scr" "$package32" ||
    qb_die "building the 32-bit sample package failed"
qb_build_sample_package "$tool" "$QB_WIN64_BIN_DIR/quorbell-setup.exe" \
    "$QB_WIN64_BIN_DIR/quorbell-sample.scr" "$package64" ||
    qb_die "building the 64-bit sample package failed"
echo
echo "Sample packages:"
"$tool" info "$package32" 2>/dev/null | sed 's/^/  /' || ls -l "$package32"
for package in "$package32" "$package64"; do
    printf '  %-60s %9d bytes\n' "$package" "$(stat -c %s "$package")"
done

qb_session_begin
qb_log "making a fresh Wine prefix"
qb_make_template "$QB_SESSION_DIR/template"
qb_start_xvfb
qb_new_prefix "$QB_SESSION_DIR/template" "$out/wine-prefix"
windir=$(qb_windir)

qb_log "installing $(basename "$package64") under Wine (display $DISPLAY)"
"$QB_WINE64" "$package64" 2>"$out/install.log" &
installer=$!
qb_answer Quorbell y 60 || qb_die "the installer's question did not come (see $out/install.log)"
qb_find_window Quorbell 60 >/dev/null || qb_die "no result message (see $out/install.log)"
sleep 0.5
qb_screenshot "$out/result.png" || qb_log "no screenshot of the result message"
qb_answer Quorbell Return 30 || qb_die "the result message stayed open"
qb_wait_pid "$installer" 60
status=$?
[ "$status" != 124 ] || qb_die "the installer did not end"
message=$(sed -n 's/.*trace:msgbox:MSGBOX_OnInit L"\(.*\)"$/\1/p' "$out/install.log" | tail -n 1)

registered=$(qb_ini_value "$windir/system.ini" boot SCRNSAVE.EXE)
saver_shot=
if [ -n "$registered" ]; then
    # Start the screensaver the way Windows would: by its registered path.
    qb_log "starting the registered screensaver $registered /s"
    "$QB_WINE64" "$registered" /s 2>>"$out/install.log" &
    saver=$!
    if qb_find_window "Quorbell Sample Saver" 20 >/dev/null; then
        sleep 1
        qb_screenshot "$out/saver.png" && saver_shot=$out/saver.png
    fi
    xdotool mousemove 10 10 mousemove 400 300 key space
    qb_wait_pid "$saver" 10 >/dev/null
fi
qb_end_prefix
active=$(qb_registry_value "$WINEPREFIX/user.reg" 'Control Panel\\Desktop' ScreenSaveActive)

check() {
    if cmp -s "$1" "$2"; then echo "equal to $3"; else echo "DIFFERS from $3"; fi
}

cat "$QB_WIN64_BIN_DIR/quorbell-sample.scr" "$QB_SAMPLE_APPEND" >"$out/expected-saver.scr"
echo
echo "Installer exit code: $status; its message: \"$message\""
echo "Installed into the Windows directory C:\\windows of the Wine prefix $out/wine-prefix,"
echo "that is $windir:"
for name in "$QB_SAMPLE_SAVER_NAME" "$QB_SAMPLE_TAIL_NAME"; do
    if [ -f "$windir/$name" ]; then
        printf '  %-28s %7d bytes\n' "$name" "$(stat -c %s "$windir/$name")"
    else
        printf '  %-28s missing\n' "$name"
    fi
done
echo "  the saver is $(check "$windir/$QB_SAMPLE_SAVER_NAME" "$out/expected-saver.scr" \
    "quorbell-sample.scr + samples/sample-message.txt")"
echo "  the tail is $(check "$windir/$QB_SAMPLE_TAIL_NAME" "$QB_SAMPLE_TAIL" samples/README.TXT)"
echo "system.ini ($windir/system.ini), [boot]: SCRNSAVE.EXE=${registered:-(none)}"
echo "user.reg ($WINEPREFIX/user.reg), [Control Panel\\Desktop]: \"ScreenSaveActive\"=\"${active:-(none)}\""
echo "Screenshots:"
echo "  the result message:          $out/result.png"
[ -z "$saver_shot" ] || echo "  the installed saver running: $saver_shot"
echo "  the progress window (kept from an end-to-end run): $root/docs/progress.png"

if [ "$status" != 0 ] || [ -z "$registered" ] || [ "$active" != 1 ] ||
    ! cmp -s "$windir/$QB_SAMPLE_SAVER_NAME" "$out/expected-saver.scr"; then
    qb_die "the sample package did not install as expected"
fi
