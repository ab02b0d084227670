#!/usr/bin/env bash
# build.sh DIR [cmake options...]: configures (once) and builds one build folder.
set -euo pipefail
dir=$1; shift
top=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$top" -B "$dir" -G Ninja -DZEPHO7_WERROR=ON "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
