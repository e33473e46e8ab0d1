#!/bin/sh
# Installs the Debian packages the project needs, and only those not installed yet.
# `setup.sh fuzz` installs also what the fuzz targets need (clang and its libFuzzer runtime).
set -eu
PACKAGES="g++ cmake ninja-build pkg-config make
libfreetype-dev libfontconfig-dev libcairo2-dev libedit-dev
libgtest-dev libgmock-dev libbenchmark-dev
fonts-dejavu-core fonts-wqy-microhei
python3 python3-ezdxf
librecad-data z88-data freecad-common"
FUZZ_PACKAGES="clang libclang-rt-dev"
if [ "${1:-}" = "fuzz" ]; then PACKAGES="$PACKAGES $FUZZ_PACKAGES"; fi

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $missing
fi
