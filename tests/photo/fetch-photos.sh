#!/bin/sh
# Puts three real camera photographs from Debian's python3-skimage package
# (coffee.png, astronaut.png, chelsea.png; their licences are in the
# package's copyright file) into folder $1, unless they are there already.
# The package is downloaded and unpacked, not installed.
set -eu
dest=$1
photos="coffee.png astronaut.png chelsea.png"
missing=""
for photo in $photos; do [ -s "$dest/$photo" ] || missing=1; done
[ -z "$missing" ] && exit 0
mkdir -p "$dest"
data=/usr/lib/python3/dist-packages/skimage/data
if [ ! -d "$data" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  (cd "$work" && apt-get download python3-skimage >/dev/null && dpkg-deb -x python3-skimage_*.deb root)
  data=$work/root$data
fi
for photo in $photos; do cp "$data/$photo" "$dest/$photo"; done
