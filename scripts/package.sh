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
# Built with Debian's hardening flags, as a package built by Debian's own tools would be.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# Only what the package installs is built (the target packaging/CMakeLists.txt makes of its
# install rules): the tests, the faulty class, the sample programs and the benchmarks are most of
# the build and none of the package. Installing then does not build everything first (cpack
# installs through the build's install rules).
export ORVIMET_TARGETS=orvimet_package_contents
orvimet_build "$dir" \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON
# Every program of the package must carry them: read-only relocations bound at start and the
# stack protector.
for program in orvimet orvimet-cli orvimet-class orvimet-launch; do
    file=$(find "$dir" -maxdepth 2 -type f -name "$program" -perm -u+x | head -n 1)
    [ -n "$file" ] || continue
    # Read whole before searching: grep -q would leave readelf writing into a closed pipe, which
    # pipefail takes for a failure.
    dynamic=$(readelf -d "$file")
    segments=$(readelf -lW "$file")
    symbols=$(readelf -sW --dyn-syms "$file")
    if ! grep -q 'BIND_NOW' <<<"$dynamic" || ! grep -q 'GNU_RELRO' <<<"$segments" \
        || ! grep -q '__stack_chk_fail' <<<"$symbols"; then
        echo "$file is built without Debian's hardening flags." >&2
        exit 1
    fi
done
(cd "$dir" && cpack -G DEB -B "$ORVIMET_ROOT/dist")
ls "$ORVIMET_ROOT"/dist/orvimet_*.deb
