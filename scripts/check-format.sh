#!/usr/bin/env bash
# Fails, listing the files, when a tracked C++ source does not follow .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
orvimet_install_packages clang-format
mapfile -t files < <(git ls-files '*.cpp' '*.h')
bad=()
for f in "${files[@]}"; do
    clang-format --dry-run -Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if [ ${#bad[@]} -gt 0 ]; then
    printf 'Not formatted as .clang-format says (run clang-format -i):\n' >&2
    printf '  %s\n' "${bad[@]}" >&2
    exit 1
fi
echo "Formatting: ${#files[@]} files follow .clang-format."
