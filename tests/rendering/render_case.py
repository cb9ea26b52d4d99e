#!/usr/bin/env python3
"""Draws exported files through Ghostscript with the project's procedure sets and checks
pixels at known places (72 dpi, so one pixel is one point; y upwards from the page's foot).

    render_case.py --tool PATH/aiexport CASE      exit 0 passed, 1 failed, 77 skipped
"""

import argparse
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools", "preview"))
import ghostscript  # noqa: E402

WHITE, BLACK = (255, 255, 255), (0, 0, 0)


class Check:
    def __init__(self, tool, work):
        self.tool, self.work = tool, work

    def export(self, records, name=None):
        """Replays a record script (a path, or a name under records/) into a file of the work
        dir."""
        if not os.path.isabs(records):
            records = os.path.join(HERE, "records", records + ".records")
        name = name or os.path.splitext(os.path.basename(records))[0]
        ai = os.path.join(self.work, name + ".ai")
        run = subprocess.run([self.tool, records, ai], capture_output=True, text=True)
        if run.returncode != 0:
            raise AssertionError("aiexport %s failed: %s%s" % (records, run.stdout, run.stderr))
        return ai

    def sample(self):
        """The tool's built-in sample drawing, with its placed files beside it."""
        run = subprocess.run([self.tool], cwd=self.work, capture_output=True, text=True)
        if run.returncode != 0:
            raise AssertionError("the sample: " + run.stderr)
        return os.path.join(self.work, "sample.ai")

    def picture(self, ai, antialias=False):
        ppm = os.path.join(self.work, os.path.basename(ai) + ".ppm")
        ghostscript.render(ai, ppm, 72, antialias)
        return ghostscript.Picture(ppm)


def near(found, expected, what, tolerance=24):
    if any(abs(a - b) > tolerance for a, b in zip(found, expected)):
        raise AssertionError("%s: %r, expected %r" % (what, found, expected))


def dark(pixel):
    return sum(pixel) < 3 * 96


def ink(picture, x0, y0, x1, y1):
    """The share of dark pixels in the box."""
    pixels = [picture.pixel(x, y) for x in range(x0, x1) for y in range(y0, y1)]
    return sum(1 for p in pixels if dark(p)) / len(pixels)


def case_documents(check):
    """Every golden file, every interop case, every SVG drawing, the sample and the degenerate
    values of records/ draw without an interpreter error."""
    files = sorted(glob.glob(os.path.join(ROOT, "tests", "golden", "*.ai")))
    interop = os.path.join(ROOT, "tests", "interop", "records", "*.records")
    for records in sorted(glob.glob(interop)):
        files.append(check.export(records, "interop-" + os.path.basename(records)[:-8]))
    for records in sorted(glob.glob(os.path.join(HERE, "records", "*.records"))):
        files.append(check.export(records))
    for svg in sorted(glob.glob(os.path.join(ROOT, "tests", "svg", "*.svg"))):
        ai = os.path.join(check.work, "svg-" + os.path.basename(svg)[:-4] + ".ai")
        if subprocess.run([check.tool, svg, ai], capture_output=True).returncode == 0:
            files.append(ai)
    files.append(check.sample())
    failures = []
    for ai in files:
        try:
            ghostscript.render(ai, os.path.join(check.work, "page.ppm"), 36)
        except ghostscript.RenderFailed as failure:
            failures.append("%s: %s" % (ai, str(failure).splitlines()[0]))
    if failures:
        raise AssertionError("\n".join(failures))


def case_paths(check):
    page = check.picture(os.path.join(ROOT, "tests", "golden", "paths.ai"))
    near(page.pixel(130, 80), BLACK, "inside the filled triangle")
    near(page.pixel(80, 130), WHITE, "beside the filled triangle")
    # 0 0 0 1 k: Ghostscript's colour management draws CMYK black a little lighter.
    near(page.pixel(252, 108), BLACK, "inside the filled and stroked square", 40)
    # [ 12 12 ... ] 0 d with round caps of width 2: a dash on 71-85, a gap on 85-95.
    near(page.pixel(78, 648), (255, 0, 0), "a dash of the red line")
    near(page.pixel(90, 648), WHITE, "a gap of the red line")
    # An open path drawn with N is neither filled nor stroked.
    near(page.pixel(420, 380), WHITE, "inside the unpainted path")


def check_text_clip(sample, reader):
    """The sample's green bar is clipped by the rectangle (396 363.6) (576 392.4) and by the
    glyphs of "Clipped text" (Impact 20 from (403.2 370.8)): green in the letters only."""
    box = [sample.pixel(x, y) for x in range(396, 576) for y in range(364, 392)]
    green = sum(1 for p in box if p[1] > max(p[0], p[2]) + 30) / len(box)
    if not 0.05 < green < 0.5:
        raise AssertionError("the clip by text in %s: %.2f of the rectangle is green"
                             % (reader, green))
    print("%s: %.2f of the text clip's rectangle is green" % (reader, green))


def case_structure(check):
    page = check.picture(os.path.join(ROOT, "tests", "golden", "structure.ai"))
    # The line at y 108 is clipped to the triangle (72 72) (144 72) (144 144).
    expect_dark = dark(page.pixel(135, 108)) or dark(page.pixel(135, 107))
    if not expect_dark:
        raise AssertionError("the line inside the clip region is not drawn")
    for x in (30, 100, 180):
        near(page.pixel(x, 108), WHITE, "the line at x %d, clipped away" % x)
    # The compound path's hole stays empty; its 36 pt orange stroke covers the ring.
    near(page.pixel(288, 288), WHITE, "the hole of the compound path")
    near(page.pixel(234, 288), (255, 128, 0), "the stroke of the compound path")
    sample = check.picture(check.sample())
    check_text_clip(sample, "the direct picture")
    near(sample.pixel(560, 378), WHITE, "inside the rectangle, beyond the clipping text")


def case_layers_text(check):
    page = check.picture(check.export("layers-text"))
    near(page.pixel(108, 108), WHITE, "the square on the hidden layer")
    near(page.pixel(252, 108), (0, 0, 200), "the square on the shown layer")
    near(page.pixel(360, 300), WHITE, "the guide at x 360")
    # HHHH, 40 pt, from (72, 360): ink above the baseline, none below it.
    if ink(page, 72, 362, 180, 385) < 0.2:
        raise AssertionError("no text where HHHH stands")
    if ink(page, 72, 330, 180, 355) > 0:
        raise AssertionError("ink below the baseline of HHHH")
    # HH centred on x 288.
    left, right = ink(page, 240, 506, 288, 530), ink(page, 288, 506, 336, 530)
    if min(left, right) < 0.15:
        raise AssertionError("HH is not centred on its origin: ink %.2f left, %.2f right"
                             % (left, right))


def case_text_state(check):
    """Text keeps its state whatever comes between: a text object that does not set its font
    after a linked TIFF file is drawn at the size before it; a line of more than 200 runs
    (every blank a run of its own under word spacing) is drawn to its end."""
    with open(os.path.join(ROOT, "tests", "interop", "records", "placed.records")) as f:
        tiff = next(line for line in f if line.startswith("@file"))
    text = """BeginText
SetTextType 0
SetTextMatrix 0.013888888888888888 0 0 0.013888888888888888 1 %s
%s
Text "HHHH"
EndText
"""
    page = check.picture(export_text(check, "after-tiff", tiff + """BeginPicture 0 0 8.5 11
BeginDrawingSection 8.5 11
SetFillColorByValue 0 0 0 0 0 0 0 0
""" + text % (5, 'SetCharAttr "Arial" "Bold" 0 0 1 40 1 1 0 0 0 1') + """
PathBitmap "${OUTDIR}/photo.tif" 1 2 2 1.5 1.5 1
""" + text % (7, "") + "EndPicture\n"))
    # HHHH, 40 pt, from (72, 360) and from (72, 504).
    for y in (360, 504):
        share = ink(page, 72, y + 2, 180, y + 25)
        if share < 0.2:
            raise AssertionError("HHHH at y %d: %.2f of its box is dark" % (y, share))

    # 260 words "ab", 6 pt, from x 7.5 on a page of 1500 by 75 pt, baseline at y 37.5.
    svg = os.path.join(check.work, "runs.svg")
    with open(svg, "w") as f:
        f.write('<svg xmlns="http://www.w3.org/2000/svg" width="2000" height="100">'
                '<text x="10" y="50" font-family="Arial" font-size="8" word-spacing="2">%s'
                '</text></svg>' % " ".join(["ab"] * 260))
    ai = os.path.join(check.work, "runs.ai")
    subprocess.run([check.tool, svg, ai], check=True, capture_output=True)
    page = check.picture(ai)
    for x0 in range(0, 1400, 100):
        if ink(page, x0 + 10, 37, x0 + 100, 43) < 0.05:
            raise AssertionError("no text between x %d and %d of the line of runs"
                                 % (x0 + 10, x0 + 100))


def case_gradients_patterns(check):
    page = check.picture(os.path.join(ROOT, "tests", "golden", "gradients-patterns.ai"))
    # Sunset runs from orange (1 0.498 0) at x 0 to red at x 200.
    near(page.pixel(1, 50), (255, 127, 0), "the gradient's start")
    near(page.pixel(198, 50), (255, 0, 0), "the gradient's end")
    near(page.pixel(100, 50), (255, 64, 0), "the gradient's middle", 12)
    # A definition that lacks its BD ends at the next one, which keeps its own name and stops.
    with open(os.path.join(ROOT, "tests", "golden", "gradients-patterns.ai"), "rb") as f:
        document = f.read()
    cut = os.path.join(check.work, "no-bd.ai")
    with open(cut, "wb") as f:
        f.write(document.replace(b"BD\n", b"", 1))
    page = check.picture(cut)
    near(page.pixel(1, 50), (255, 127, 0), "the second gradient's start after a missing BD")
    near(page.pixel(198, 50), (255, 0, 0), "the second gradient's end after a missing BD")
    # Dots is a tile of one black square without a gap: its fill is solid.
    near(page.pixel(280, 20), BLACK, "inside the pattern-filled triangle")
    near(page.pixel(230, 60), WHITE, "beside the pattern-filled triangle")
    sample = check.picture(check.sample())
    # The sample's Fade, linear over (36 216) (144 324): blue (0 64 192) on the left to white.
    near(sample.pixel(36.5, 270), (0, 64, 192), "the linear gradient's start", 8)
    near(sample.pixel(143.5, 270), WHITE, "the linear gradient's end", 8)
    near(sample.pixel(90, 230), sample.pixel(90, 310), "the linear gradient across its vector", 2)
    # The sample's dot pattern: black dots on white in the square (324 216) (432 324).
    share = ink(sample, 326, 218, 430, 322)
    if not 0.1 < share < 0.5:
        raise AssertionError("the sample's pattern: %.2f of the square is dark" % share)


def case_raster(check):
    raster = os.path.join(ROOT, "tests", "interop", "records", "raster.records")
    page = check.picture(check.export(raster))
    # The RGB image's pixels are 36 pt squares from (72, 144) down, first row at the top.
    near(page.pixel(90, 126), (255, 0, 0), "the RGB image's first pixel")
    near(page.pixel(126, 126), (0, 255, 0), "the RGB image's second pixel")
    near(page.pixel(90, 90), (0, 0, 255), "the RGB image's third pixel")
    near(page.pixel(126, 90), WHITE, "the RGB image's last pixel")
    # The gray image (as written: FF BF 80 00 / 00 80 BF FF), 18 pt pixels from (288, 144).
    near(page.pixel(297, 135), WHITE, "the gray image's first pixel")
    near(page.pixel(351, 135), BLACK, "the gray image's fourth pixel")
    near(page.pixel(297, 117), BLACK, "the gray image's fifth pixel")
    near(page.pixel(333, 117), (191, 191, 191), "the gray image's seventh pixel")
    near(page.pixel(72, 200), WHITE, "above the RGB image")


def case_large(check):
    """An image of 1,200 rows and a gradient of 50,000 stops draw, read as streams: nothing of
    them is gathered on the operand stack."""
    # 50 by 1200 pixels of 2.88 by 0.36 pt from (72, 576) down: red rows, then blue ones.
    rows = [[255, 0, 0] * 50] * 600 + [[0, 0, 255] * 50] * 600
    page = check.picture(export_text(check, "tall-image", """BeginPicture 0 0 8.5 11
BeginDrawingSection 8.5 11
SetMatrix 0.04 0 0 0.005 1 8
BeginBitmap 50 1200 150 8 3
Bitmap 0 1199 %s
EndBitmap
EndPicture
""" % hex_rows(rows)))
    near(page.pixel(144, 570), (255, 0, 0), "the tall image's first rows")
    near(page.pixel(144, 150), (0, 0, 255), "the tall image's last rows")

    # The same ramp, red to blue, in 2 stops and in 50,000 on the line between them.
    def gradient(count):
        stops = "".join("SetGradientRGN %.6f 50 0 %d 0 %d 0 0 0 0\n"
                        % (100.0 * i / (count - 1), round(255 * (1 - i / (count - 1))),
                           round(255 * i / (count - 1))) for i in range(count))
        return check.picture(export_text(check, "stops-%d" % count, """BeginPicture 0 0 8.5 11
SetGradientDef 1 "Ramp"
SetGradient2 0 0 0 8.5 0
%sEndGradient
BeginDrawingSection 8.5 11
SetFillTypeName 2 1 "Ramp"
BeginPath
MoveTo 0 1
LineTo 8.5 1
LineTo 8.5 3
LineTo 0 3
ClosePath
EndPath
EndPicture
""" % stops))
    few, many = gradient(2), gradient(50000)
    if few.pixel(5, 144) == few.pixel(600, 144):
        raise AssertionError("the ramp of two stops does not change along its line")
    # The module's instance runs the ramp over the first 52 pt.
    for x in list(range(0, 60)) + list(range(60, 612, 20)):
        near(many.pixel(x, 144), few.pixel(x, 144), "the ramp of 50,000 stops at x %d" % x, 8)


def case_placed(check):
    page = check.picture(check.sample())
    # The placed EPS (a blue disc in its 72 pt box at (360, 72)) is drawn from its file.
    near(page.pixel(396, 108), (51, 102, 204), "the middle of the placed EPS", 40)
    # The linked TIFF (2 by 2 pixels: red, green / blue, yellow) fills its rectangle
    # (453.6 73.44) (561.6 165.6), first row at the top.
    near(page.pixel(480, 140), (255, 0, 0), "the linked TIFF's first pixel")
    near(page.pixel(535, 100), (255, 200, 0), "the linked TIFF's last pixel")
    # A placed EPS file that does not exist is framed (here along y 72).
    page = check.picture(check.export("degenerate"))
    if not any(page.pixel(x, y)[0] < 200 for x in range(75, 100) for y in (71, 72, 73)):
        raise AssertionError("no frame for the missing placed file")
    # A linked TIFF the preview gives up on once it has opened it (the sample's photo marked
    # LZW-compressed) is framed and its file closed: the page turns red when it is left open.
    photo = open(os.path.join(ROOT, "tools", "aiexport", "sample", "50-raster.records")).read()
    photo = photo.split('@file "sample-photo.tif" <', 1)[1].split(">", 1)[0]
    lzw = photo.replace("030103000100000001000000", "030103000100000005000000")
    ai = export_text(check, "broken-tiff", """@file "broken.tif" <%s>
BeginPicture 0 0 8.5 11
BeginDrawingSection 8.5 11
PathBitmap "${OUTDIR}/broken.tif" 1 1 10 1 1 1
EndPicture
""" % lzw)
    probe = (b"Adobe_ColorImage_AI6 /_cv get dup /_tfile known { /_tfile get status"
             b" { gsave 1 0 0 setrgbcolor 0 0 612 792 rectfill grestore } if } { pop } ifelse")
    with open(ai, "rb") as f:
        document = f.read()
    document = document.replace(b"%%PageTrailer", probe + b"\n%%PageTrailer", 1)
    if probe not in document:
        raise AssertionError("no %%PageTrailer in the broken TIFF's export")
    with open(ai, "wb") as f:
        f.write(document)
    page = check.picture(ai)
    near(page.pixel(500, 500), WHITE, "the page after a broken linked TIFF")
    if not any(page.pixel(x, y)[0] < 200 for x in range(70, 75) for y in range(640, 720)):
        raise AssertionError("no frame for the broken linked TIFF")


def preview(*arguments):
    """Runs tools/ai-preview; returns what it printed."""
    run = subprocess.run([sys.executable, os.path.join(ROOT, "tools", "ai-preview"), *arguments],
                         capture_output=True, text=True)
    if run.returncode != 0:
        raise AssertionError("ai-preview %s: %s" % (" ".join(arguments), run.stderr))
    return run.stdout


def image_share(ai, dpi=72):
    return float(preview(ai, "--image-share", "--dpi", str(dpi)))


def page_area(ai):
    with open(ai, "rb") as f:
        box = ghostscript.page_box(f.read())
    return (box[2] - box[0]) * (box[3] - box[1])


MAGENTA = (255, 0, 255)


def case_marked(check):
    """The preview's marker mode paints each image, embedded or linked, as a rectangle of one
    colour and reads on past its data; the share of the page seen as image follows from it."""
    raster = check.export(os.path.join(ROOT, "tests", "interop", "records", "raster.records"))
    ppm = os.path.join(check.work, "marked.ppm")
    preview(raster, ppm, "--mark-images", "ff00ff")
    page = ghostscript.Picture(ppm)
    # Every pixel of both images, the white one too, is the marker; the paper is not.
    for x, y in ((90, 126), (126, 126), (90, 90), (126, 90), (297, 135), (351, 117)):
        near(page.pixel(x, y), MAGENTA, "the marked image at (%d, %d)" % (x, y))
    near(page.pixel(72, 200), WHITE, "above the marked image")
    near(page.pixel(200, 126), WHITE, "between the marked images")
    # The RGB image is 72 by 72 pt, the gray one 72 by 36.
    share = image_share(raster)
    expected = (72 * 72 + 72 * 36) / page_area(raster)
    if abs(share - expected) > 0.02 * expected:
        raise AssertionError("image share %.5f, expected %.5f" % (share, expected))
    if image_share(raster, 150) - share > 0.02 * expected:
        raise AssertionError("the image share depends on the resolution")

    # The left half of an image beneath a green square is not seen; the square after the
    # image's data is drawn in the marked picture too.
    covered = export_text(check, "covered-image", """BeginPicture 0 0 8.5 11
BeginDrawingSection 8.5 11
SetMatrix 0.5 0 0 0.5 1 2
BeginBitmap 2 2 6 8 3
Bitmap 0 1 <FF0000 00FF00 0000FF FFFFFF>
EndBitmap
SetFillType 1
SetFillColorByValue 0 0 160 0 0 0 0 0
BeginPath
MoveTo 1 1
LineTo 1.5 1
LineTo 1.5 2
LineTo 1 2
ClosePath
EndPath
EndPicture
""")
    preview(covered, ppm, "--mark-images", "ff00ff")
    page = ghostscript.Picture(ppm)
    near(page.pixel(90, 108), (0, 160, 0), "the square over the marked image")
    near(page.pixel(126, 108), MAGENTA, "the uncovered half of the marked image")
    share = image_share(covered)
    expected = 36 * 72 / page_area(covered)
    if abs(share - expected) > 0.02 * expected:
        raise AssertionError("image share of the half-covered image %.5f, expected %.5f"
                             % (share, expected))

    # Shapes, gradients and text only: nothing is image.
    for name in ("paths", "gradients-patterns"):
        ai = check.export(os.path.join(ROOT, "tests", "golden", name + ".records"))
        if image_share(ai) != 0.0:
            raise AssertionError("%s: image share %r without an image" % (name, image_share(ai)))

    # The linked TIFF of the sample fills its rectangle with the marker; the placed EPS beside
    # it is drawn as it is, being shapes.
    sample = check.sample()
    preview(sample, ppm, "--mark-images", "ff00ff")
    page = ghostscript.Picture(ppm)
    near(page.pixel(480, 140), MAGENTA, "the linked TIFF, marked")
    near(page.pixel(535, 100), MAGENTA, "the linked TIFF's last pixel, marked")
    near(page.pixel(396, 108), (51, 102, 204), "the placed EPS beside the marked TIFF", 40)


def with_code(source, code, target):
    """A copy of the document source with PostScript code put in after its setup."""
    with open(source, "rb") as f:
        document = f.read()
    document = document.replace(b"%%EndSetup\n", b"%%EndSetup\n" + code + b"\n", 1)
    with open(target, "wb") as f:
        f.write(document)
    return target


def export_text(check, name, text):
    """Replays the record script text (written into the work dir) into NAME.ai."""
    records = os.path.join(check.work, name + ".records")
    with open(records, "w") as f:
        f.write(text)
    return check.export(records, name)


def hex_rows(rows):
    return "<" + "".join(bytes(row).hex().upper() for row in rows) + ">"


def case_strangers(check):
    """Documents that the module does not write: one that reads a file outside its own
    directory draws nothing of it (one beside it is read: the frame of this test); a raster
    written on one long line draws, and so does what follows it; a placed EPS file that pops
    one value too many leaves the page to draw on."""
    # Fills the page blue when the file can be opened.
    code = (b"{ (%s) (r) file closefile gsave 0 0 1 setrgbcolor 0 0 612 792 rectfill grestore }"
            b" stopped pop")
    elsewhere = tempfile.mkdtemp(prefix="render-elsewhere-")
    try:
        for directory, drawn in ((elsewhere, False), (check.work, True)):
            secret = os.path.join(directory, "upload.txt")
            with open(secret, "w") as f:
                f.write("someone else's file\n")
            ai = with_code(os.path.join(ROOT, "tests", "golden", "paths.ai"),
                           code % secret.encode(), os.path.join(check.work, "reads.ai"))
            page = check.picture(ai)
            near(page.pixel(500, 500), (0, 0, 255) if drawn else WHITE,
                 "the page of a document that reads " + secret)
    finally:
        shutil.rmtree(elsewhere, ignore_errors=True)

    # 400 by 2 pixels, a red row over a blue one, 0.72 by 36 pt each from (72, 216) down; a
    # green square after it. Its data lines joined into one of 2,401 characters.
    ai = export_text(check, "long-line", """BeginPicture 0 0 8.5 11
BeginDrawingSection 8.5 11
SetMatrix 0.01 0 0 0.5 1 3
BeginBitmap 400 2 1200 8 3
Bitmap 0 1 %s
EndBitmap
SetFillType 1
SetFillColorByValue 0 0 160 0 0 0 0 0
BeginPath
MoveTo 6 1
LineTo 7 1
LineTo 7 2
LineTo 6 2
ClosePath
EndPath
EndPicture
""" % hex_rows([[255, 0, 0] * 400, [0, 0, 255] * 400]))
    with open(ai, "rb") as f:
        document = f.read()
    start = document.index(b"XI\n") + 3
    end = document.index(b"%%EndData", start)
    digits = b"".join(line[1:] for line in document[start:end].split(b"\n") if line)
    with open(ai, "wb") as f:
        f.write(document[:start] + b"%" + digits + b"\n" + document[end:])
    page = check.picture(ai)
    near(page.pixel(300, 200), (255, 0, 0), "the long line's first row")
    near(page.pixel(300, 160), (0, 0, 255), "the long line's second row")
    near(page.pixel(468, 108), (0, 160, 0), "the square after the long line")

    # The placed file fills its box, (72 144) (144 216) on the page, blue; a green square follows.
    eps = (b"%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 72 72\n"
           b"0 0 1 setrgbcolor 0 0 72 72 rectfill pop\n")
    ai = export_text(check, "pops", """@file "pops.eps" <%s>
BeginPicture 0 0 8.5 11
BeginDrawingSection 8.5 11
PathPostscript "${OUTDIR}/pops.eps" 1 2 1 0 72 72 0
SetFillType 1
SetFillColorByValue 0 0 160 0 0 0 0 0
BeginPath
MoveTo 6 1
LineTo 7 1
LineTo 7 2
LineTo 6 2
ClosePath
EndPath
EndPicture
""" % eps.hex())
    page = check.picture(ai)
    near(page.pixel(108, 180), (0, 0, 255), "the placed file that pops too many")
    near(page.pixel(468, 108), (0, 160, 0), "the square after the placed file")


def case_agree(check):
    """Ghostscript's picture and Scribus's picture of the same file agree."""
    import scribus_session
    if scribus_session.missing_programs() or shutil.which("pdftoppm") is None:
        raise SkipCase("Scribus, xvfb-run or pdftoppm missing")
    ai = check.export("agree")
    ours = check.picture(ai)
    pdf = os.path.join(check.work, "scribus.pdf")
    run = subprocess.run([sys.executable, os.path.join(ROOT, "tools", "ai-preview"), "--scribus",
                          ai, pdf], capture_output=True, text=True)
    if run.returncode != 0:
        raise AssertionError("Scribus route: " + run.stderr)
    theirs_ppm = os.path.join(check.work, "scribus")
    subprocess.run(["pdftoppm", "-r", "72", "-singlefile", pdf, theirs_ppm], check=True)
    theirs_ppm += ".ppm"
    theirs = ghostscript.Picture(theirs_ppm)
    differing = total = 0
    for x in range(0, 612, 2):
        for y in range(0, 792, 2):
            total += 1
            if any(abs(a - b) > 64 for a, b in zip(ours.pixel(x, y), theirs.pixel(x, y))):
                differing += 1
    if differing > 0.002 * total:
        raise AssertionError("%d of %d pixels differ between Ghostscript and Scribus"
                             % (differing, total))
    print("%d of %d pixels differ by more than 64" % (differing, total))


# Places of the sample inside a shape, a hole, an image or the text clip, away from edges,
# where a reader of its EPS form must draw what the direct picture shows: (x, y, what, whether
# the reader needs to read files beside the document: the placed EPS and the linked TIFF).
SAMPLE_PROBES = [
    (70, 692, "the red square", False), (265, 692, "the circle's fill", False),
    (535, 674, "the gray block", False), (70, 557, "a spot Red square", False),
    (250, 557, "the green frame", False), (320, 560, "the frame's hole", False),
    (510, 559, "the orange bar", False), (560, 378, "the clip beyond the text", False),
    (36.5, 270, "the linear gradient's start", False),
    (143.5, 270, "the linear gradient's end", False),
    (245, 272, "the hole of the gradient ring", False),
    (190, 317, "the radial gradient's rim", False),
    (45, 152, "the gray image's first pixel", False),
    (120, 82, "the gray image's last pixel", False),
    (150, 160, "the RGB image's first pixel", False),
    (396, 108, "the placed EPS", True), (480, 140, "the linked TIFF's first pixel", True),
]


def sample_eps(check):
    """The sample made an EPS file by the tool from the exported file, and the direct picture."""
    ai = check.sample()
    eps = os.path.join(check.work, "sample.eps")
    run = subprocess.run([check.tool, "--eps", ai, eps], capture_output=True, text=True)
    if run.returncode != 0:
        raise AssertionError("aiexport --eps: " + run.stderr)
    return eps, check.picture(ai)


def compare_probes(direct, picture, reader, beside=True):
    for x, y, what, needs_files in SAMPLE_PROBES:
        if beside or not needs_files:
            near(picture.pixel(x, y), direct.pixel(x, y), "%s in %s" % (what, reader), 40)
    check_text_clip(picture, reader)


def pdf_picture(check, pdf):
    prefix = os.path.join(check.work, os.path.basename(pdf))
    subprocess.run(["pdftoppm", "-r", "72", "-aa", "no", "-aaVector", "no", "-singlefile", pdf,
                    prefix], check=True)
    return ghostscript.Picture(prefix + ".ppm")


def case_eps(check):
    """The EPS form draws in Ghostscript and through ps2pdf as the document draws directly."""
    for program in ("ps2pdf", "pdftoppm"):
        if shutil.which(program) is None:
            raise SkipCase(program + " missing")

    def crop(eps):
        ppm = eps + ".ppm"
        run = subprocess.run(["gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-dEPSCrop",
                              "-sDEVICE=ppmraw", "-r72", "-sOutputFile=" + ppm, eps],
                             capture_output=True, text=True)
        if run.returncode != 0 or "Error" in run.stdout + run.stderr:
            raise AssertionError("gs -dEPSCrop %s: %s%s" % (eps, run.stdout, run.stderr))
        return ghostscript.Picture(ppm)

    eps, direct = sample_eps(check)
    compare_probes(direct, crop(eps), "Ghostscript's picture")
    pdf = eps + ".pdf"
    subprocess.run(["ps2pdf", "-dEPSCrop", eps, pdf], check=True)
    compare_probes(direct, pdf_picture(check, pdf), "ps2pdf's PDF")
    # From a script and from an SVG drawing; the page is the box (-0.5 36 143.5 261).
    box = os.path.join(check.work, "box.eps")
    for source, target in ((os.path.join(ROOT, "tests", "golden", "picture-box.records"), box),
                           (os.path.join(ROOT, "tests", "svg", "shapes.svg"), eps)):
        run = subprocess.run([check.tool, "--eps", source, target], capture_output=True, text=True)
        if run.returncode != 0:
            raise AssertionError("aiexport --eps %s: %s" % (source, run.stderr))
        page = crop(target)
    if (page.width, page.height) != (144, 72) or (crop(box).width, crop(box).height) != (144, 225):
        raise AssertionError("the page of box.eps is not its bounding box")


def case_eps_import(check):
    """Inkscape's import of the EPS form (ps2pdf, then its PDF import) and Scribus's EPS import
    draw the sample as it draws directly."""
    eps, direct = sample_eps(check)
    done = False
    pil = os.path.exists("/usr/bin/python3") and \
        subprocess.run(["/usr/bin/python3", "-c", "import PIL"],
                       capture_output=True).returncode == 0
    if shutil.which("inkscape") and shutil.which("ps2pdf") and pil:
        # Inkscape's EPS input asks for its options in a dialog, even on the command line; these
        # are its steps with the options it passes.
        pdf, png = eps + ".pdf", eps + ".inkscape.png"
        subprocess.run(["ps2pdf", "-dEPSCrop", "-dAutoRotatePages=/None", eps, pdf], check=True)
        env = dict(os.environ, INKSCAPE_PROFILE_DIR=os.path.join(check.work, "inkscape"))
        subprocess.run(["inkscape", pdf, "--export-type=png", "--export-dpi=72",
                        "--export-background=white", "--export-background-opacity=1",
                        "--export-filename=" + png],
                       env=env, capture_output=True, timeout=180)
        ppm = png + ".ppm"
        convert = subprocess.run(["/usr/bin/python3", "-c", "import sys; from PIL import Image; "
                                  "Image.open(sys.argv[1]).convert('RGB').save(sys.argv[2])",
                                  png, ppm], capture_output=True, text=True)
        if convert.returncode != 0:
            raise AssertionError("no picture from Inkscape: " + convert.stderr[-400:])
        compare_probes(direct, ghostscript.Picture(ppm), "Inkscape's picture")
        done = True
    import scribus_session
    if not scribus_session.missing_programs() and shutil.which("pdftoppm"):
        pdf = os.path.join(check.work, "scribus.pdf")
        preview = os.path.join(ROOT, "tools", "ai-preview")
        run = subprocess.run([sys.executable, preview, "--scribus", eps, pdf],
                             capture_output=True, text=True)
        if run.returncode != 0:
            raise AssertionError("Scribus's EPS import: " + run.stderr)
        # Scribus runs Ghostscript without access to the files beside the document.
        compare_probes(direct, pdf_picture(check, pdf), "Scribus's picture", beside=False)
        done = True
    if not done:
        raise SkipCase("neither Inkscape with python3-pil nor Scribus is installed")


class SkipCase(Exception):
    pass


CASES = {name[5:].replace("_", "-"): f for name, f in globals().items() if name.startswith("case_")}


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--tool", required=True)
    parser.add_argument("case", choices=sorted(CASES))
    args = parser.parse_args()
    if shutil.which("gs") is None:
        print("SKIP: ghostscript not installed")
        return 77
    work = tempfile.mkdtemp(prefix="render-" + args.case + "-")
    try:
        CASES[args.case](Check(os.path.abspath(args.tool), work))
    except SkipCase as reason:
        print("SKIP: %s" % reason)
        return 77
    except (AssertionError, ghostscript.RenderFailed) as failure:
        traceback.print_exc()
        print("FAILED %s: %s (files kept in %s)" % (args.case, failure, work))
        return 1
    shutil.rmtree(work, ignore_errors=True)
    print("passed " + args.case)
    return 0


if __name__ == "__main__":
    sys.exit(main())
