#!/bin/sh
# ./build.sh sample   install what is missing, build, print the sample photo through CUPS
#                     to out/sample.prn with its preview in out/page1-preview.png
# ./build.sh test     install what is missing, build, run all tests (plain and ASan+UBSan),
#                     and on x86-64 the filter cross-built for arm64 and armhf under qemu-user
set -eu
cd "$(dirname "$0")"

PACKAGES="build-essential cmake g++ libgtest-dev libbenchmark-dev libcups2-dev libcupsimage2-dev
libjpeg-dev libjpeg-turbo-progs liblcms2-dev libexif-dev icc-profiles-free debhelper dpkg-dev lintian
cups cups-filters cups-client cups-bsd cups-ppdc cups-ipp-utils libpng-dev libpappl-dev libpam0g-dev pkg-config
iproute2 passwd
curl imagemagick ghostscript poppler-utils valgrind clang-14 libclang-rt-14-dev libfuzzer-14-dev"

# On x86-64 the tests also cross-build the filter for the ARM print servers and
# run it under qemu-user, with Debian's multiarch libraries.
CROSS_ARCHITECTURES="arm64 armhf"
CROSS_PACKAGES="g++-aarch64-linux-gnu g++-arm-linux-gnueabihf qemu-user
libcups2-dev:arm64 libcups2-dev:armhf libpng-dev:arm64 libpng-dev:armhf libgtest-dev:arm64 libgtest-dev:armhf
libjpeg-dev:arm64 libjpeg-dev:armhf liblcms2-dev:arm64 liblcms2-dev:armhf libexif-dev:arm64 libexif-dev:armhf"
# Installs the Debian packages that are not installed yet (apt-get update first).
install_missing() {
  missing=""
  for package in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing="$missing $package"
  done
  if [ -n "$missing" ]; then
    if [ "$(uname -m)" = x86_64 ]; then
      for architecture in $CROSS_ARCHITECTURES; do dpkg --add-architecture "$architecture"; done
    fi
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y $missing
  fi
}

# Configures and builds folder $1 with the extra CMake arguments that follow.
build() {
  folder=$1
  shift
  cmake -S . -B "$folder" "$@"
  cmake --build "$folder" -j2
}

case "${1:-}" in
  sample)
    install_missing
    build build
    samples/print-sample.sh build out
    ;;
  test)
    if [ "$(uname -m)" = x86_64 ]; then
      PACKAGES="$PACKAGES $CROSS_PACKAGES"
    fi
    install_missing
    build build
    (cd build && ctest --output-on-failure -j2)
    build build-asan -DVELTA_SANITIZE=ON
    (cd build-asan && ctest --output-on-failure -j2)
    fuzz/run 60
    if [ "$(uname -m)" = x86_64 ]; then
      tests/cross/run-under-qemu.sh build
    fi
    ;;
  *)
    echo "usage: $0 sample|test" >&2
    exit 2
    ;;
esac
