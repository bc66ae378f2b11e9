#!/usr/bin/env bash
# Builds the Debian package orvimet_<version>_<arch>.deb into dist/.
#   scripts/package.sh           with Qt 6, built in build/
#   scripts/package.sh --qt5     with Qt 5.15, built in build-qt5/
# Install it with: sudo apt install ./dist/orvimet_*.deb
set -euo pipefail
ORVIMET_ROOT=$(cd "$(dirname "$0")/.." && pwd)

dir="$ORVIMET_ROOT/build"
while [ $# -gt 0 ]; do
    case "$1" in
    --qt5) dir="$ORVIMET_ROOT/build-qt5"; export ORVIMET_QT=5 ;;
    *) echo "usage: scripts/package.sh [--qt5]" >&2; exit 2 ;;
    esac
    shift
done
source "$ORVIMET_ROOT/scripts/deps.sh"

orvimet_install_packages "${ORVIMET_BUILD_PACKAGES[@]}" "${ORVIMET_PACKAGE_PACKAGES[@]}"
orvimet_build "$dir"
(cd "$dir" && cpack -G DEB -B "$ORVIMET_ROOT/dist")
ls "$ORVIMET_ROOT"/dist/orvimet_*.deb
