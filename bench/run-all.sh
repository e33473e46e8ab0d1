#!/bin/sh
# Runs every benchmark of a build directory, then the DXF comparison with ezdxf.
set -eu
BUILD=${1:-build}
HERE=$(cd "$(dirname "$0")" && pwd)
for b in "$BUILD"/bench/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" --benchmark_min_time=0.5 --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
done
if [ -f "$HERE/dxf_side_by_side.py" ]; then
  echo "== DXF side by side with ezdxf, dxflib and dime"
  /usr/bin/python3 "$HERE/dxf_side_by_side.py" "$BUILD"
fi
