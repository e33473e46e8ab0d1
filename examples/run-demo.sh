#!/bin/sh
# Runs zrxhost with the tally module on the sample drawing and the demo script; writes out/demo.dxf
# and out/demo.png. Usage: examples/run-demo.sh BUILD_DIR
set -eu

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
host="$build/host/zrxhost"
[ -x "$host" ] || host="$build/zrxhost"
module="$build/ZrxForTally.zrx"
for f in "$host" "$module"; do
  if [ ! -e "$f" ]; then
    echo "$0: $f not found; build first (make build)" >&2
    exit 1
  fi
done

mkdir -p "$root/out"
"$host" "$root/examples/sample.dxf" --load "$module" --script "$root/examples/demo.scr" \
  --save-as "$root/out/demo.dxf" --png "$root/out/demo.png"
echo "wrote $root/out/demo.dxf and $root/out/demo.png"
