#!/usr/bin/env bash
# Checks that every C++ and CUDA source is laid out as .clang-format says.
#   scripts/check_format.sh          report the lines that differ; exit 1 if any
#   scripts/check_format.sh --fix    format the sources in place
# CLANG_FORMAT names another clang-format program (default clang-format-14:
# other versions lay some constructs out differently).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
fmt=${CLANG_FORMAT:-clang-format-14}
mode=(--dry-run -Werror)
case "${1:-}" in
  "") ;;
  --fix) mode=(-i) ;;
  *) echo "usage: scripts/check_format.sh [--fix]" >&2; exit 2 ;;
esac
if ! command -v "$fmt" >/dev/null; then
  echo "check_format.sh: $fmt not found (scripts/install-deps.sh --format installs it)" >&2
  exit 2
fi

# The tracked sources; outside a git checkout, every source but the build trees.
list_sources() {
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z -- '*.h' '*.cpp' '*.cu' '*.cuh'
  else
    find . -path './build*' -prune -o -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.cu' -o -name '*.cuh' \) \
      -print0
  fi
}

if ! list_sources | xargs -0 -r -n 32 -P "$(nproc)" "$fmt" --style=file "${mode[@]}"; then
  echo "check_format.sh: the lines above differ from .clang-format; scripts/check_format.sh --fix formats them" >&2
  exit 1
fi
