#!/usr/bin/env bash
# Fails when a folder includes a folder of its own layer or above: each library's folder may
# include only the folders below it (docs/architecture.md). Usage: scripts/check-layers.sh [ROOT]
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}

# Layer of each library folder; a folder may include only folders of a lower layer.
declare -A layer=(
    [sandbox]=0 [similarity]=0
    [judge]=1 [intake]=1
    [explore]=2 [building]=2 [results]=2
    [grading]=3
    [gradebook]=4
    [cli]=5 [app]=5
    [classwindow]=6
)

status=0
for folder in "${!layer[@]}"; do
    [ -d "$root/$folder" ] || continue
    while IFS= read -r -d '' file; do
        while IFS= read -r line; do
            target=${line#*\"}
            target=${target%%/*}
            [ "$target" = "$folder" ] && continue
            [ -n "${layer[$target]+x}" ] || continue
            if [ "${layer[$target]}" -ge "${layer[$folder]}" ]; then
                echo "${file#"$root"/}: includes $target/ (layer ${layer[$target]}) from layer ${layer[$folder]}" >&2
                status=1
            fi
        done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[a-z]+/' "$file" || true)
    done < <(find "$root/$folder" -type f \( -name '*.h' -o -name '*.cpp' \) -print0)
done
[ $status -eq 0 ] && echo "layers: every include points downwards"
exit $status
