#!/bin/bash
# Renders the bundled sample photo, samples/sample.jpg: the scene of
# photo-scene.ps at 1800 x 2400 pixels (3:4, portrait), drawn by Ghostscript.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
gs -q -dSAFER -dBATCH -dNOPAUSE -dW=1800 -dH=2400 -g1800x2400 -r72 \
   -sDEVICE=jpeg -dJPEGQ=88 -o "$here/sample.jpg" "$here/photo-scene.ps"
