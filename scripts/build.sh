#!/usr/bin/env bash
# Configures and builds the tree.
#   build.sh BUILD_DIR
# BUILD_DIR is the tested build: 32-bit where this machine runs 32-bit code,
# else 64-bit (see test-arch.sh). The 32-bit deliverables are always built;
# when the tested build is 64-bit they are built in build/i686, together with
# the tests and stand-ins, which are compiled there but not run.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$1
JOBS=${JOBS:-$(nproc)}
arch=$("$ROOT/scripts/test-arch.sh")

configure() {  # dir arch tests [cmake arguments...]
  local dir=$1 arch=$2
  if [ -f "$dir/CMakeCache.txt" ] && ! grep -q "^QARN_ARCH:STRING=$arch\$" "$dir/CMakeCache.txt"; then
    rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles"  # another architecture was built here
  fi
  cmake -S "$ROOT" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-mingw32.cmake" -DQARN_ARCH="$arch" \
    -DQARN_BUILD_TESTS="$3" "${@:4}" >/dev/null
}

configure "$BUILD" "$arch" ON
if [ "$arch" != i686 ]; then
  echo "[build] this machine cannot run 32-bit code: tests use a 64-bit build; 32-bit deliverables in build/i686"
  # Its installer package takes the COM registration from the tested build.
  configure "$ROOT/build/i686" i686 ON -DQARN_HARVEST_FROM="$(cd "$BUILD" && pwd)"
  cmake --build "$ROOT/build/i686" -j"$JOBS"
fi
cmake --build "$BUILD" -j"$JOBS"
