#!/bin/bash
# The filters under cupsfilter, the spooler's conversion chain without a
# daemon: JPEG and PNG photos go straight to phototovelta and a PDF through
# gstoraster to rastertovelta, each one full page equal to the filter run
# directly (on the photo, or on the raster the chain hands it), with no
# "ERROR:" line anywhere in the chain; every photo shape fills a 6x8 or a 6x4
# page; job options reach the filters.
source "$(dirname "$0")/common.sh"

make_work_folder
make_server_bin "$work/bin" copy "$VELTA_FILTER"
echo "ServerBin $work/bin" >"$work/cups-files.conf"
# The raster type the PPD hands rastertovelta on the cheapest route.
filter_input=$(filter_input_type)
[ -n "$filter_input" ] || die "the PPD names no cupsFilter line for rastertovelta"

# Runs the whole chain to the printer for input $1 with cupsfilter arguments
# $2...; the stream goes to $work/chain.prn, the messages to $work/chain.log.
to_printer() {
  local input=$1; shift
  cupsfilter -c "$work/cups-files.conf" -p "$VELTA_PPD" -e -m printer/velta "$@" "$input" \
    >"$work/chain.prn" 2>"$work/chain.log"
}

# Runs the chain up to the raster the filter receives; into $work/chain.ras.
to_raster() {
  local input=$1; shift
  cupsfilter -c "$work/cups-files.conf" -p "$VELTA_PPD" -e -m "$filter_input" "$@" "$input" \
    >"$work/chain.ras" 2>"$work/raster.log"
}

# Checks that input $1, printed with the option string $2 (and cupsfilter
# arguments $3...), comes out as the pages $expect_pages with no "ERROR:" line
# in the chain and equals the filter run directly with the same options: on
# the photo itself, or on the chain's raster for other documents.
check_print() {
  local name=$1 input=$2 options=$3; shift 3
  local args=() opt pages copies=1 direct_input=$input
  for opt in $options; do args+=(-o "$opt"); done
  [ "${1:-}" = -n ] && copies=$2
  if ! to_printer "$input" "${args[@]}" "$@"; then
    fail "$name" "cupsfilter failed: $(grep -m3 -E 'ERROR|crashed' "$work/chain.log" | tr '\n' ' ')"
    return
  fi
  if grep -q '^ERROR:' "$work/chain.log"; then
    fail "$name" "the chain logged $(grep -m1 '^ERROR:' "$work/chain.log")"; return
  fi
  if ! pages=$(stream_pages "$work/chain.prn"); then
    fail "$name" "the printer stream is not well formed"; return
  fi
  if [ "$pages" != "$expect_pages" ]; then
    fail "$name" "pages [$pages], expected [$expect_pages]"; return
  fi
  if [[ $input != *.jpg && $input != *.png ]]; then
    to_raster "$input" "${args[@]}" "$@" || { fail "$name" "no raster from the chain"; return; }
    direct_input=$work/chain.ras copies=1
  fi
  run_filter_directly "$direct_input" "$options" "$work/direct.prn" "$work/direct.log" "$copies" ||
    { fail "$name" "the direct run failed"; return; }
  if ! cmp -s "$work/chain.prn" "$work/direct.prn"; then
    fail "$name" "output differs from the direct run"; return
  fi
  pass "$name"
}

echo "# Photos and a PDF through the chain"
make_photo 2600 1950 "$work/landscape-4x3.png"
make_photo 1950 2600 "$work/portrait-3x4.jpg"
make_photo 576 432 "$work/landscape-4x3.pdf"
expect_pages="1800x2492 copies 1 normal"
check_print "a 4:3 PNG is one full 6x8 page" "$work/landscape-4x3.png" "print-scaling=fill"
check_print "a 3:4 JPEG is one full 6x8 page" "$work/portrait-3x4.jpg" "print-scaling=fill"
check_print "a 4:3 PDF is one full 6x8 page" "$work/landscape-4x3.pdf" "print-scaling=fill"
expect_pages="1800x1200 copies 1 normal"
check_print "a 3:4 JPEG on 6x4 is one full 1800 x 1200 page" "$work/portrait-3x4.jpg" \
  "print-scaling=fill PageSize=6x4"
check_print "media=4x6 prints a PDF on the 6x4 sheet" "$work/landscape-4x3.pdf" "print-scaling=fill media=4x6"
expect_pages="1800x2492 copies 3 normal"
check_print "three copies of a JPEG are one page whose copies command says 3" \
  "$work/portrait-3x4.jpg" "print-scaling=fill" -n 3
check_print "three copies of a PDF are one page whose copies command says 3" \
  "$work/landscape-4x3.pdf" "print-scaling=fill" -n 3

echo "# Every photo shape fills the page"
# The sheet the photo route hands the page road, as velta-mkraster --photo
# writes it: no white line along any edge.
for shape in "2600 1950 4:3" "1950 2600 3:4" "2700 1800 3:2" "1800 2700 2:3" "2500 2500 1:1"; do
  read -r w h label <<<"$shape"
  make_photo "$w" "$h" "$work/photo.jpg"
  for size in "6x8 1800x2492" "6x4 1800x1200"; do
    read -r sheet dots <<<"$size"
    name="a $label photo fills a $sheet page"
    if ! "$VELTA_MKRASTER" --photo "$work/photo.jpg" --media "$sheet" -o "$work/placed.ras" 2>"$work/mk.log"; then
      fail "$name" "velta-mkraster --photo failed: $(cat "$work/mk.log")"; continue
    fi
    if ! measured=$("$VELTA_MARGINS" "$work/placed.ras"); then
      fail "$name" "unreadable raster"; continue
    fi
    # "page 1: WxH copies N white top T bottom B left L right R", one page.
    pattern='^page 1: ([0-9]+x[0-9]+) copies [0-9]+ white top ([0-9]+) bottom ([0-9]+) left ([0-9]+) right ([0-9]+)$'
    if ! [[ $measured =~ $pattern ]] || [ "${BASH_REMATCH[1]}" != "$dots" ]; then
      fail "$name" "raster [$measured], expected one page of $dots"
    elif ((BASH_REMATCH[2] + BASH_REMATCH[3] + BASH_REMATCH[4] + BASH_REMATCH[5] > 0)); then
      fail "$name" "white edges: $measured"
    else
      pass "$name"
    fi
  done
done

echo "# Job options reach the filter"
# Returns success when the chain's log holds the filter's line $1 exactly.
logged() { grep -qxF "$1" "$work/chain.log"; }
expect_pages="1800x2492 copies 1 high-quality"
options="print-scaling=fill stpBrightness=-7 stpResize=+20 stpSharpness=3 DirectMap PrintMode=true"
check_print "numbers and flags change the print as in a direct run" "$work/portrait-3x4.jpg" "$options"
for line in "DEBUG: stp_brightness(1)=-7" "DEBUG: stp_resize(1)=20" "DEBUG: stp_sharpness(1)=3" \
            "DEBUG: directmap(1)=1 val=true" "DEBUG: high_quality(1)=1 val=true" \
            "DEBUG: stp_contrast(2)=0" "DEBUG: monochrome(2)=0"; do
  if logged "$line"; then pass "the filter logs '$line'"; else fail "option line" "no '$line'"; fi
done
cp "$work/chain.prn" "$work/with-options.prn"
expect_pages="1800x2492 copies 1 normal"
check_print "noDirectMap and Monochrome=true reach the filter" "$work/portrait-3x4.jpg" \
  "print-scaling=fill noDirectMap Monochrome=true"
for line in "DEBUG: directmap(1)=0 val=false" "DEBUG: monochrome(1)=1 val=true"; do
  if logged "$line"; then pass "the filter logs '$line'"; else fail "option line" "no '$line'"; fi
done
to_printer "$work/portrait-3x4.jpg" -o print-scaling=fill
if cmp -s "$work/chain.prn" "$work/with-options.prn"; then
  fail "options change the bytes" "the print with options equals the one without"
else
  pass "options change the bytes"
fi

finish
