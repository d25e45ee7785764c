#!/usr/bin/env bash
# Lists every function longer than the limit (80 lines, from the line of its name to its closing
# brace) in the project's C++ and Python sources, longest first, and fails when there is one.
#   tools/check_function_length.sh [--report] [--max N] [FOLDER...]
# --report only prints (exit 0). Folders are taken from the repository's top; without any:
# kernel, algorithms, plug_ins, app, cli, python, tests. Needs universal-ctags.
set -euo pipefail
cd "$(dirname "$0")/.."

report=0
limit=80
folders=()
while [ $# -gt 0 ]; do
  case "$1" in
    --report) report=1 ;;
    --max)
      [ $# -ge 2 ] || { echo "check_function_length: --max needs a number" >&2; exit 2; }
      limit="$2"
      shift
      ;;
    -h | --help)
      sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//'
      exit 0
      ;;
    -*) echo "check_function_length: unknown option '$1'" >&2; exit 2 ;;
    *) folders+=("$1") ;;
  esac
  shift
done
[[ "$limit" =~ ^[1-9][0-9]*$ ]] || { echo "check_function_length: --max must be a positive whole number, got '$limit'" >&2; exit 2; }
if ! ctags --version 2>/dev/null | grep -q 'Universal Ctags'; then
  echo "check_function_length: universal-ctags is not installed (apt-get install universal-ctags)" >&2
  exit 2
fi
if [ ${#folders[@]} -eq 0 ]; then
  for folder in kernel algorithms plug_ins app cli python tests; do
    [ -d "$folder" ] && folders+=("$folder")
  done
fi
for folder in "${folders[@]}"; do
  [ -e "$folder" ] || { echo "check_function_length: no such folder '$folder'" >&2; exit 2; }
done

# Function definitions only (no prototypes); Python methods count as functions.
long=$(ctags -R --languages=C++,Python --kinds-C++=f --kinds-Python=fm --fields=+ne -x \
  --_xformat='%{end} %{line} %{input} %{name}' "${folders[@]}" |
  awk -v limit="$limit" '$1 ~ /^[0-9]+$/ && $1 - $2 + 1 > limit { printf "%d %s:%d: %s\n", $1 - $2 + 1, $3, $2, $4 }' |
  sort -k1,1nr -k2,2)

if [ -z "$long" ]; then
  echo "No function is longer than $limit lines."
  exit 0
fi
count=$(printf '%s\n' "$long" | wc -l)
printf '%s\n' "$long" | awk '{ n = $1; $1 = ""; sub(/^ /, ""); printf "%s (%d lines)\n", $0, n }'
echo "$count function(s) longer than $limit lines."
[ "$report" -eq 1 ] && exit 0
exit 1
