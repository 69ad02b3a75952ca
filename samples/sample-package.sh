# The sample package: the sample screensaver with a README and a message
# appended to the saver, as `quorbell build` takes them. Sourced by
# scripts/main-job.sh and the end-to-end tests.
#
#   qb_build_sample_package TOOL STUB SAVER OUT [more build options...]
#
# SAVER is the built quorbell-sample.scr; STUB the installer to build on.

QB_SAMPLE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
QB_SAMPLE_SAVER_NAME="Quorbell Sample Saver.scr"
QB_SAMPLE_TAIL=$QB_SAMPLE_DIR/README.TXT
QB_SAMPLE_TAIL_NAME="Quorbell Sample Saver.txt"
QB_SAMPLE_APPEND=$QB_SAMPLE_DIR/sample-message.txt
QB_SAMPLE_CONFIRM="Install the Quorbell sample screensaver?"
QB_SAMPLE_SUCCESS="The Quorbell sample screensaver is installed."
QB_SAMPLE_FAILURE="The Quorbell sample screensaver could not be installed."
QB_SAMPLE_PROGRESS="Installing the sample..."

qb_build_sample_package() {
    local tool=$1 stub=$2 saver=$3 out=$4
    shift 4
    "$tool" build -o "$out" --stub "$stub" \
        --saver "$saver" --saver-name "$QB_SAMPLE_SAVER_NAME" \
        --tail "$QB_SAMPLE_TAIL" --tail-name "$QB_SAMPLE_TAIL_NAME" \
        --append "$QB_SAMPLE_APPEND" \
        --confirm "$QB_SAMPLE_CONFIRM" \
        --success "$QB_SAMPLE_SUCCESS" \
        --failure "$QB_SAMPLE_FAILURE" \
        --progress "$QB_SAMPLE_PROGRESS" \
        "$@"
}
