#!/usr/bin/env python3
"""Times the filter of one build against the filter of another, case by case.

Usage: bench/compare-builds.py OLD_BUILD NEW_BUILD [PAIRS] [RASTER...]   (PAIRS default 11)

Runs the cases of run-ratios.py with the old and the new filter alternately
(the first of a pair swapping each time), PAIRS times, on a photo-like
1800 x 2492 page or on the given rasters, and prints the median of the
pairwise ratios new / old with their range. Below 1 the new build is faster.
Each pair's outputs are compared too: a change that alters a byte is reported.
"""
import os
import runpy
import statistics
import subprocess
import sys
import tempfile
import types

HERE = os.path.dirname(os.path.abspath(__file__))
# run-ratios.py reads its build folder from the command line when loaded: it
# is given the new build, whose velta-mkraster makes the page.
arguments, sys.argv = sys.argv, sys.argv[:1] + sys.argv[2:3]
ratios = types.SimpleNamespace(**runpy.run_path(os.path.join(HERE, "run-ratios.py"), run_name="run_ratios"))
sys.argv = arguments


def output_of(argv, env):
    """The filter's printer stream for argv."""
    return subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env, check=True).stdout


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    old, new = (os.path.join(os.path.abspath(b), "filter", "rastertovelta") for b in sys.argv[1:3])
    pairs = int(sys.argv[3]) if len(sys.argv) > 3 else 11
    with tempfile.TemporaryDirectory() as scratch:
        rasters = sys.argv[4:]
        if not rasters:
            rasters = [os.path.join(scratch, "photo.ras")]
            subprocess.run([ratios.MKRASTER, "--pattern", "photo", "-o", rasters[0]], check=True)
        base_env = dict(os.environ, PPD=ratios.PPD)
        for name in ("VELTA_ISA", "VELTA_THREADS"):
            base_env.pop(name, None)
        print(f"{os.cpu_count()} CPUs, load average {os.getloadavg()[0]:.2f}; {pairs} alternating pairs per case")
        for raster in rasters:
            print(os.path.basename(raster))
            for name, _, options, extra in ratios.CASES:
                env = dict(base_env, **extra)
                argv = lambda program: [program, "1", "bench", "photo", "1", options, raster]
                same = output_of(argv(old), env) == output_of(argv(new), env)
                times = []
                for k in range(pairs):
                    order = (old, new) if k % 2 == 0 else (new, old)
                    measured = {program: ratios.drained(argv(program), env) for program in order}
                    times.append(measured[new] / measured[old])
                print(f"  {name:48s} new / old {statistics.median(times):5.2f}  "
                      f"(pairs {min(times):.2f} to {max(times):.2f}){'' if same else '  OUTPUT DIFFERS'}")


if __name__ == "__main__":
    main()
