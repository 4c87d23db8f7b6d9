#!/usr/bin/env python3
"""Generates color/direct_map_tables.cpp, the printer's built-in 9x9x9 direct colour map.

The printer's colour map is pinned at its grey diagonal, its three axes from black and
its eight corners (the listed nodes below). Every other node follows a smooth model
through them:

  A node (r, g, b) is walked from black up the grey diagonal to its smallest index,
  then along the secondary colour of its two larger channels by (middle - smallest),
  then along the primary colour of its largest channel by (largest - middle). Each
  leg adds the printer's output for that leg measured from black: the grey diagonal,
  a secondary ramp (black to yellow, cyan or magenta), a primary axis. Ties between
  channels make the ambiguous leg zero long, so the map is continuous across the six
  tetrahedra of the cube.

The secondary ramps are not measured between black and the corner; they follow the
shape of the grey diagonal. On top of the model two soft Gaussian corrections (one
around a light blue, one around an orange) pull those colours to what the printer
prints for them: 100,150,200 prints as 124,180,223 and 200,100,50 as 198,101,46.

Run: python3 color/tools/make_direct_map.py > color/direct_map_tables.cpp
"""
import math
import sys

N = 9

GREY = [(0, 0, 0), (33, 35, 34), (64, 66, 66), (98, 98, 98), (133, 133, 133),
        (162, 162, 162), (191, 192, 190), (221, 221, 220), (255, 255, 255)]
RED_AXIS = [(0, 0, 0), (36, 0, 0), (73, 0, 0), (108, 0, 0), (135, 0, 0),
            (154, 6, 0), (168, 10, 0), (195, 14, 0), (226, 20, 0)]
GREEN_AXIS = [(0, 0, 0), (0, 50, 0), (10, 110, 0), (27, 166, 0), (34, 210, 0),
              (38, 238, 0), (50, 249, 16), (56, 255, 28), (55, 255, 25)]
BLUE_AXIS = [(0, 0, 0), (0, 0, 54), (0, 8, 106), (0, 16, 161), (0, 19, 200),
             (0, 25, 231), (0, 31, 246), (0, 44, 254), (0, 51, 255)]
YELLOW = (244, 255, 104)
CYAN = (61, 255, 193)
MAGENTA = (252, 10, 255)

# Worked colours: input, printed output, and the spread (in nodes) of the correction.
TARGETS = [((100, 150, 200), (124, 180, 223)),
           ((200, 100, 50), (198, 101, 46))]
SIGMA = 1.6


def listed_nodes():
    """The measured nodes: grey diagonal, the three axes and the eight corners."""
    nodes = {}
    for k in range(N):
        nodes[(k, k, k)] = GREY[k]
        nodes[(k, 0, 0)] = RED_AXIS[k]
        nodes[(0, k, 0)] = GREEN_AXIS[k]
        nodes[(0, 0, k)] = BLUE_AXIS[k]
    nodes[(8, 8, 0)] = YELLOW
    nodes[(0, 8, 8)] = CYAN
    nodes[(8, 0, 8)] = MAGENTA
    return nodes


def secondary_ramp(corner, k):
    """Black to a secondary corner, shaped like the grey diagonal (k in node steps)."""
    return tuple(corner[c] * GREY[k][c] / 255.0 for c in range(3))


def model(r, g, b):
    """The smooth model's output (floats) for node (r, g, b)."""
    idx = {'r': r, 'g': g, 'b': b}
    order = sorted(idx, key=lambda ch: -idx[ch])  # largest first; ties keep r, g, b order
    hi, mid, lo = idx[order[0]], idx[order[1]], idx[order[2]]
    primary = {'r': RED_AXIS, 'g': GREEN_AXIS, 'b': BLUE_AXIS}[order[0]]
    pair = frozenset(order[:2])
    secondary = {frozenset('rg'): YELLOW, frozenset('gb'): CYAN, frozenset('rb'): MAGENTA}[pair]
    grey = GREY[lo]
    sec = secondary_ramp(secondary, mid - lo)
    pri = primary[hi - mid]
    return [grey[c] + sec[c] + pri[c] for c in range(3)]


def tetra_corners(rgb):
    """The four (node, weight) pairs that the printer blends for one input colour."""
    red, green, blue = rgb
    w1, w2, w3 = [(v & 31) + 1 if v & 31 else 0 for v in (blue, green, red)]
    base = (red >> 5, green >> 5, blue >> 5)
    if w1 >= w2 >= w3:
        corners = [((0, 0, 0), 32 - w1), ((0, 0, 1), w1 - w2), ((0, 1, 1), w2 - w3), ((1, 1, 1), w3)]
    elif w1 >= w3 > w2:
        corners = [((0, 0, 0), 32 - w1), ((0, 0, 1), w1 - w3), ((1, 0, 1), w3 - w2), ((1, 1, 1), w2)]
    elif w3 > w1 >= w2:
        corners = [((0, 0, 0), 32 - w3), ((1, 0, 0), w3 - w1), ((1, 0, 1), w1 - w2), ((1, 1, 1), w2)]
    elif w3 >= w2 > w1:
        corners = [((0, 0, 0), 32 - w3), ((1, 0, 0), w3 - w2), ((1, 1, 0), w2 - w1), ((1, 1, 1), w1)]
    elif w2 > w3 >= w1:
        corners = [((0, 0, 0), 32 - w2), ((0, 1, 0), w2 - w3), ((1, 1, 0), w3 - w1), ((1, 1, 1), w1)]
    else:
        corners = [((0, 0, 0), 32 - w2), ((0, 1, 0), w2 - w1), ((0, 1, 1), w1 - w3), ((1, 1, 1), w3)]
    return [(tuple(base[i] + d[i] for i in range(3)), w) for d, w in corners]


def bump(node, centre):
    """Gaussian weight of a node around a point given in node units."""
    d2 = sum((node[i] - centre[i]) ** 2 for i in range(3))
    return math.exp(-d2 / (2 * SIGMA * SIGMA))


def build():
    listed = listed_nodes()
    all_nodes = [(r, g, b) for r in range(N) for g in range(N) for b in range(N)]
    table = {n: model(*n) for n in all_nodes}
    table.update({n: list(v) for n, v in listed.items()})

    # Solve, per output channel, the amplitudes of the two corrections so that both
    # worked colours land on the middle of their output's 32nd (a 2x2 linear system).
    centres = [tuple(v / 32.0 for v in rgb) for rgb, _ in TARGETS]
    blends = [tetra_corners(rgb) for rgb, _ in TARGETS]

    def effect(i, j):
        return sum(w * (0 if n in listed else bump(n, centres[j])) for n, w in blends[i])

    m = [[effect(i, j) for j in range(2)] for i in range(2)]
    det = m[0][0] * m[1][1] - m[0][1] * m[1][0]
    base = {n: list(v) for n, v in table.items()}
    amplitude = [[0.0, 0.0] for _ in range(3)]
    # Nodes that reach 255 or 0 are clipped there, so the amplitudes are refined
    # until the clipped map itself meets both colours.
    for _ in range(100):
        for n in all_nodes:
            for c in range(3):
                v = base[n][c]
                if n not in listed:
                    v += amplitude[c][0] * bump(n, centres[0]) + amplitude[c][1] * bump(n, centres[1])
                table[n][c] = min(255.0, max(0.0, v))
        for c in range(3):
            need = [32 * out[c] + 15.5 - sum(w * table[n][c] for n, w in blends[i])
                    for i, (_, out) in enumerate(TARGETS)]
            amplitude[c][0] += (need[0] * m[1][1] - need[1] * m[0][1]) / det
            amplitude[c][1] += (m[0][0] * need[1] - m[1][0] * need[0]) / det

    result = {}
    for n in all_nodes:
        result[n] = [min(255, max(0, int(math.floor(v + 0.5)))) for v in table[n]]
    # Along its own axis each output channel never falls (more red in, no less red
    # out). Where the model's legs dip by a step or two, the node keeps the value of
    # the node below it.
    for c in range(3):
        for n in all_nodes:
            below = list(n)
            below[c] -= 1
            if below[c] >= 0 and n not in listed:
                result[n][c] = max(result[n][c], result[tuple(below)][c])
    for n in all_nodes:
        below = [tuple(n[i] - (i == c) for i in range(3)) for c in range(3)]
        for c in range(3):
            if n[c] > 0 and result[n][c] < result[below[c]][c]:
                sys.exit("node %s falls below its neighbour in channel %d" % (n, c))

    for (rgb, out), blend in zip(TARGETS, blends):
        for c in range(3):
            total = sum(w * result[n][c] for n, w in blend)
            if total >> 5 != out[c]:
                sys.exit("worked colour %s channel %d: sum %d misses %d" % (rgb, c, total, out[c]))
    return result


def emit(result):
    data = []
    for r in range(N):
        for g in range(N):
            for b in range(N):
                data.extend(result[(r, g, b)])
    lines = ["// Generated by color/tools/make_direct_map.py; edit the generator, not this file.",
             "// The printer's 9x9x9 direct colour map, indexed [red][green][blue][R, G, B].",
             "// clang-format off",
             '#include "color/direct_map.h"', "", "namespace velta {", "namespace {", "",
             "// Each line holds the nine nodes of one red and green index, blue index 0 to 8.",
             "constexpr std::array<uint8_t, kDmapTblSize> kPrinterColourMap = {"]
    for r in range(N):
        for g in range(N):
            start = (r * 81 + g * 9) * 3
            row = data[start:start + 27]
            lines.append("    /* r%d g%d */ " % (r, g) + ", ".join("%3d" % v for v in row) + ",")
    lines += ["};", "", "}  // namespace", "",
              "// Both print modes use the same map.",
              "const std::array<uint8_t, kDmapTblSize> Zorv_DmapTbl_K90_Normal = kPrinterColourMap;",
              "const std::array<uint8_t, kDmapTblSize> Zorv_DmapTbl_K90_HighQuality = kPrinterColourMap;",
              "", "}  // namespace velta", ""]
    return "\n".join(lines)


if __name__ == "__main__":
    sys.stdout.write(emit(build()))
