#!/bin/sh
# Regenerates velta-k40.ppd from velta-k40.drv with the CUPS PPD compiler.
set -e
cd "$(dirname "$0")"
out=$(mktemp -d)
ppdc -d "$out" velta-k40.drv
mv "$out/velta-k40.ppd" velta-k40.ppd
rmdir "$out"
