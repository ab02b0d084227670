#!/usr/bin/env bash
# Sets up everything on a fresh Debian 12 machine, builds and runs Zepho7. With no supported
# device attached it runs against simulated devices.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" "$top/build/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZEPHO7_TESTS=OFF -DZEPHO7_BENCH=OFF
exec "$top/build/release/app/zepho7" "$@"
