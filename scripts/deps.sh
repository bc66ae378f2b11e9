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

# What every build needs: compiler, CMake, Qt with its own translations (the window's file dialog
# speaks Chinese through them), Qt's linguist tools (lrelease makes the translations of what
# students receive at build time, through CMake's LinguistTools), a font that has the Chinese
# glyphs, bubblewrap, the sandbox orvimet-cli runs students' programs in, libarchive, which reads
# the archives a class is handed in as, and CLI11, which reads orvimet-cli's command line. The class
# window's Chinese texts are compiled the same way. Qt 6 unless ORVIMET_QT=5 asks for Qt 5.15.
ORVIMET_QT=${ORVIMET_QT:-6}
case "$ORVIMET_QT" in
6) ORVIMET_QT_PACKAGES=(qt6-base-dev qt6-base-dev-tools qt6-translations-l10n qt6-tools-dev
    qt6-l10n-tools) ;;
5) ORVIMET_QT_PACKAGES=(qtbase5-dev qtbase5-dev-tools qttranslations5-l10n qttools5-dev
    qttools5-dev-tools) ;;
*) echo "ORVIMET_QT must be 5 or 6, not '$ORVIMET_QT'" >&2; exit 2 ;;
esac
# The grade sheets and pages read the class file with toml++, write HTML through mustache
# templates, read worksheets with libcsv and pack feedback.zip with libarchive.
ORVIMET_BUILD_PACKAGES=(g++ cmake make "${ORVIMET_QT_PACKAGES[@]}" libgl-dev fonts-wqy-microhei
    bubblewrap libcli11-dev libarchive-dev libtomlplusplus-dev libkainjow-mustache-dev libcsv-dev)

# What building and checking the Debian package needs besides: dpkg-shlibdeps computes its
# dependencies (with file telling ELF files apart), the rest check the package and its files.
ORVIMET_PACKAGE_PACKAGES=(dpkg-dev file)
ORVIMET_PACKAGE_CHECK_PACKAGES=(lintian desktop-file-utils appstream man-db)

# The Slurm test (scripts/slurm-test.sh) starts a one-machine Slurm cluster, authenticated by
# munge, and compares results with jq.
ORVIMET_SLURM_TEST_PACKAGES=(slurm-wlm munge jq)

orvimet_build() {
    local dir=$1
    shift
    local targets=()
    # ORVIMET_TARGETS: only these targets, with what they depend on; empty: everything.
    read -r -a targets <<<"${ORVIMET_TARGETS:-}"
    local log
    log=$(cmake -S "$ORVIMET_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" \
        -DORVIMET_QT="$ORVIMET_QT" "$@" 2>&1) || { echo "$log" >&2; return 1; }
    grep -F 'building with Qt' <<<"$log" || true
    cmake --build "$dir" --parallel "$(nproc)" ${targets[@]:+--target "${targets[@]}"}
}
