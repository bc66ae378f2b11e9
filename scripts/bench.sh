#!/usr/bin/env bash
# Builds the grader and runs the benchmarks headless, printing their tables.
#   scripts/bench.sh                 everything, with Qt 6, in build/
#   scripts/bench.sh --qt5           the same with Qt 5.15, in build-qt5/
#   scripts/bench.sh -- ARGS...      ARGS go to bench_grader, for instance
#                                    scripts/bench.sh -- --presses 50 --sizes 1,10
# Close other work first: the figures are wall-clock times.
set -euo pipefail
ORVIMET_ROOT=$(cd "$(dirname "$0")/.." && pwd)

grader_args=()
dir="$ORVIMET_ROOT/build"
while [ $# -gt 0 ]; do
    case "$1" in
    --qt5) dir="$ORVIMET_ROOT/build-qt5"; export ORVIMET_QT=5; shift ;;
    --) shift; grader_args=("$@"); break ;;
    *) echo "usage: scripts/bench.sh [--qt5] [-- bench_grader arguments]" >&2; exit 2 ;;
    esac
done
source "$ORVIMET_ROOT/scripts/deps.sh"
orvimet_install_packages "${ORVIMET_BUILD_PACKAGES[@]}"
orvimet_build "$dir"

export QT_QPA_PLATFORM=offscreen
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    XDG_RUNTIME_DIR=$(mktemp -d)
    export XDG_RUNTIME_DIR
    trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi

echo "Machine: $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p' | head -n 1)," \
    "$(free -h | awk '/^Mem:/ {print $2}') memory; $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "Load average before the run: $(cut -d ' ' -f 1-3 /proc/loadavg)"

"$dir/bench/bench_grader" "${grader_args[@]}"

# The console grader and the builds of a class, each kept to a few minutes on two cores; the
# class window over 300 students in seconds.
for bench in bench_cli bench_grade bench_classwindow; do
    if [ -x "$dir/bench/$bench" ]; then
        echo
        "$dir/bench/$bench"
    fi
done
if [ -x "$dir/bench/bench_building" ]; then
    echo
    "$dir/bench/bench_building" --rounds 1
fi
