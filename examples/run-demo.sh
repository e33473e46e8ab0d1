#!/bin/sh
# Runs zrxhost with the tally module on the two demo drawings: the floor plan (examples/floorplan.scr
# numbers its rooms; out/floorplan.dxf, out/floorplan.png, the picture in docs/demo.png, and
# out/floorplan.pdf, the same on A4) and the sample (examples/demo.scr runs every placement method;
# out/demo.dxf, out/demo.png and out/demo.pdf). Then the retally module renumbers the numbered plan
# as the second floor (examples/renumber.scr; out/floorplan-renumbered.dxf and .png).
# Usage: examples/run-demo.sh BUILD_DIR
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
retally="$build/ZrxForRetally.zrx"
for f in "$host" "$module" "$retally"; do
  if [ ! -e "$f" ]; then
    echo "$0: $f not found; build first (make build)" >&2
    exit 1
  fi
done

mkdir -p "$root/out"
# run DRAWING SCRIPT OUTPUT_NAME
run() {
  "$host" "$root/examples/$1" --load "$module" --script "$root/examples/$2" \
    --save-as "$root/out/$3.dxf" --png "$root/out/$3.png" --pdf "$root/out/$3.pdf"
  echo "wrote $root/out/$3.dxf, $root/out/$3.png and $root/out/$3.pdf"
}
run floorplan.dxf floorplan.scr floorplan
run sample.dxf demo.scr demo
"$host" "$root/out/floorplan.dxf" --load "$retally" --script "$root/examples/renumber.scr" \
  --save-as "$root/out/floorplan-renumbered.dxf" --png "$root/out/floorplan-renumbered.png"
echo "wrote $root/out/floorplan-renumbered.dxf and $root/out/floorplan-renumbered.png"
