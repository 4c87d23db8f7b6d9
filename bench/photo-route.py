#!/usr/bin/env python3
"""Times the photo route, JPEG to printer data through cupsfilter and the PPD.

Usage: bench/photo-route.py [BUILD_DIR] [PAIRS] [OLD_CHAIN_RUNS]   (defaults: build, 11, 3)

The photos are real photographs from Debian's python3-skimage package
(tests/photo/fetch-photos.sh puts them in BUILD_DIR/tests/photo/photos):
coffee.png enlarged with ImageMagick to 6000 x 4000 pixels (24 megapixels)
with sensor-like noise added, saved as a quality-92 JPEG, as a camera would
write it; and the same photo at the sheet's 1800 x 2492 pixels.

For each photo it alternates PAIRS times between the floor and the route and
prints the median of the pairwise wall-clock ratios with their range:
  floor: djpeg decoding the whole JPEG (libjpeg-turbo, no scaling), then
         velta-baseline reading the placed 6x8 page as a CUPS raster and
         writing 95 + 3 x W x H bytes;
  route: cupsfilter with ppd/velta-k40.ppd from the JPEG to printer data.
Every program's output is drained through a pipe by a reader process (cat),
as the spooler's backend drains it. Then the old chain (imagetopdf, pdftopdf,
gstoraster, rastertovelta: the PPD without its photo lines) OLD_CHAIN_RUNS
times against the same floor, and the peak resident memory of phototovelta on
the 24-megapixel JPEG.
"""
import os
import runpy
import shutil
import statistics
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build"))
PAIRS = int(sys.argv[2]) if len(sys.argv) > 2 else 11
OLD_RUNS = int(sys.argv[3]) if len(sys.argv) > 3 else 3
PPD = os.path.join(ROOT, "ppd", "velta-k40.ppd")
PHOTOS = os.path.join(BUILD, "tests", "photo", "photos")

RASTER_FILTER = os.path.join(BUILD, "filter", "rastertovelta")
PHOTO_FILTER = os.path.join(BUILD, "filter", "phototovelta")
BASELINE = os.path.join(BUILD, "bench", "velta-baseline")
MKRASTER = os.path.join(BUILD, "tools", "mkraster", "velta-mkraster")

# Timing through a drained pipe is run-ratios.py's; loaded without its arguments.
arguments, sys.argv = sys.argv, sys.argv[:1]
drained = runpy.run_path(os.path.join(ROOT, "bench", "run-ratios.py"), run_name="run_ratios")["drained"]
sys.argv = arguments


def server_bin(folder):
    """A private ServerBin for cupsfilter: the system's filters plus ours,
    root-owned and mode 0755 as cupsfilter demands."""
    system = subprocess.run(["cups-config", "--serverbin"], capture_output=True, text=True).stdout.strip()
    os.makedirs(os.path.join(folder, "filter"))
    for name in os.listdir(os.path.join(system, "filter")):
        os.symlink(os.path.join(system, "filter", name), os.path.join(folder, "filter", name))
    for program in (RASTER_FILTER, PHOTO_FILTER):
        target = os.path.join(folder, "filter", os.path.basename(program))
        if os.path.lexists(target):
            os.remove(target)
        shutil.copy(program, target)
        os.chmod(target, 0o755)
    conf = os.path.join(folder, "cups-files.conf")
    with open(conf, "w") as out:
        out.write(f"ServerBin {folder}\n")
    return conf


def ratios(name, route_argv, floor_argvs, pairs, target=None):
    """Alternates floor and route pairs times and prints the median ratio."""
    values, floors = [], []
    for _ in range(pairs):
        floor = sum(drained(argv, None) for argv in floor_argvs)
        route = drained(route_argv, None)
        floors.append(floor)
        values.append(route / floor)
    ratio = statistics.median(values)
    verdict = "" if target is None else f"target <= {target:.1f}: {'met' if ratio <= target else 'MISSED'}; "
    print(f"{name:52s} {ratio:6.2f} x  ({verdict}pair ratios {min(values):.2f} to {max(values):.2f}; "
          f"floor median {statistics.median(floors) * 1000:.0f} ms)")


def main():
    for program in (RASTER_FILTER, PHOTO_FILTER, BASELINE, MKRASTER, "/usr/bin/time"):
        if not os.access(program, os.X_OK):
            sys.exit(f"missing {program}: build the project in {BUILD} first")
    subprocess.run([os.path.join(ROOT, "tests", "photo", "fetch-photos.sh"), PHOTOS], check=True)
    with tempfile.TemporaryDirectory() as scratch:
        os.chmod(scratch, 0o755)
        conf = server_bin(os.path.join(scratch, "bin"))
        camera = os.path.join(scratch, "camera.jpg")
        sheet = os.path.join(scratch, "sheet.jpg")
        source = os.path.join(PHOTOS, "coffee.png")
        subprocess.run(["convert", source, "-filter", "Lanczos", "-resize", "6000x4000!", "-seed", "1",
                        "-attenuate", "0.4", "+noise", "Gaussian", "-quality", "92", camera], check=True)
        subprocess.run(["convert", camera, "-resize", "1800x2492^", "-gravity", "center", "-extent", "1800x2492",
                        "-quality", "92", sheet], check=True)
        old_ppd = os.path.join(scratch, "old-chain.ppd")
        with open(PPD) as new, open(old_ppd, "w") as old:
            old.writelines(line for line in new if "phototovelta" not in line)

        print(f"{os.cpu_count()} CPUs, load average {os.getloadavg()[0]:.2f}; {PAIRS} alternating pairs per photo")
        for name, photo, target in (("24-megapixel camera JPEG (6000 x 4000)", camera, 3.0),
                                    ("sheet-sized JPEG (1800 x 2492)", sheet, 2.0)):
            placed = os.path.join(scratch, "placed.ras")
            subprocess.run([MKRASTER, "--photo", photo, "-o", placed], check=True)
            floor = [["djpeg", "-outfile", "/dev/stdout", photo], [BASELINE, placed]]
            route = ["cupsfilter", "-c", conf, "-p", PPD, "-e", "-m", "printer/velta", photo]
            ratios(f"{name}, photo route", route, floor, PAIRS, target)
            old_route = ["cupsfilter", "-c", conf, "-p", old_ppd, "-e", "-m", "printer/velta", photo]
            ratios(f"{name}, old chain", old_route, floor, OLD_RUNS)

        usage = subprocess.run(["/usr/bin/time", "-f", "%M", PHOTO_FILTER, "1", "bench", "photo", "1", "", camera],
                               stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=dict(os.environ, PPD=PPD))
        peak = int(usage.stderr.decode().strip().splitlines()[-1]) / 1024
        print(f"{'peak memory, phototovelta, 24-megapixel JPEG':52s} {peak:6.1f} MiB "
              f"(target <= 150: {'met' if peak <= 150 else 'MISSED'})")


if __name__ == "__main__":
    main()
