#!/usr/bin/env python3
"""Strokes expanded to filled outlines (--profile stock) look like the strokes: each drawing
is exported as it is and with the stock profile on a page of its own size, both are drawn
by Ghostscript with the project's procedure sets, and the pictures are compared.

    stroke_outlines_render.py --tool PATH/aiexport     exit 0 passed, 1 failed, 77 skipped

Similarity is 1 - mean |difference| / 255 over the page (at least 0.98), and over the
pixels either picture inks in each tile of 20 pt (at least 0.95): the page's white alone
cannot pass a drawing, nor a wrong join among right lines.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools", "preview"))
import ghostscript  # noqa: E402

# Dashes of 12 pt on, 12 off are the module's first dash style exactly, so the stroke as
# drawn and its outline dash alike. User units are points.
DRAWINGS = {
    "lines-and-caps": """
      <path d="M20 20 H180" stroke="#000" stroke-width="8" stroke-linecap="butt"/>
      <path d="M20 50 H180" stroke="#c00" stroke-width="8" stroke-linecap="round"/>
      <path d="M20 80 H180" stroke="#00c" stroke-width="8" stroke-linecap="square"/>
      <path d="M30 110 L170 140" stroke="#080" stroke-width="3"/>""",
    "curves": """
      <path d="M20 120 C 60 10, 140 10, 180 120" fill="none" stroke="#000" stroke-width="6"/>
      <circle cx="100" cy="100" r="30" fill="#fc0" stroke="#06c" stroke-width="5"/>""",
    "joins": """
      <polyline points="20,140 50,30 80,140" fill="none" stroke="#000" stroke-width="10"
                stroke-linejoin="miter" stroke-miterlimit="10"/>
      <polyline points="90,140 120,30 150,140" fill="none" stroke="#000" stroke-width="10"
                stroke-linejoin="round"/>
      <polyline points="160,140 175,60 190,140" fill="none" stroke="#000" stroke-width="6"
                stroke-linejoin="miter" stroke-miterlimit="2"/>""",
    "dashes": """
      <path d="M20 40 H180" stroke="#000" stroke-width="4" stroke-dasharray="12 12"/>
      <path d="M20 90 C 60 60, 140 120, 180 90" fill="none" stroke="#c00" stroke-width="3"
            stroke-dasharray="12 12"/>
      <rect x="40" y="115" width="120" height="30" fill="none" stroke="#00c"
            stroke-width="2" stroke-dasharray="12 12"/>""",
}

# Marks in two corners make the art's box the page, so that both exports place it alike.
SVG = ('<svg xmlns="http://www.w3.org/2000/svg" width="200pt" height="160pt" '
       'viewBox="0 0 200 160"><rect width="1" height="1"/><rect x="199" y="159" width="1" '
       'height="1"/>%s</svg>')
DPI = 288


def picture(tool, svg, args, work, name):
    ai = os.path.join(work, name + ".ai")
    run = subprocess.run([tool] + args + [svg, ai], capture_output=True, text=True)
    if run.returncode != 0:
        raise AssertionError("aiexport %s %s failed: %s" % (" ".join(args), svg, run.stderr))
    ppm = os.path.join(work, name + ".ppm")
    # The same page for both: the drawing's own.
    ghostscript.render(ai, ppm, dpi=DPI, box=(0, 0, 200, 160))
    return ghostscript.Picture(ppm, dpi=DPI)


def similarity(a, b):
    """The page's similarity, and the least of the ink similarities of its 20 pt tiles: a
    fault in one corner or cap shows in its tile, however much else is alike."""
    total = 0
    tile = 20 * DPI // 72
    tiles = {}
    for i in range(0, len(a.pixels), 3):
        pa, pb = a.pixels[i:i + 3], b.pixels[i:i + 3]
        d = sum(abs(x - y) for x, y in zip(pa, pb)) / 3.0
        total += d
        if min(pa) < 250 or min(pb) < 250:
            pixel = i // 3
            key = (pixel % a.width // tile, pixel // a.width // tile)
            inked, diff = tiles.get(key, (0, 0))
            tiles[key] = (inked + 1, diff + d)
    n = len(a.pixels) // 3
    # Tiles with a few pixels of ink (the corner marks, a stroke's tip) say little.
    ink = [1 - diff / inked / 255 for inked, diff in tiles.values() if inked >= tile * tile // 20]
    return 1 - total / n / 255, min(ink or [1])


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--tool", required=True)
    args = parser.parse_args()
    if shutil.which("gs") is None:
        print("SKIP: ghostscript not installed")
        return 77
    work = tempfile.mkdtemp(prefix="stroke-outlines-")
    failed = []
    for name, body in sorted(DRAWINGS.items()):
        svg = os.path.join(work, name + ".svg")
        with open(svg, "w") as f:
            f.write(SVG % body)
        stroked = picture(args.tool, svg, [], work, name + "-stroked")
        outlined = picture(args.tool, svg, ["--profile", "stock", "--page", "200x160pt"], work,
                           name + "-outlined")
        page, ink = similarity(stroked, outlined)
        print("%-16s page %.4f  least tile ink %.4f" % (name, page, ink))
        if page < 0.98 or ink < 0.95:
            failed.append(name)
        # The outlined file strokes nothing.
        with open(os.path.join(work, name + "-outlined.ai")) as f:
            lines = f.read().split("\n")
        if any(line in ("S", "s", "B", "b") for line in lines):
            failed.append(name + " (strokes left)")
    if failed:
        print("FAILED: %s (files kept in %s)" % (", ".join(failed), work))
        return 1
    shutil.rmtree(work, ignore_errors=True)
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
