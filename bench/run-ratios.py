#!/usr/bin/env python3
"""Times rastertovelta against velta-baseline on whole 6 x 8 inch pages of real photographs.

Usage: bench/run-ratios.py [BUILD_DIR] [PAIRS]   (defaults: build, 11)

The pages: three real camera photographs from Debian's python3-skimage package
(coffee.png, astronaut.png, chelsea.png; tests/photo/fetch-photos.sh fetches
them), each placed on the 1800 x 2492 sheet by the photo route (velta-mkraster
--photo, fill), and velta-mkraster's synthetic photo-like page as a last line.

For each page it runs PAIRS rounds; in every round each case is one pair, the
baseline then the filter, and each single colour option one triple, the
baseline then the default job and the option's job side by side. Every
program's output is drained through a pipe by a reader process (cat), as the
spooler's backend drains it. It prints the median of the pairwise wall-clock
ratios with their range, and for single options the median of what the option
adds to the default job, as a share of the baseline. Absolute times on a shared machine drift;
a ratio between neighbouring runs does not. Finally the peak resident memory of
a default page relative to the page buffer plus the send buffer.
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build"))
PAIRS = int(sys.argv[2]) if len(sys.argv) > 2 else 11
WIDTH, HEIGHT = 1800, 2492
PPD = os.path.join(ROOT, "ppd", "velta-k40.ppd")
PHOTOS = os.path.join(BUILD, "tests", "photo", "photos")

FILTER = os.path.join(BUILD, "filter", "rastertovelta")
BASELINE = os.path.join(BUILD, "bench", "velta-baseline")
MKRASTER = os.path.join(BUILD, "tools", "mkraster", "velta-mkraster")

EVERY_STAGE = ("stpBrightness=2 stpContrast=2 stpSaturation=3 stpRed=1 stpGreen=-1 stpBlue=2 "
               "DirectMap=true PrintMode=true stpSharpness=2")

# (name, target ratio, job options, extra environment)
CASES = [
    ("default settings (PPD defaults, sharpening on)", 1.3, "", {}),
    ("sharpening off (stpSharpness=-4)", 1.25, "stpSharpness=-4", {}),
    ("every stage on, resize -10", 1.8, EVERY_STAGE + " stpResize=-10", {}),
    ("every stage on, resize +10", 1.8, EVERY_STAGE + " stpResize=10", {}),
    ("portable build, one thread, defaults", 4.0, "", {"VELTA_ISA": "portable", "VELTA_THREADS": "1"}),
]

# One colour option alone: (name, target share of the baseline it may add, job options)
ADDED = [
    ("DirectMap alone", 0.1, "DirectMap=true"),
    ("brightness 2 alone", 0.1, "stpBrightness=2"),
    ("contrast 2 alone", 0.1, "stpContrast=2"),
    ("saturation 3 alone", 0.1, "stpSaturation=3"),
    ("red balance 1 alone", 0.1, "stpRed=1"),
    ("green balance -1 alone", 0.1, "stpGreen=-1"),
    ("blue balance 2 alone", 0.1, "stpBlue=2"),
    ("monochrome alone", 0.1, "Monochrome=true"),
]


def drained(argv, env):
    """Runs argv with its output drained through a pipe by cat; returns the
    wall-clock seconds until both ended."""
    with open(os.devnull, "wb") as null:
        start = time.perf_counter()
        program = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=null, env=env)
        reader = subprocess.Popen(["cat"], stdin=program.stdout, stdout=null)
        program.stdout.close()
        status = program.wait()
        reader.wait()
        elapsed = time.perf_counter() - start
    if status != 0:
        sys.exit(f"{argv[0]} failed with status {status}")
    return elapsed


def peak_rss_kib(argv, env):
    """Returns the peak resident set of argv in KiB, measured by /usr/bin/time
    (a child forked from this script would also count the script's pages)."""
    with open(os.devnull, "wb") as null:
        result = subprocess.run(["/usr/bin/time", "-f", "%M"] + argv, stdout=null, stderr=subprocess.PIPE, env=env)
    return int(result.stderr.decode().strip().splitlines()[-1])


def verdict(value, target):
    return "met" if value <= target else "MISSED"


def time_page(title, raster, base_env):
    """Runs every case on one page and prints its lines."""
    ratios = {name: [] for name, _, _, _ in CASES}
    added = {name: [] for name, _, _ in ADDED}
    baselines = []
    filter_argv = lambda options: [FILTER, "1", "bench", "photo", "1", options, raster]
    for round_number in range(PAIRS):
        shift = round_number % len(CASES)
        for name, _, options, extra in CASES[shift:] + CASES[:shift]:
            env = dict(base_env, **extra)
            base = drained([BASELINE, raster], env)
            filt = drained(filter_argv(options), env)
            baselines.append(base)
            ratios[name].append(filt / base)
        # A single option against the default job right beside it, the
        # baseline just before: what the option adds, as a share of the
        # baseline, with the machine's drift between rounds left out. The
        # two filter runs swap places every round.
        for name, _, options in ADDED:
            base = drained([BASELINE, raster], base_env)
            runs = [("", "default"), (options, "option")]
            times = {which: drained(filter_argv(opts), base_env)
                     for opts, which in (runs if round_number % 2 == 0 else runs[::-1])}
            added[name].append((times["option"] - times["default"]) / base)
    print(f"{title}: baseline median {statistics.median(baselines) * 1000:.1f} ms per page")
    for name, target, _, _ in CASES:
        values = ratios[name]
        ratio = statistics.median(values)
        print(f"  {name:46s} {ratio:5.2f} x  (target <= {target:.2f}: {verdict(ratio, target)}; "
              f"pair ratios {min(values):.2f} to {max(values):.2f})")
    for name, target, _ in ADDED:
        values = added[name]
        share = statistics.median(values)
        print(f"  {name:46s} {share:+5.2f} x  (target <= +{target:.2f}: {verdict(share, target)}; "
              f"rounds {min(values):+.2f} to {max(values):+.2f})")


def main():
    for program in (FILTER, BASELINE, MKRASTER, "/usr/bin/time"):
        if not os.access(program, os.X_OK):
            sys.exit(f"missing {program}: build the project in {BUILD} first")
    subprocess.run([os.path.join(ROOT, "tests", "photo", "fetch-photos.sh"), PHOTOS], check=True)
    with tempfile.TemporaryDirectory() as scratch:
        pages = []
        for photo in ("coffee.png", "astronaut.png", "chelsea.png"):
            raster = os.path.join(scratch, photo + ".ras")
            subprocess.run([MKRASTER, "--photo", os.path.join(PHOTOS, photo), "-o", raster], check=True)
            pages.append((f"{photo} (python3-skimage) placed on the sheet", raster))
        synthetic = os.path.join(scratch, "synthetic.ras")
        subprocess.run([MKRASTER, "--pattern", "photo", "--width", str(WIDTH), "--height", str(HEIGHT),
                        "-o", synthetic], check=True)
        pages.append(("synthetic photo-like page (velta-mkraster --pattern photo)", synthetic))

        base_env = dict(os.environ, PPD=PPD)
        for name in ("VELTA_ISA", "VELTA_THREADS"):
            base_env.pop(name, None)
        print(f"{os.cpu_count()} CPUs, load average {os.getloadavg()[0]:.2f}; {PAIRS} rounds of alternating "
              f"pairs per page, output drained through a pipe")
        for title, raster in pages:
            time_page(title, raster, base_env)
        print(f"load average now {os.getloadavg()[0]:.2f}")

        # Peak memory on the first photo: the filter's peak resident set
        # against the page buffer plus the send buffer; the same for the
        # baseline; and both with the resident set of a job without pages
        # (program and shared libraries) taken off.
        raster = pages[0][1]
        buffers = (3 * WIDTH + 3) // 4 * 4 * HEIGHT + 3 * WIDTH * HEIGHT
        empty = os.path.join(scratch, "empty.ras")
        open(empty, "wb").close()
        filter_rss = peak_rss_kib([FILTER, "1", "bench", "photo", "1", "", raster], base_env)
        baseline_rss = peak_rss_kib([BASELINE, raster], base_env)
        floor_rss = peak_rss_kib([FILTER, "1", "bench", "photo", "1", "", empty], base_env)
        page_ratio = (filter_rss - floor_rss) * 1024 / buffers
        print(f"peak memory, default page: {filter_rss * 1024 / buffers:.2f} x page + send buffer "
              f"({filter_rss / 1024:.1f} MiB for {buffers / 2**20:.1f} MiB of buffers); baseline "
              f"{baseline_rss * 1024 / buffers:.2f} x; without the {floor_rss / 1024:.1f} MiB of a job with "
              f"no page: {page_ratio:.2f} x")


if __name__ == "__main__":
    main()
