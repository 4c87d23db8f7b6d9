#!/usr/bin/env python3
"""Times rastertovelta against velta-baseline on a photo-like 6 x 8 inch page.

Usage: bench/run-ratios.py [BUILD_DIR] [PAIRS]   (defaults: build, 9)

Builds a 1800 x 2492 raster with velta-mkraster, then for each case runs the
baseline and the filter alternately PAIRS times (output to /dev/null) and
prints the median of the pairwise time ratios. Absolute times on a shared
machine drift; a ratio between neighbouring runs does not. Finally it prints
the peak resident memory of a default page relative to the page buffer plus
the send buffer.
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build"))
PAIRS = int(sys.argv[2]) if len(sys.argv) > 2 else 9
WIDTH, HEIGHT = 1800, 2492
PPD = os.path.join(ROOT, "ppd", "velta-k40.ppd")

FILTER = os.path.join(BUILD, "filter", "rastertovelta")
BASELINE = os.path.join(BUILD, "bench", "velta-baseline")
MKRASTER = os.path.join(BUILD, "tools", "mkraster", "velta-mkraster")

EVERY_STAGE = ("stpBrightness=2 stpContrast=2 stpSaturation=3 stpRed=1 stpGreen=-1 stpBlue=2 "
               "DirectMap=true PrintMode=true stpSharpness=2")

# (name, target ratio, job options, extra environment)
CASES = [
    ("default settings (PPD defaults, sharpening on)", 2.0, "", {}),
    ("sharpening off (stpSharpness=-4)", 1.8, "stpSharpness=-4", {}),
    ("every stage on, resize -10", 2.5, EVERY_STAGE + " stpResize=-10", {}),
    ("every stage on, resize +10", 2.5, EVERY_STAGE + " stpResize=10", {}),
    ("portable build, one thread, defaults", 5.0, "", {"VELTA_ISA": "portable", "VELTA_THREADS": "1"}),
]


def run(argv, env):
    """Runs argv with output to /dev/null; returns (wall seconds, CPU seconds)."""
    with open(os.devnull, "wb") as null:
        start = time.perf_counter()
        process = subprocess.Popen(argv, stdout=null, stderr=null, env=env)
        _, status, usage = os.wait4(process.pid, 0)
        elapsed = time.perf_counter() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        sys.exit(f"{argv[0]} failed with status {process.returncode}")
    return elapsed, usage.ru_utime + usage.ru_stime


def peak_rss_kib(argv, env):
    """Returns the peak resident set of argv in KiB, measured by /usr/bin/time
    (a child forked from this script would also count the script's pages)."""
    with open(os.devnull, "wb") as null:
        result = subprocess.run(["/usr/bin/time", "-f", "%M"] + argv, stdout=null, stderr=subprocess.PIPE, env=env)
    return int(result.stderr.decode().strip().splitlines()[-1])


def main():
    for program in (FILTER, BASELINE, MKRASTER, "/usr/bin/time"):
        if not os.access(program, os.X_OK):
            sys.exit(f"missing {program}: build the project in {BUILD} first")
    with tempfile.TemporaryDirectory() as scratch:
        raster = os.path.join(scratch, "photo.ras")
        subprocess.run([MKRASTER, "--pattern", "photo", "--width", str(WIDTH), "--height", str(HEIGHT),
                        "-o", raster], check=True)
        base_env = dict(os.environ, PPD=PPD)
        for name in ("VELTA_ISA", "VELTA_THREADS"):
            base_env.pop(name, None)
        print(f"{os.cpu_count()} CPUs, load average {os.getloadavg()[0]:.2f}; {PAIRS} alternating pairs per case")
        baseline_times = []
        for name, target, options, extra in CASES:
            env = dict(base_env, **extra)
            filter_argv = [FILTER, "1", "bench", "photo", "1", options, raster]
            ratios, cpu_ratios = [], []
            for _ in range(PAIRS):
                base, base_cpu = run([BASELINE, raster], env)
                filt, filt_cpu = run(filter_argv, env)
                baseline_times.append(base)
                ratios.append(filt / base)
                cpu_ratios.append(filt_cpu / base_cpu)
            ratio = statistics.median(ratios)
            verdict = "met" if ratio <= target else "MISSED"
            # The CPU-time ratio (both threads counted) shows the work done;
            # on an idle machine the wall-clock ratio is what the targets mean.
            print(f"{name:48s} {ratio:5.2f} x  (target <= {target:.1f}: {verdict}; "
                  f"pair ratios {min(ratios):.2f} to {max(ratios):.2f}; "
                  f"CPU time {statistics.median(cpu_ratios):.2f} x)")
        print(f"baseline: median {statistics.median(baseline_times) * 1000:.1f} ms per page; "
              f"load average now {os.getloadavg()[0]:.2f}")

        # Peak memory: the filter's peak resident set against the page buffer
        # plus the send buffer; the same for the baseline; and both with the
        # resident set of a job without pages (program and shared libraries,
        # libcups with its own dependencies) taken off.
        buffers = (3 * WIDTH + 3) // 4 * 4 * HEIGHT + 3 * WIDTH * HEIGHT
        empty = os.path.join(scratch, "empty.ras")
        open(empty, "wb").close()
        filter_rss = peak_rss_kib([FILTER, "1", "bench", "photo", "1", "", raster], base_env)
        baseline_rss = peak_rss_kib([BASELINE, raster], base_env)
        floor_rss = peak_rss_kib([FILTER, "1", "bench", "photo", "1", "", empty], base_env)
        ratio = filter_rss * 1024 / buffers
        page_ratio = (filter_rss - floor_rss) * 1024 / buffers
        verdict = "met" if ratio <= 1.15 else "MISSED"
        print(f"{'peak memory, default page':48s} {ratio:5.2f} x page + send buffer "
              f"(target <= 1.15: {verdict}): {filter_rss / 1024:.1f} MiB for {buffers / 2**20:.1f} MiB of buffers")
        print(f"{'':48s} baseline {baseline_rss * 1024 / buffers:.2f} x; filter / baseline "
              f"{filter_rss / baseline_rss:.2f} x; without the {floor_rss / 1024:.1f} MiB of a job with no "
              f"page: {page_ratio:.2f} x")


if __name__ == "__main__":
    main()
