#!/usr/bin/env bash
# Builds the grader into build/ (BUILD_DIR chooses another) and starts it from there, so that
# ./resource/ resolves to the reference programs built beside it. Only what running needs is
# built: the window, which brings its reference programs, and the sample student programs in
# examples/; never the tests or the benchmarks.
set -euo pipefail
ORVIMET_ROOT=$(cd "$(dirname "$0")/.." && pwd)
# Before anything is installed or built: without a display the window could not start anyway.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: start the grader with 'xvfb-run -a scripts/run.sh' (package xvfb)." >&2
    exit 1
fi
source "$ORVIMET_ROOT/scripts/deps.sh"
orvimet_install_packages "${ORVIMET_BUILD_PACKAGES[@]}"
dir=$(realpath -m "${BUILD_DIR:-$ORVIMET_ROOT/build}")
ORVIMET_TARGETS="orvimet example_stack example_queue example_stackqueue" orvimet_build "$dir"
cd "$dir"
exec ./orvimet "$@"
