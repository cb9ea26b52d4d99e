#!/usr/bin/python3
"""Drawings with transparency that must export as vectors only (no image), or
with images only of the areas that need pixels, and look as librsvg draws
them. Skips (77) without rsvg-convert, Ghostscript, numpy or PIL."""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.realpath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", "..", ".."))
SKIP = 77
LEAST_SIMILARITY = 0.99
# A wrong colour in a small piece hardly moves the mean: pixels that differ by
# more than this, and all their neighbours too (edges are smoothed otherwise
# by each renderer), must be fewer than WRONG_SHARE of the picture.
WRONG_LEVEL = 24
WRONG_SHARE = 0.003
# Many small copies of a pattern's tile, each with edges the two renderers
# smooth their own way: the mean moves more, the wrong pixels must not.
MANY_EDGES = {"skewed-pattern-in-the-box": 0.98, "pattern-of-gradients-and-strokes": 0.96}

HEAD = ("<svg xmlns='http://www.w3.org/2000/svg' width='192' height='96'>"
        "<linearGradient id='g'><stop offset='0' stop-color='#f00'/>"
        "<stop offset='1' stop-color='#00f'/></linearGradient>")
BENEATH = ("<rect width='96' height='96' fill='#2040c0'/>"
           "<rect x='110' y='0' width='60' height='50' fill='#e0c020'/>")
# A drop shadow as icons draw one: an elliptical radial gradient (the circle
# of the bounding box of a wide ellipse) fading out.
SHADOW = ("<radialGradient id='shadow'><stop offset='0' stop-color='#000' "
          "stop-opacity='0.6'/><stop offset='1' stop-color='#000' stop-opacity='0'/>"
          "</radialGradient>")

CASES = {
    "over-paper": "<circle cx='96' cy='48' r='30' fill='#c02060' opacity='0.4'/>",
    "over-flat-shapes": BENEATH + "<circle cx='100' cy='48' r='40' fill='red' opacity='0.5'/>"
    "<rect x='20' y='60' width='150' height='20' fill='#0a0' fill-opacity='0.3'/>",
    "over-gradient": "<rect x='10' y='10' width='172' height='76' fill='url(#g)'/>"
    "<ellipse cx='96' cy='48' rx='70' ry='25' fill='#ff0' fill-opacity='0.6'/>",
    "over-strokes": "<path d='M10 20 C60 90 120 0 180 70' fill='none' stroke='#080' "
    "stroke-width='8'/><path d='M20 80 L170 10' stroke='#00f' stroke-width='5' "
    "stroke-linecap='round'/>"
    "<rect x='40' y='20' width='110' height='56' rx='10' fill='#f80' opacity='0.5'/>",
    "stroke-over-fills": BENEATH +
    "<circle cx='100' cy='48' r='35' fill='none' stroke='#f0f' stroke-width='10' "
    "stroke-opacity='0.5'/>",
    "fill-and-stroke-opacities": BENEATH +
    "<rect x='60' y='20' width='80' height='50' fill='#0f0' fill-opacity='0.4' "
    "stroke='#800' stroke-width='6' stroke-opacity='0.7'/>",
    "group-with-overlapping-members": BENEATH +
    "<g opacity='0.5'><rect x='40' y='20' width='80' height='50' fill='#0ff'/>"
    "<circle cx='120' cy='50' r='30' fill='#f0f' stroke='#000' stroke-width='4'/></g>",
    "nested-opacity": BENEATH +
    "<g opacity='0.7'><g opacity='0.6'><circle cx='96' cy='48' r='36' fill='#f00' "
    "opacity='0.8'/></g><rect x='150' y='60' width='30' height='30' fill='#00f'/></g>",
    "fading-gradient-over-flat-shapes": BENEATH +
    "<linearGradient id='fade' x2='0' y2='1'><stop offset='0' stop-color='#222'"
    " stop-opacity='0.8'/><stop offset='1' stop-color='#222' stop-opacity='0'/>"
    "</linearGradient><rect x='30' y='10' width='140' height='76' fill='url(#fade)'/>",
    "translucent-gradient": BENEATH +
    "<linearGradient id='two'><stop offset='0' stop-color='#f00' stop-opacity='0.2'/>"
    "<stop offset='1' stop-color='#0f0' stop-opacity='0.9'/></linearGradient>"
    "<ellipse cx='96' cy='48' rx='80' ry='40' fill='url(#two)' fill-opacity='0.8'/>",
    "white-mask-as-clip": BENEATH +
    "<mask id='m'><circle cx='60' cy='48' r='30' fill='#fff'/><rect x='100' y='10' width='40' "
    "height='30' fill='white' transform='rotate(10 120 25)'/></mask><rect x='20' y='5' "
    "width='150' height='80' fill='#c04' mask='url(#m)'/>"
    "<circle cx='70' cy='48' r='20' fill='#0f0' opacity='0.5'/>",
    "white-mask-region": "<mask id='m'><circle cx='60' cy='48' r='30' fill='#fff'/></mask>"
    "<g><rect x='50' y='40' width='100' height='40' fill='#c04' mask='url(#m)'/></g>",
    "clipped-backdrop": "<clipPath id='c'><circle cx='60' cy='48' r='40'/></clipPath>"
    "<rect width='192' height='96' fill='#036' clip-path='url(#c)'/>"
    "<rect x='40' y='10' width='120' height='70' fill='#fc0' opacity='0.5'/>",
    # Gradients the records cannot draw, in bands: an elliptical shadow fading
    # out over the paper and over a flat shape, a focal gradient, spreads, a
    # skewed one, and a translucent gradient over a gradient and a stroke.
    "elliptical-shadow-over-paper": SHADOW + "<ellipse cx='96' cy='60' rx='80' ry='24' "
    "fill='url(#shadow)'/>",
    "elliptical-shadow-over-flat-shape": BENEATH + SHADOW +
    "<ellipse cx='96' cy='60' rx='80' ry='24' fill='url(#shadow)'/>",
    "focal-gradient": "<radialGradient id='focal' fx='0.3' fy='0.25' r='0.6'>"
    "<stop offset='0' stop-color='#fff'/><stop offset='0.6' stop-color='#39c'/>"
    "<stop offset='1' stop-color='#036'/></radialGradient>"
    "<circle cx='96' cy='48' r='44' fill='url(#focal)'/>",
    "focal-highlight-over-gradient": "<rect x='10' y='10' width='172' height='76' "
    "fill='url(#g)'/><radialGradient id='hi' fx='0.5' fy='0.1'><stop offset='0' "
    "stop-color='#fff' stop-opacity='0.8'/><stop offset='1' stop-color='#fff' "
    "stop-opacity='0'/></radialGradient><ellipse cx='96' cy='36' rx='70' ry='30' "
    "fill='url(#hi)'/>",
    # Bands of a clipped highlight over flat fills: some bands miss them,
    # some are hidden by later ones, some lie wholly on them.
    "focal-highlight-over-clipped-fills": "<circle cx='150' cy='48' r='34' fill='#0a0'/>"
    "<clipPath id='hk'><path d='M100 14 H182 L150 82 H100 Z'/></clipPath>"
    "<rect x='30' y='30' width='60' height='36' fill='#a00' clip-path='url(#hk)'/>"
    "<radialGradient id='hf' gradientUnits='userSpaceOnUse' cx='90' cy='48' r='80' fx='84' "
    "fy='44'><stop offset='0' stop-color='#ff0'/><stop offset='1' stop-color='#036'/>"
    "</radialGradient><circle cx='90' cy='48' r='80' fill='url(#hf)' fill-opacity='0.6' "
    "clip-path='url(#hk)'/><rect x='120' y='40' width='20' height='16' fill='#fff'/>"
    "<circle cx='90' cy='48' r='60' fill='url(#hf)' fill-opacity='0.5'/>",
    "spread-reflect-and-repeat": "<linearGradient id='rf' x2='0.25' spreadMethod='reflect'>"
    "<stop offset='0' stop-color='#f80'/><stop offset='1' stop-color='#08f'/>"
    "</linearGradient><radialGradient id='rp' r='0.2' spreadMethod='repeat'>"
    "<stop offset='0' stop-color='#fff'/><stop offset='1' stop-color='#606'/>"
    "</radialGradient><rect x='4' y='8' width='88' height='80' fill='url(#rf)'/>"
    "<rect x='100' y='8' width='88' height='80' fill='url(#rp)'/>",
    "skewed-radial-gradient": "<radialGradient id='sk' gradientTransform='skewX(30)'>"
    "<stop offset='0' stop-color='#ff0'/><stop offset='1' stop-color='#060'/>"
    "</radialGradient><rect x='20' y='8' width='150' height='80' fill='url(#sk)'/>",
    "translucent-gradient-over-gradient": "<rect x='10' y='10' width='172' height='76' "
    "fill='url(#g)'/><linearGradient id='long' x1='0' y1='0' x2='1' y2='1'>"
    "<stop offset='0' stop-color='#000' stop-opacity='0.4'/><stop offset='1' "
    "stop-color='#000' stop-opacity='0'/></linearGradient>"
    "<path d='M60 30 L182 86 L60 86 Z' fill='url(#long)'/>",
    # Fading to clear halfway: the clear half shows the gradient beneath as it is.
    "fading-gradient-over-gradient": "<rect x='10' y='10' width='172' height='76' "
    "fill='url(#g)'/><linearGradient id='half' x2='0.5'><stop offset='0' stop-color='#fc0'/>"
    "<stop offset='1' stop-color='#fc0' stop-opacity='0'/></linearGradient>"
    "<rect x='20' y='20' width='150' height='56' fill='url(#half)'/>",
    "gradient-strokes": "<rect x='10' y='10' width='172' height='76' fill='#246'/>"
    "<linearGradient id='gs' x2='0' y2='1'><stop offset='0' stop-color='#fff'/>"
    "<stop offset='1' stop-color='#fff' stop-opacity='0'/></linearGradient>"
    "<circle cx='60' cy='48' r='30' fill='none' stroke='url(#gs)' stroke-width='3'/>"
    "<rect x='110' y='18' width='60' height='60' rx='8' fill='#c40' stroke='url(#g)' "
    "stroke-width='3' stroke-opacity='0.7'/>",
    "stroke-over-stroke-and-gradient": "<rect y='40' width='192' height='16' fill='url(#g)'/>"
    "<path d='M0 20 C60 0 120 40 192 20' fill='none' stroke='#00f' stroke-width='8' "
    "stroke-linejoin='round'/><path d='M96 4 V92' stroke='#f0f' stroke-width='10' "
    "stroke-opacity='0.5'/>",
    "translucent-gradient-over-stroke": "<path d='M10 48 H182' stroke='#080' "
    "stroke-width='10'/><rect x='40' y='10' width='110' height='76' fill='url(#g)' "
    "fill-opacity='0.5'/>",
    # Luminance masks of plain shapes: the element's colour at the shapes'
    # luminance; later shapes replace earlier ones, as in the mask.
    "luminance-mask-of-a-gradient": BENEATH +
    "<linearGradient id='lm'><stop offset='0' stop-color='#fff'/><stop offset='1' "
    "stop-color='#000'/></linearGradient><mask id='m' maskUnits='userSpaceOnUse' x='0' "
    "y='0' width='192' height='96'><rect x='10' y='10' width='172' height='76' "
    "fill='url(#lm)'/><circle cx='96' cy='48' r='24' fill='#000'/></mask>"
    "<rect x='10' y='10' width='172' height='76' fill='#207040' mask='url(#m)'/>"
    "<path d='M10 80 L180 20' stroke='#c02060' stroke-width='6'/>",
    "luminance-mask-of-greys": BENEATH + "<rect x='100' y='60' width='90' height='30' "
    "fill='url(#g)'/><mask id='m'><rect x='0' y='0' width='120' height='96' fill='#808080'/>"
    "<circle cx='90' cy='48' r='30' fill='#4080ff'/><rect x='130' y='20' width='50' "
    "height='60' fill='#fff' fill-opacity='0.6'/><ellipse cx='40' cy='48' rx='20' ry='30' "
    "fill='#fff' transform='rotate(20 40 48)'/></mask><path d='M8 8 H184 V88 H8 Z "
    "M60 30 V66 H130 V30 Z' fill='#b02010' fill-rule='evenodd' fill-opacity='0.9' "
    "mask='url(#m)'/>",
    "luminance-mask-in-the-box": "<radialGradient id='spot'><stop offset='0' "
    "stop-color='#fff'/><stop offset='1' stop-color='#fff' stop-opacity='0'/>"
    "</radialGradient><mask id='m' x='0.1' y='0' width='0.55' height='1'><circle cx='96' "
    "cy='48' r='44' fill='url(#spot)'/></mask><rect x='20' y='4' width='152' height='88' "
    "fill='#2050a0' mask='url(#m)' transform='translate(6 2) scale(0.95)'/>",
    "luminance-mask-on-a-group-of-one-shape": BENEATH + "<mask id='m' "
    "maskUnits='userSpaceOnUse'><rect width='192' height='96' fill='#ccc'/><polygon "
    "points='60,10 130,48 60,86' fill='#333'/></mask><g mask='url(#m)' "
    "transform='translate(10 0)'><circle cx='80' cy='48' r='40' fill='#06c' "
    "transform='scale(1 0.9)'/></g>",
    "luminance-mask-of-an-elliptical-gradient": BENEATH + "<radialGradient id='wide'>"
    "<stop offset='0' stop-color='#fff'/><stop offset='1' stop-color='#000'/>"
    "</radialGradient><mask id='m' maskContentUnits='userSpaceOnUse'><ellipse cx='96' "
    "cy='48' rx='80' ry='30' fill='url(#wide)'/></mask><circle cx='96' cy='48' r='46' "
    "fill='#f0a000' mask='url(#m)'/>",
    # Patterns no tile of the records repeats, as copies of their tile inside
    # the shape: turned, skewed with content in the box, overflowing their
    # cells (clipped to each), with gradients and strokes, and as strokes.
    "turned-pattern": "<pattern id='p' width='12' height='12' patternUnits='userSpaceOnUse' "
    "patternTransform='rotate(45)'><rect width='5' height='12' fill='#d07020'/></pattern>"
    "<circle cx='96' cy='48' r='40' fill='url(#p)' stroke='#000'/>",
    "skewed-pattern-in-the-box": "<pattern id='p' width='0.25' height='0.25' "
    "patternContentUnits='objectBoundingBox' patternTransform='rotate(30) skewX(10)'>"
    "<circle cx='.1' cy='.1' r='.12' fill='#c00'/></pattern>"
    "<ellipse cx='96' cy='48' rx='80' ry='40' fill='url(#p)'/>",
    "pattern-of-gradients-and-strokes": "<pattern id='p' width='8' height='8' "
    "patternUnits='userSpaceOnUse' patternTransform='rotate(30)'><rect width='4' height='8' "
    "fill='url(#g)'/><path d='M0 0L8 8' stroke='#000'/></pattern>"
    "<pattern id='u' width='10' height='10' patternUnits='userSpaceOnUse'><rect width='5' "
    "height='5' fill='#c00'/></pattern><rect x='10' y='10' width='70' height='70' "
    "fill='url(#p)' stroke='url(#u)' stroke-width='8'/><circle cx='140' cy='48' r='35' "
    "fill='none' stroke='url(#p)' stroke-width='12'/>",
    # Blurs of one flat colour: its level sets, in 8-bit steps of what is seen.
    "blur-over-paper": "<filter id='b'><feGaussianBlur stdDeviation='5'/></filter>"
    "<rect x='40' y='20' width='110' height='50' rx='8' fill='#c02060' opacity='0.7' "
    "filter='url(#b)'/>",
    "blur-over-flat-shapes": BENEATH + "<filter id='b'><feGaussianBlur stdDeviation='4'/>"
    "</filter><circle cx='100' cy='48' r='30' fill='#f80' fill-opacity='0.6' "
    "filter='url(#b)'/>",
    "blurred-shadow-under-a-shape": "<filter id='b' x='-0.2' y='-0.5' width='1.4' "
    "height='2'><feGaussianBlur stdDeviation='3 2'/></filter><ellipse cx='96' cy='78' "
    "rx='70' ry='8' opacity='0.5' filter='url(#b)' transform='rotate(-4 96 78)'/>"
    "<rect x='40' y='10' width='112' height='64' rx='6' fill='url(#g)'/>",
    # A blur wide against the page, sampled by its own width, not the image's pixels.
    "wide-blur": "<filter id='b' x='-1' y='-1' width='3' height='3'><feGaussianBlur "
    "stdDeviation='14'/></filter><rect x='60' y='28' width='72' height='40' fill='#603090' "
    "filter='url(#b)'/>",
    "blur-of-a-group-of-one-colour": "<filter id='b' primitiveUnits='objectBoundingBox'>"
    "<feGaussianBlur stdDeviation='0.05'/></filter><g filter='url(#b)' opacity='0.8'>"
    "<rect x='30' y='20' width='80' height='40' fill='#080' fill-opacity='0.5'/><circle "
    "cx='120' cy='50' r='30' fill='#080' fill-opacity='0.5'/></g>",
}
for mode in ("multiply", "screen", "overlay", "darken", "lighten", "color-dodge",
             "color-burn", "hard-light", "soft-light", "difference", "exclusion"):
    CASES["blend-" + mode] = (BENEATH + "<circle cx='100' cy='48' r='40' fill='#c06030' "
                              "style='mix-blend-mode:%s'/>" % mode)
    CASES["blend-translucent-" + mode] = (
        BENEATH + "<circle cx='100' cy='48' r='40' fill='#40a0e0' opacity='0.6' "
        "style='mix-blend-mode:%s'/>" % mode)

# A blur of two colours (fill and stroke) needs pixels.
BLUR = "<filter id='blur'><feGaussianBlur stdDeviation='3'/></filter>"
EDGED = "stroke='#888' stroke-width='3' filter='url(#blur)'"
# Drawings with what needs pixels: how many images each exports with.
IMAGED = {
    "blur-and-shape-apart": (BENEATH + BLUR +
                             "<circle cx='30' cy='70' r='16' fill='#060' " + EDGED + "/>"
                             "<rect x='120' y='50' width='60' height='40' fill='#f0f' "
                             "opacity='0.5'/>", 1),
    "shape-partly-over-a-blur": (BENEATH + BLUR +
                                 "<circle cx='40' cy='48' r='20' fill='#060' " + EDGED +
                                 "/><rect x='30' y='30' width='150' "
                                 "height='40' fill='#f80' opacity='0.5'/>", 1),
    "two-far-blurs": (BLUR + "<rect x='10' y='10' width='30' height='20' fill='#00f' " +
                      EDGED + "/><rect x='150' y='60' width='30' height='25' "
                      "fill='#f00' " + EDGED + "/>", 2),
    # The blur's image, drawn up to the clipped group, is not clipped with it.
    "shape-in-a-clip-over-a-blur": (BLUR + "<clipPath id='c'><rect x='60' width='132' "
                                    "height='96'/></clipPath><rect x='20' y='20' width='60' "
                                    "height='50' fill='#00f' " + EDGED + "/>"
                                    "<g clip-path='url(#c)'><rect x='50' y='30' width='80' "
                                    "height='30' fill='red' opacity='0.5'/></g>", 1),
    "text-then-shape-apart": ("<text x='10' y='40' font-size='20'>Hello</text>"
                              "<circle cx='150' cy='48' r='30' fill='#c02060' "
                              "opacity='0.4'/>", 0),
    "shape-partly-over-text": (BENEATH + "<text x='10' y='70' font-size='24' "
                               "fill='#fff'>Hello</text><rect x='50' y='40' width='130' "
                               "height='40' fill='#0c0' opacity='0.5'/>", 1),
    # Masks beyond plain shapes on a flat fill keep their image.
    "alpha-mask": (BENEATH + "<mask id='m' style='mask-type:alpha'><circle cx='96' cy='48' "
                   "r='40' fill='#000' fill-opacity='0.5'/></mask><rect x='20' y='10' "
                   "width='150' height='76' fill='#0a0' mask='url(#m)'/>", 1),
    "mask-of-overlapping-translucent-shapes": (
        "<mask id='m'><rect width='192' height='96' fill='#888'/><circle cx='96' cy='48' "
        "r='30' fill='#fff' opacity='0.5'/></mask><rect x='20' y='10' width='150' "
        "height='76' fill='#a0f' mask='url(#m)'/>", 1),
    "mask-on-a-gradient": ("<mask id='m'><rect width='192' height='96' fill='#888'/></mask>"
                           "<rect x='20' y='10' width='150' height='76' fill='url(#g)' "
                           "mask='url(#m)'/>", 1),
    # A tile with transparency is a picture of the shape, not copies.
    "turned-pattern-of-translucent-content": (
        "<pattern id='p' width='12' height='12' patternUnits='userSpaceOnUse' "
        "patternTransform='rotate(45)'><rect width='8' height='12' fill='#d07020' "
        "opacity='0.5'/></pattern><circle cx='96' cy='48' r='40' fill='url(#p)'/>", 1),
    "mask-of-a-stroke": ("<mask id='m'><circle cx='96' cy='48' r='30' fill='#fff' "
                         "stroke='#888' stroke-width='8'/></mask><rect x='20' y='10' "
                         "width='150' height='76' fill='#a0f' mask='url(#m)'/>", 1),
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--aiexport", required=True)
    parser.add_argument("--keep", help="a directory to keep the pictures in")
    args = parser.parse_args()
    try:
        import numpy as np
        from PIL import Image, ImageFilter
    except ImportError:
        print("skipped: numpy or PIL missing")
        return SKIP
    for program in ("rsvg-convert", "gs"):
        if shutil.which(program) is None:
            print("skipped: %s missing" % program)
            return SKIP

    def on_white(png):
        picture = Image.open(png).convert("RGBA")
        white = Image.new("RGBA", picture.size, (255, 255, 255, 255))
        return Image.alpha_composite(white, picture).convert("RGB")

    def pixels(picture):
        return np.asarray(picture, dtype=np.int16)

    failures = []
    work = args.keep or tempfile.mkdtemp(prefix="vector-transparency-")
    os.makedirs(work, exist_ok=True)
    cases = {name: (body, 0) for name, body in CASES.items()}
    cases.update(IMAGED)
    for name, (body, images) in sorted(cases.items()):
        svg = os.path.join(work, name + ".svg")
        with open(svg, "w") as f:
            f.write(HEAD + body + "</svg>")
        records = subprocess.run([args.aiexport, "--records", svg], capture_output=True,
                                 text=True)
        if records.returncode != 0:
            failures.append("%s: --records failed: %s" % (name, records.stderr))
            continue
        found = records.stdout.count("\nBeginBitmap ")
        if found != images:
            failures.append("%s: exported with %d images, not %d" % (name, found, images))
        ai = os.path.join(work, name + ".ai")
        reference, ours = os.path.join(work, name + "-rsvg.png"), os.path.join(work, name + ".png")
        subprocess.run([args.aiexport, svg, ai], check=True, capture_output=True)
        subprocess.run(["rsvg-convert", "-z", "2",
                        "-o", reference, svg], check=True)
        subprocess.run([sys.executable, os.path.join(ROOT, "tools", "ai-preview"), ai, ours,
                        "--dpi", "192"], check=True, capture_output=True)
        ra, rb = on_white(reference), on_white(ours)
        a, b = pixels(ra), pixels(rb)
        if a.shape != b.shape:
            failures.append("%s: pictures of %s and %s" % (name, a.shape, b.shape))
            continue
        similarity = 1.0 - float(np.abs(a - b).mean()) / 255.0
        difference = np.abs(a - b).max(axis=2).astype(np.uint8)
        inner = Image.fromarray(difference).filter(ImageFilter.MinFilter(5))
        wrong = float((np.asarray(inner) > WRONG_LEVEL).mean())
        print("%-40s %.4f %.4f" % (name, similarity, wrong))
        if wrong > WRONG_SHARE:
            failures.append("%s: %.4f of the pixels wrong" % (name, wrong))
        least = MANY_EDGES.get(name, LEAST_SIMILARITY)
        if similarity < least:
            failures.append("%s: similarity %.4f below %.2f" % (name, similarity, least))
    for f in failures:
        print("FAILED " + f)
    if not args.keep:
        shutil.rmtree(work)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
