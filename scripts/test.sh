#!/usr/bin/env bash
# Builds the grader and runs the whole test suite headless; the exit status is the suite's.
#   scripts/test.sh             ordinary build in build/
#   scripts/test.sh --sanitize  address and undefined-behaviour sanitizers, in build-sanitize/
#   scripts/test.sh --qt5       against Qt 5.15 instead of Qt 6, in build-qt5/
# Extra arguments after -- go to ctest (for instance: scripts/test.sh -- -R judge).
set -euo pipefail
ORVIMET_ROOT=$(cd "$(dirname "$0")/.." && pwd)

dir="$ORVIMET_ROOT/build"
cmake_args=()
while [ $# -gt 0 ]; do
    case "$1" in
    --sanitize) dir="$ORVIMET_ROOT/build-sanitize"; cmake_args+=(-DORVIMET_SANITIZE=ON) ;;
    --qt5) dir="$ORVIMET_ROOT/build-qt5"; export ORVIMET_QT=5 ;;
    --) shift; break ;;
    *) echo "usage: scripts/test.sh [--sanitize] [--qt5] [-- ctest arguments]" >&2; exit 2 ;;
    esac
    shift
done
source "$ORVIMET_ROOT/scripts/deps.sh"

# chromium: the class report and a feedback page are opened in a real browser; clang-14: the
# similarity lexer's tokens are checked against clang's own.
orvimet_install_packages "${ORVIMET_BUILD_PACKAGES[@]}" binutils-mingw-w64-x86-64 chromium clang-14 \
    "${ORVIMET_PACKAGE_PACKAGES[@]}" "${ORVIMET_PACKAGE_CHECK_PACKAGES[@]}"
orvimet_build "$dir" "${cmake_args[@]}"
cd "$dir"
export QT_QPA_PLATFORM=offscreen
# Leaks inside system libraries (fontconfig, Qt's plugin loader) are not ours to fix.
export LSAN_OPTIONS="suppressions=$ORVIMET_ROOT/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
exec ctest --output-on-failure --timeout 600 --parallel "$(nproc)" "$@"
