#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need. Sourced by run.sh and
# test.sh. Quick when everything is present: apt-get runs only for what is missing.
orvimet_install_packages() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' \
            || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

# What every build needs: compiler, CMake, Qt 5 and a font that has the Chinese glyphs.
ORVIMET_BUILD_PACKAGES=(g++ cmake make qtbase5-dev qtbase5-dev-tools libgl-dev fonts-wqy-microhei)

orvimet_build() {
    local dir=$1
    shift
    cmake -S "$ORVIMET_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
    cmake --build "$dir" --parallel "$(nproc)"
}
