#!/usr/bin/env bash
# Builds the grader and runs the whole test suite headless; the exit status is the suite's.
#   scripts/test.sh             ordinary build in build/
#   scripts/test.sh --sanitize  address and undefined-behaviour sanitizers, in build-sanitize/
# Extra arguments after -- go to ctest (for instance: scripts/test.sh -- -R judge).
set -euo pipefail
ORVIMET_ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ORVIMET_ROOT/scripts/deps.sh"

dir="$ORVIMET_ROOT/build"
cmake_args=()
while [ $# -gt 0 ]; do
    case "$1" in
    --sanitize) dir="$ORVIMET_ROOT/build-sanitize"; cmake_args+=(-DORVIMET_SANITIZE=ON) ;;
    --) shift; break ;;
    *) echo "usage: scripts/test.sh [--sanitize] [-- ctest arguments]" >&2; exit 2 ;;
    esac
    shift
done

orvimet_install_packages "${ORVIMET_BUILD_PACKAGES[@]}" binutils-mingw-w64-x86-64
orvimet_build "$dir" "${cmake_args[@]}"
cd "$dir"
export QT_QPA_PLATFORM=offscreen
# Leaks inside system libraries (fontconfig, Qt's plugin loader) are not ours to fix.
export LSAN_OPTIONS="suppressions=$ORVIMET_ROOT/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
exec ctest --output-on-failure --timeout 600 --parallel "$(nproc)" "$@"
