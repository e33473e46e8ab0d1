#!/bin/sh
# Numbers the rooms of examples/floorplan.dxf with the tally module; writes out/floorplan.dxf and
# out/floorplan.png (the picture in docs/demo.png). Usage: examples/run-floorplan.sh BUILD_DIR
set -eu

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
host="$build/host/zrxhost"
module="$build/ZrxForTally.zrx"
for f in "$host" "$module"; do
  if [ ! -e "$f" ]; then
    echo "$0: $f not found; build first (make build)" >&2
    exit 1
  fi
done

mkdir -p "$root/out"
"$host" "$root/examples/floorplan.dxf" --load "$module" --script "$root/examples/floorplan.scr" \
  --save-as "$root/out/floorplan.dxf" --png "$root/out/floorplan.png"
echo "wrote $root/out/floorplan.dxf and $root/out/floorplan.png"
