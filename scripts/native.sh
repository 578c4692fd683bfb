#!/usr/bin/env bash
# The host-native build of the platform-free code (sanitizers, libFuzzer).
#   native.sh build DIR            configures and builds DIR with clang
#   native.sh fuzz DIR SECONDS     runs every fuzz target for SECONDS each
# A fuzz target's crashing input lands in tests/native/fuzz/regressions/<target>/,
# from where ctest replays it on every native test run.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
action=$1 dir=$2
JOBS=${JOBS:-$(nproc)}

case $action in
  build)
    cmake -S "$ROOT/tests/native" -B "$dir" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
    cmake --build "$dir" -j"$JOBS"
    ;;
  fuzz)
    seconds=${3:-60}
    status=0
    for fuzzer in "$dir"/fuzz/fuzz_*; do
      [ -x "$fuzzer" ] || continue
      name=$(basename "$fuzzer")
      corpus="$dir/fuzz-corpus/$name" regressions="$ROOT/tests/native/fuzz/regressions/$name"
      mkdir -p "$corpus" "$regressions"
      echo "[fuzz] $name for ${seconds}s"
      "$fuzzer" -max_total_time="$seconds" -max_len=20000 -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$regressions/" "$corpus" "$ROOT/tests/native/fuzz/seeds/$name" \
        >"$dir/$name.log" 2>&1 || { status=1; tail -40 "$dir/$name.log"; }
      tail -1 "$dir/$name.log"
    done
    exit $status
    ;;
  *) echo "usage: $0 build DIR | fuzz DIR SECONDS" >&2; exit 2 ;;
esac
