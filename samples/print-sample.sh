#!/bin/bash
# Prints the bundled sample photo through the real CUPS conversion chain and
# shows what the printer would receive:
#   samples/sample.jpg -> cupsfilter with ppd/velta-k40.ppd (the photo route:
#   phototovelta decodes, places and prints it in one process) -> OUT/sample.prn
#   velta-decode --png OUT OUT/sample.prn -> OUT/page1-preview.png and the
#   three head data planes OUT/page1-plane0..2.png
# Usage: samples/print-sample.sh [BUILD_DIR [OUT_DIR]]   (default build, out)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out=${2:-$root/out}
mkdir -p "$out"

VELTA_FILTER=$build/filter/rastertovelta
decode=$build/tools/decode/velta-decode
ppd=$root/ppd/velta-k40.ppd
for f in "$VELTA_FILTER" "$decode"; do
  [ -x "$f" ] || { echo "missing $f: build the project first" >&2; exit 1; }
done

# cupsfilter runs the filter from a folder of its own that root owns, mode 0755.
source "$root/tests/spooler/common.sh"
make_work_folder
make_server_bin "$work/bin" copy "$VELTA_FILTER"
echo "ServerBin $work/bin" >"$work/cups-files.conf"

# The queue default of an installed printer: the photo fills the whole page.
if ! cupsfilter -c "$work/cups-files.conf" -p "$ppd" -e -m printer/velta-k40 \
     -o print-scaling=fill "$root/samples/sample.jpg" >"$out/sample.prn" 2>"$out/sample.log"; then
  echo "cupsfilter failed; its messages are in $out/sample.log" >&2
  exit 1
fi
echo "$out/sample.prn: $(stat -c %s "$out/sample.prn") bytes for the printer"
"$decode" --png "$out" "$out/sample.prn"
echo "preview: $out/page1-preview.png (head data planes: $out/page1-plane0.png .. plane2.png)"
