# Helpers shared by the spooler tests: a private folder the spooler accepts,
# a private filter directory, photos drawn by Ghostscript, and checks of the
# printer stream. Sourced by the test scripts, which set VELTA_* first:
#   VELTA_FILTER   the rastertovelta program
#   VELTA_PPD      the printer's PPD
#   VELTA_DECODE   the velta-decode program
#   VELTA_MARGINS  the raster-margins program
#   VELTA_SCENE    samples/photo-scene.ps

set -euo pipefail
umask 022

failures=0
checks=0

# Reports one check: pass NAME, or fail NAME WHY (counted, the test goes on).
pass() { checks=$((checks + 1)); echo "ok   $1"; }
fail() { checks=$((checks + 1)); failures=$((failures + 1)); echo "FAIL $1: $2"; }

# Ends the test with the count of checks; non-zero when any failed.
finish() {
  echo "$((checks - failures)) passed, $failures failed"
  [ "$failures" -eq 0 ]
}

# Says why the test cannot run and stops it.
die() { echo "FAIL setup: $*"; exit 1; }

# Makes the private work folder $work: root-owned, mode 0755 (filters run as
# user lp and must reach it), removed on exit after the cleanup hooks run.
cleanup_hooks=()
make_work_folder() {
  work=$(mktemp -d /tmp/velta-spooler.XXXXXX)
  chmod 0755 "$work"
  # Every hook runs, also after one that fails.
  trap 'for hook in "${cleanup_hooks[@]}"; do eval "$hook" || true; done; rm -rf "$work"' EXIT
  trap 'exit 143' TERM INT
}

# Builds a private ServerBin in $1: filter/ holds every system filter as a
# symbolic link, plus rastertovelta from $3 and phototovelta from the same
# folder: "copy" installs copies root-owned with mode 0755, "link" links
# installed files as they are. daemon/ is the system's, backend/ links the
# system's backends. cupsd and cupsfilter refuse a filter that root does not
# own or that is group- or world-writable.
make_server_bin() {
  local bin=$1 how=$2 filter=$3 serverbin program
  serverbin=$(cups-config --serverbin)
  mkdir -p "$bin/filter" "$bin/backend"
  for f in "$serverbin"/filter/*; do ln -s "$f" "$bin/filter/"; done
  for program in rastertovelta phototovelta; do
    rm -f "$bin/filter/$program"
    case $how in
      copy) install -o root -g root -m 0755 "$(dirname "$filter")/$program" "$bin/filter/$program" ;;
      link) ln -s "$(dirname "$filter")/$program" "$bin/filter/$program" ;;
    esac
  done
  for b in "$serverbin"/backend/*; do ln -s "$b" "$bin/backend/"; done
  ln -s "$serverbin/daemon" "$bin/daemon"
}

# Draws the scene as a photo of $1 x $2 pixels into $3; the format follows the
# name: .png, .jpg, or .pdf (a page of $1 x $2 points with the scene as
# vectors, as a PDF export of a photo would hold it).
make_photo() {
  local w=$1 h=$2 out=$3 device
  case $out in
    *.png) device=png16m ;;
    *.jpg) device=jpeg ;;
    *.pdf)
      gs -q -dSAFER -dBATCH -dNOPAUSE -dW="$w" -dH="$h" -dDEVICEWIDTHPOINTS="$w" \
         -dDEVICEHEIGHTPOINTS="$h" -dFIXEDMEDIA -sDEVICE=pdfwrite -o "$out" "$VELTA_SCENE"
      return ;;
    *) die "no photo format for $out" ;;
  esac
  gs -q -dSAFER -dBATCH -dNOPAUSE -dW="$w" -dH="$h" -g"${w}x${h}" -r72 -sDEVICE=$device \
     -o "$out" "$VELTA_SCENE"
}

# Prints one line per page of the printer stream $1, "WxH copies N MODE" with
# MODE normal or high-quality, after velta-decode has checked every command;
# fails (status 1) when it rejects the stream or when the file size is not the
# sum of 95 + 3 x W x H over the pages.
stream_pages() {
  local summary size expected=0 w h
  summary=$("$VELTA_DECODE" "$1") || { echo "velta-decode rejects $1: $summary" >&2; return 1; }
  while read -r w h; do
    expected=$((expected + 95 + 3 * w * h))
  done < <(sed -n 's/^page [0-9]*: \([0-9]*\)x\([0-9]*\),.*/\1 \2/p' <<<"$summary")
  size=$(stat -c %s "$1")
  if [ "$size" -ne "$expected" ]; then
    echo "$1 holds $size bytes, its pages need $expected" >&2
    return 1
  fi
  sed -n 's/^page [0-9]*: \([0-9]*x[0-9]*\), copies \([0-9]*\), \([a-z-]*\) mode.*/\1 copies \2 \3/p' \
    <<<"$summary"
}

# Prints the raster type the PPD hands rastertovelta: the source type of its
# cheapest cupsFilter line for the filter, the route documents take.
filter_input_type() {
  sed -n 's/^\*cupsFilter: *"\([^ ]*\) \([0-9]*\) rastertovelta".*/\2 \1/p' "$VELTA_PPD" |
    sort -n | head -n 1 | cut -d' ' -f2
}

# Runs the filter directly, as the spooler would: PPD in the environment,
# options $2, the raster file $1; the printer stream goes to $3, messages to
# $4. A JPEG or PNG goes to phototovelta instead, with copies $5 (default 1).
run_filter_directly() {
  local filter=$VELTA_FILTER
  case $1 in *.jpg | *.png) filter=$(dirname "$VELTA_FILTER")/phototovelta ;; esac
  PPD=$VELTA_PPD "$filter" 1 tester direct "${5:-1}" "$2" "$1" >"$3" 2>"$4"
}
