#!/usr/bin/env bash
# Builds the grader into build/ and starts it from there, so that ./resource/ resolves to the
# reference programs built beside it.
set -euo pipefail
ORVIMET_ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ORVIMET_ROOT/scripts/deps.sh"
orvimet_install_packages "${ORVIMET_BUILD_PACKAGES[@]}"
orvimet_build "$ORVIMET_ROOT/build"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: start the grader with 'xvfb-run -a scripts/run.sh' (package xvfb)." >&2
    exit 1
fi
cd "$ORVIMET_ROOT/build"
exec ./orvimet "$@"
