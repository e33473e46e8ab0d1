#!/bin/sh
# Checks the installed package as a user meets it: zrxhost from PATH numbers the rooms of the example
# floor plan with the module loaded by name, plots it to PDF and renumbers it with the second module,
# man finds both pages, and the desktop entry is valid. Usage: scripts/smoke-installed.sh (after apt-get install ./zrxtally_*.deb)
set -eu
examples=/usr/share/doc/zrxtally/examples
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

zrxhost "$examples/floorplan.dxf" --load ZrxForTally --script "$examples/floorplan.scr" \
  --save-as floorplan.dxf --pdf floorplan.pdf >transcript.txt
for room in 102 103 104 105 106; do
  # A text's string is the line after its group code 1.
  if ! awk -v room="$room" 'code ~ /^ *1\r?$/ && $0 ~ "^" room "\r?$" { found = 1 } { code = $0 } END { exit !found }' floorplan.dxf; then
    echo "smoke test: room $room was not numbered" >&2
    exit 1
  fi
done
head -c 5 floorplan.pdf | grep -q '%PDF-' || { echo "smoke test: floorplan.pdf is not a PDF" >&2; exit 1; }
# The second module, by name too: the numbered plan renumbered as the second floor.
zrxhost floorplan.dxf --load ZrxForRetally --script "$examples/renumber.scr" --save-as second.dxf >>transcript.txt
grep -q "^201\r\?$" second.dxf || { echo "smoke test: retally did not renumber the rooms" >&2; exit 1; }
man -w zrxhost
man -w zrxcad
desktop-file-validate /usr/share/applications/zrxcad.desktop
echo "smoke test: the installed package works"
