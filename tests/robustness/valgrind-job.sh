#!/bin/sh
# Runs a three-page job with every option on under valgrind's memcheck, once
# enlarging and once reducing the picture: no invalid access, no leak.
# Usage: valgrind-job.sh RASTERTOVELTA VELTA_MKRASTER PPD
# Exits 77 (skipped) when valgrind is not installed.
set -eu
filter=$1
mkraster=$2
ppd=$3
if ! command -v valgrind >/dev/null 2>&1; then
  echo "valgrind is not installed (apt-get install valgrind): skipped"
  exit 77
fi
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
"$mkraster" --width 300 --height 400 --pages 3 --copies 1,2,150 --pattern photo -o "$folder/job.ras"
all="stpBrightness=10 stpContrast=8 stpSaturation=6 stpSharpness=3 stpRed=4 stpGreen=-4 stpBlue=2"
all="$all DirectMap=true Monochrome=true PrintMode=true"
for resize in 25 -25; do
  PPD=$ppd valgrind --quiet --error-exitcode=99 --leak-check=full --show-leak-kinds=definite,indirect,possible \
    --errors-for-leak-kinds=definite,indirect,possible \
    "$filter" 1 valgrind job 1 "$all stpResize=$resize" "$folder/job.ras" \
    > "$folder/job.prn" 2> "$folder/job.log" || {
    status=$?
    grep -v '^DEBUG\|^INFO\|^PAGE' "$folder/job.log" >&2
    echo "stpResize=$resize: valgrind or the filter failed with status $status" >&2
    exit 1
  }
  # Three pages of 300 x 400: 95 + 360000 bytes each.
  size=$(wc -c < "$folder/job.prn")
  if [ "$size" -ne $((3 * (95 + 300 * 400 * 3))) ]; then
    echo "stpResize=$resize: $size bytes of printer data, expected three whole pages" >&2
    exit 1
  fi
  echo "stpResize=$resize: three pages, no invalid access, no leak"
done
