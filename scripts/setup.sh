#!/bin/sh
# Installs the Debian packages the project needs, and only those not installed yet.
# Usage: setup.sh demo   what zrxhost and the module need to build and run (the demo)
#        setup.sh test   that, plus what the tests and benchmarks need (the default)
#        setup.sh fuzz   that, plus what the fuzz targets need (clang and its libFuzzer runtime)
#        setup.sh bench  that of test, plus what the comparisons use: the other DXF libraries, GNU time, LibreCAD
#        setup.sh portable  that of test, plus a Windows cross compiler (the module's sources checked by it)
#        setup.sh package   that of demo, plus the window's Qt and what makes and checks the Debian package
set -eu
DEMO_PACKAGES="g++ cmake ninja-build pkg-config make
libfreetype-dev libfontconfig-dev libcairo2-dev libpng-dev libedit-dev
fonts-dejavu-core fonts-wqy-microhei"
TEST_PACKAGES="libgtest-dev libgmock-dev libbenchmark-dev
python3 python3-ezdxf python3-matplotlib poppler-utils
qt6-base-dev qt6-translations-l10n xvfb xdotool xauth
librecad-data z88-data freecad-common openscad-testing-data"
FUZZ_PACKAGES="clang libclang-rt-dev"
BENCH_PACKAGES="libdxflib-dev libdime-dev time librecad"
PORTABLE_PACKAGES="g++-mingw-w64-x86-64"
PACKAGE_PACKAGES="qt6-base-dev dpkg-dev file man-db desktop-file-utils"

case "${1:-test}" in
  demo) PACKAGES="$DEMO_PACKAGES" ;;
  test) PACKAGES="$DEMO_PACKAGES $TEST_PACKAGES" ;;
  fuzz) PACKAGES="$DEMO_PACKAGES $TEST_PACKAGES $FUZZ_PACKAGES" ;;
  bench) PACKAGES="$DEMO_PACKAGES $TEST_PACKAGES $BENCH_PACKAGES" ;;
  portable) PACKAGES="$DEMO_PACKAGES $TEST_PACKAGES $PORTABLE_PACKAGES" ;;
  package) PACKAGES="$DEMO_PACKAGES $PACKAGE_PACKAGES" ;;
  *)
    echo "usage: $0 [demo|test|fuzz|bench|portable|package]" >&2
    exit 2
    ;;
esac

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
