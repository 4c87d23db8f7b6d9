#!/bin/bash
# The Debian packages that packaging/build-debs.sh makes with debhelper: what
# each holds, with the owners and modes cupsd accepts; their dependencies;
# lintian with no error and no warning; and apt-get resolving them against
# this machine.
source "$(dirname "$0")/common.sh"
root=$(cd "$(dirname "$0")/../.." && pwd)

make_work_folder
"$root/packaging/build-debs.sh" "$work/debs" >"$work/build.log" 2>&1 ||
  die "packaging/build-debs.sh failed: $(tail -5 "$work/build.log")"
arch=$(dpkg --print-architecture)
serverbin=$(cups-config --serverbin)

# Checks that package $1 holds the entries "MODE OWNER PATH" that follow.
check_listing() {
  local package=$1 deb listing entry
  shift
  deb=$work/debs/${package}_1.0.0_$arch.deb
  [ -f "$deb" ] || { fail "$package" "no $(basename "$deb")"; return; }
  listing=$(dpkg-deb -c "$deb" | awk '{print $1, $2, $6}')
  for entry in "$@"; do
    if grep -qxF -- "$entry" <<<"$listing"; then pass "$package holds $entry"
    else fail "$package" "no '$entry'"; fi
  done
}

check_listing printer-driver-velta \
  "-rwxr-xr-x root/root .$serverbin/filter/rastertovelta" \
  "-rwxr-xr-x root/root .$serverbin/filter/phototovelta" \
  "-rw-r--r-- root/root ./usr/share/ppd/velta/velta-k40.ppd" \
  "-rw-r--r-- root/root ./usr/share/man/man8/rastertovelta.8.gz" \
  "-rw-r--r-- root/root ./usr/share/man/man8/phototovelta.8.gz" \
  "-rw-r--r-- root/root ./usr/share/doc/printer-driver-velta/copyright"
check_listing velta-printer-app \
  "-rwxr-xr-x root/root ./usr/bin/velta-printer-app" \
  "-rw-r--r-- root/root ./lib/systemd/system/velta-printer-app.service" \
  "-rw-r--r-- root/root ./etc/pam.d/velta-printer-app" \
  "-rw-r--r-- root/root ./etc/default/velta-printer-app" \
  "-rw-r--r-- root/root ./usr/share/man/man1/velta-printer-app.1.gz"
check_listing velta-tools \
  "-rwxr-xr-x root/root ./usr/bin/velta-decode" \
  "-rwxr-xr-x root/root ./usr/bin/velta-mkraster" \
  "-rwxr-xr-x root/root ./usr/bin/velta-tables" \
  "-rw-r--r-- root/root ./usr/share/man/man1/velta-decode.1.gz"

depends=$(dpkg-deb -f "$work/debs/printer-driver-velta_1.0.0_$arch.deb" Depends)
for package in cups cups-filters ghostscript libcups2 libcupsimage2 libjpeg62-turbo liblcms2-2 libexif12; do
  if grep -qE "(^|, )$package( |,|$)" <<<"$depends"; then pass "printer-driver-velta depends on $package"
  else fail "printer-driver-velta" "Depends [$depends] lacks $package"; fi
done
if grep -q "deb-systemd-helper" <(dpkg-deb --ctrl-tarfile "$work/debs/velta-printer-app_1.0.0_$arch.deb" | tar -xO ./postinst); then
  pass "velta-printer-app enables its service on install"
else
  fail "velta-printer-app" "its postinst does not enable the service"
fi

# lintian leaves temporary files of its own behind; they go with the work folder.
if TMPDIR=$work lintian --fail-on error,warning --suppress-tags-from-file /dev/null "$work"/debs/*.deb >"$work/lintian.log" 2>&1; then
  pass "lintian finds no error and no warning ($(grep -c . "$work/lintian.log") other notes)"
else
  fail "lintian" "$(grep -E '^[EW]:' "$work/lintian.log" | head -10 | tr '\n' ' ')"
fi

# apt-get resolves the packages against this machine without installing them.
if apt-get -s install "$work"/debs/*.deb >"$work/apt.log" 2>&1 &&
   [ "$(grep -cE '^Inst (printer-driver-velta|velta-printer-app|velta-tools) ' "$work/apt.log")" -eq 3 ]; then
  pass "apt-get would install the three packages"
else
  fail "apt-get install" "$(tail -3 "$work/apt.log")"
fi

finish
