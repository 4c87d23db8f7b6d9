#!/bin/bash
# The filter built for the ARM print servers (64-bit and 32-bit Raspberry Pi
# OS) with Debian's cross toolchains, run under qemu-user: its pure tests (the
# worked examples, every kernel against the plain reference) and, through the
# native test programs, its bytes against the worked examples and the
# independent reference on whole pages with every option, and the photo
# filter's against the native photo placing, on one and two threads.
#
#   tests/cross/run-under-qemu.sh NATIVE_BUILD [TRIPLE...]
#
# Programs run with Debian's multiarch runtime (libc6:arm64, libc6:armhf and
# the -dev packages' libraries), the same C library the print servers have. The
# cross toolchain's own copy in /usr/TRIPLE (qemu's -L) is not used: under
# qemu-user 7.2 any program that starts a thread hangs (arm64) or crashes
# (armhf) with it.
set -eu
cd "$(dirname "$0")/../.."
native=$(realpath "$1")
shift
triples=${*:-aarch64-linux-gnu arm-linux-gnueabihf}

status=0
for triple in $triples; do
  case $triple in
    aarch64-*) qemu=qemu-aarch64 name=arm64 ;;
    arm-*) qemu=qemu-arm name=armhf ;;
    *) echo "unknown target $triple" >&2; exit 2 ;;
  esac
  if ! command -v "$triple-g++" > /dev/null || ! command -v $qemu > /dev/null; then
    echo "SKIP $name: $triple-g++ or $qemu is not installed"
    continue
  fi
  build=build-$name
  log=$build/cross-build.log
  echo "== $name: cross build in $build"
  mkdir -p "$build"
  cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/cross-toolchain.cmake -DVELTA_TARGET="$triple" \
    -DVELTA_FILTER_ONLY=ON > "$log" 2>&1 || { cat "$log"; exit 1; }
  cmake --build "$build" -j2 --target rastertovelta phototovelta velta_render_tests velta_color_tests >> "$log" 2>&1 ||
    { tail -40 "$log"; exit 1; }
  if grep -q "warning:" "$log"; then
    grep "warning:" "$log"
    status=1
  fi

  echo "== $name: render and colour tests under $qemu"
  # Death tests start the program again, which qemu-user cannot follow.
  for program in render/velta_render_tests color/velta_color_tests; do
    $qemu "$build/tests/$program" --gtest_brief=1 \
      --gtest_filter='-CpuVariant.PortableOnOneThreadFromTheEnvironmentReachesEveryStage:RandomSource.UnseededGeneratorStartsWithSeed5489' ||
      status=1
  done

  for threads in 1 2; do
    for program in rastertovelta phototovelta; do
      printf '#!/bin/sh\nVELTA_THREADS=%s exec %s %s "$@"\n' "$threads" "$(command -v $qemu)" \
        "$(realpath "$build")/filter/$program" > "$(realpath "$build")/$program-under-qemu-$threads"
      chmod +x "$(realpath "$build")/$program-under-qemu-$threads"
    done
    wrapper=$(realpath "$build")/rastertovelta-under-qemu-$threads
    # The photo filter's pages are compared with the native velta-mkraster
    # --photo sheet through the ARM rastertovelta.
    export VELTA_TEST_PHOTO_FILTER=$(realpath "$build")/phototovelta-under-qemu-$threads
    echo "== $name: the filters' bytes on $threads thread(s), through the native tests"
    VELTA_TEST_FILTER=$wrapper "$native/tests/e2e/velta_e2e_tests" --gtest_brief=1 || status=1
    VELTA_TEST_FILTER=$wrapper "$native/tests/filter/filter_tests" --gtest_brief=1 \
      --gtest_filter='-*Cancel*:*Sigterm*:*SIGTERM*' || status=1
  done
done
exit $status
