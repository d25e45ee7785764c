#!/usr/bin/env bash
# Formats every C++ file of the repository with .clang-format (Debian's clang-format);
# --check only lists the files that would change and fails if there are any.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.h' '*.cpp')
if [ "${1:-}" = "--check" ]; then
  changed=0
  for f in "${files[@]}"; do
    if ! clang-format "$f" | cmp -s - "$f"; then echo "$f"; changed=1; fi
  done
  exit $changed
fi
clang-format -i "${files[@]}"
