#!/usr/bin/env bash
# The catalogs are complete and the Chinese README keeps step with the README.
set -euo pipefail
source=$1
"$source/scripts/translations" --check
# Every command line the README indents as a block appears in the Chinese README, and back.
commands() { grep -E '^    (scripts|sudo|tavoprint) ' "$1" | sed 's/  *#.*//' | sort -u; }
missing=$(comm -23 <(commands "$source/README.zh-CN.md") <(commands "$source/README.md"))
if [ -n "$missing" ]; then
  echo "README.zh-CN.md gives commands README.md does not:" >&2
  echo "$missing" >&2
  exit 1
fi
for command in "    scripts/demo" "    scripts/test" "    scripts/package" \
               "    sudo apt install ./build/package/tavo_*.deb"; do
  if ! grep -qxF -- "$command" "$source/README.zh-CN.md"; then
    echo "README.zh-CN.md lacks the README's command:$command" >&2
    exit 1
  fi
done
