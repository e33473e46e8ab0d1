#!/bin/sh
# Builds the fuzz targets with clang (ASan + UBSan + libFuzzer) and runs each for SECONDS (60 by
# default) on its seeds and the corpus it grew before. Any crash, leak, hang or broken round trip
# ends the run with exit 1 and leaves the input in BUILD/fuzz-findings/.
set -eu
cd "$(dirname "$0")/.."
SECONDS_EACH=${1:-60}
BUILD=${FUZZ_BUILD:-build-fuzz}
TARGETS=${FUZZ_TARGETS:-"dxf_read_fuzz dxf_binary_fuzz mtext_fuzz editor_input_fuzz script_fuzz"}

CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZRX_FUZZ=ON -DZRX_BENCH=OFF
cmake --build "$BUILD" --target fuzzers -j "${JOBS:-$(nproc)}"
rm -rf "$BUILD/fuzz-seeds"
/usr/bin/python3 fuzz/make_seeds.py "$BUILD/fuzz-seeds"
mkdir -p "$BUILD/fuzz-findings"

export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
failed=""
for target in $TARGETS; do
  corpus="$BUILD/fuzz-corpus/$target"
  mkdir -p "$corpus"
  echo "== $target: $SECONDS_EACH s"
  if ! "$BUILD/fuzz/$target" -max_total_time="$SECONDS_EACH" -timeout=20 -rss_limit_mb=4096 -max_len=65536 \
      -print_final_stats=1 -artifact_prefix="$BUILD/fuzz-findings/$target-" "$corpus" "$BUILD/fuzz-seeds/$target"; then
    failed="$failed $target"
  fi
done
if [ -n "$failed" ]; then
  echo "fuzzing found faults in:$failed (inputs in $BUILD/fuzz-findings/)" >&2
  exit 1
fi
echo "fuzzing: no findings"
