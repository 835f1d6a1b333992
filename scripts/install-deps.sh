#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
#   scripts/install-deps.sh            host build and tests
#   scripts/install-deps.sh --fuzz     also clang with libFuzzer and OpenMP
#   scripts/install-deps.sh --format   also clang-format-14 (scripts/check_format.sh)
set -euo pipefail

want=(cmake make g++ libboost-dev libboost-context-dev libgtest-dev python3-meshio)
for arg in "$@"; do
  case "$arg" in
    --fuzz) want+=(clang libclang-rt-dev libomp-dev) ;;
    --format) want+=(clang-format-14) ;;
    *) echo "install-deps.sh: unknown option $arg" >&2; exit 2 ;;
  esac
done
# The toolkit's Thrust (CCCL) serves both builds; without it, Debian's Thrust.
cccl_found=no
for dir in /usr/local/cuda/include/cccl /usr/local/cuda/targets/x86_64-linux/include/cccl; do
  [ -f "$dir/thrust/sort.h" ] && cccl_found=yes
done
[ "$cccl_found" = yes ] || want+=(libthrust-dev)

missing=()
for pkg in "${want[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$pkg")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null; then
    sudo=(sudo)
  else
    echo "install-deps.sh: missing packages ${missing[*]} and not root" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q </dev/null
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
