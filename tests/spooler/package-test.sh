#!/bin/bash
# The Debian package that CPack makes from the build: the filter and the PPD,
# root-owned with the modes cupsd accepts, and the Debian packages that the
# driver needs at run time among its dependencies. CPack runs the build's
# preinstall step first, which builds whatever is not built yet.
source "$(dirname "$0")/common.sh"

make_work_folder
if cpack --config "$VELTA_BUILD_DIR/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 &&
   deb=$(ls "$work"/package/rastertovelta_*.deb 2>/dev/null) && [ -n "$deb" ]; then
  listing=$(dpkg-deb -c "$deb" | awk '{print $1, $2, $6}')
  for entry in "-rwxr-xr-x root/root .$(cups-config --serverbin)/filter/rastertovelta" \
               "-rw-r--r-- root/root ./usr/share/ppd/velta/velta-k40.ppd"; do
    if grep -qxF -- "$entry" <<<"$listing"; then pass "the package holds $entry"
    else fail "the package" "no '$entry' in: $(tr '\n' ' ' <<<"$listing")"; fi
  done
  depends=$(dpkg-deb -f "$deb" Depends)
  for package in cups-daemon cups-filters ghostscript libcups2 libcupsimage2; do
    if grep -qE "(^|, )$package( |,|$)" <<<"$depends"; then pass "the package depends on $package"
    else fail "the package" "Depends [$depends] lacks $package"; fi
  done
  # apt-get resolves the package against this machine without installing it.
  if apt-get -s install "$deb" >"$work/apt.log" 2>&1 &&
     grep -q '^Inst rastertovelta ' "$work/apt.log"; then
    pass "apt-get would install $(basename "$deb")"
  else
    fail "apt-get install" "$(tail -3 "$work/apt.log")"
  fi
else
  fail "the package" "cpack made no .deb: $(tail -3 "$work/cpack.log")"
fi

finish
