#!/bin/sh
# Builds the Debian packages (printer-driver-velta, velta-printer-app,
# velta-tools) with debhelper from a copy of the source tree and
# packaging/debian, and puts the .deb files into folder $1.
#   packaging/build-debs.sh OUT
# Needs the Build-Depends of packaging/debian/control plus debhelper and
# dpkg-dev; ./build.sh test installs them.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "$1" && cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The source as it stands: the files git knows (and new ones it does not
# ignore) in a checkout, everything but the build folders otherwise.
mkdir "$work/velta-1.0.0"
cd "$root"
if git rev-parse --git-dir >/dev/null 2>&1; then
  git ls-files -co --exclude-standard -z | xargs -0 tar -cf - | tar -xf - -C "$work/velta-1.0.0"
else
  tar -cf - --exclude='./build*' --exclude='./out' . | tar -xf - -C "$work/velta-1.0.0"
fi
cp -r packaging/debian "$work/velta-1.0.0/debian"

cd "$work/velta-1.0.0"
DEB_BUILD_OPTIONS=noautodbgsym dpkg-buildpackage -b -us -uc -j2 >"$work/build.log" 2>&1 || { tail -40 "$work/build.log"; exit 1; }
mv "$work"/*.deb "$out"/
ls "$out"/*.deb
