"""What Scribus must report for each exported record script (records/NAME.records)."""

import tiff

TOLERANCE = 0.01  # points, after Scribus's own unit conversion
PAGE_HEIGHT = 792.0  # 11 inches; Scribus measures y downwards from the page top

# Qt pen codes that Scribus reports for caps and joins.
FLAT_CAP, SQUARE_CAP, ROUND_CAP = 0x00, 0x10, 0x20
MITER_JOIN, BEVEL_JOIN, ROUND_JOIN = 0x00, 0x40, 0x80
SOLID_LINE = 1


def expect(condition, message):
    if not condition:
        raise AssertionError(message)


def equal(actual, expected, what):
    expect(actual == expected, "%s: Scribus reports %r, expected %r" % (what, actual, expected))


def near(actual, expected, what):
    expect(actual is not None and abs(actual - expected) <= TOLERANCE,
           "%s: Scribus reports %r, expected %r" % (what, actual, expected))


def box(item, left, bottom, right, top, page_height=PAGE_HEIGHT):
    """The item covers the box given in PostScript points, y upwards."""
    what = item["name"]
    near(item["x"], left, what + " x")
    near(item["y"], page_height - top, what + " y")
    near(item["width"], right - left, what + " width")
    near(item["height"], top - bottom, what + " height")


def colour(doc, name):
    """('RGB', (r, g, b) 0-255) or ('CMYK', (c, m, y, k) percent) as Scribus stores the colour."""
    element = next((c for c in doc.sla.iter("COLOR") if c.get("NAME") == name), None)
    expect(element is not None, "Scribus has no colour named %r" % name)
    if element.get("SPACE") == "RGB":
        return "RGB", tuple(round(float(element.get(k))) for k in ("R", "G", "B"))
    return "CMYK", tuple(round(float(element.get(k)), 1) for k in ("C", "M", "Y", "K"))


def paint(doc, item, fill, line):
    """fill and line are None (no paint) or the expected colour() value."""
    for key, expected in (("fill", fill), ("line", line)):
        name = item[key]
        what = "%s %s colour" % (item["name"], key)
        if expected is None:
            equal(name, "None", what)
        else:
            expect(name not in (None, "None"), what + ": Scribus shows none")
            equal(colour(doc, name), expected, what)


def kinds(items):
    return [i["type"] for i in items]


def check_minimal(doc):
    # The page takes the picture's size from the bounding box: 4 by 3 inches.
    near(doc.page_size[0], 288.0, "page width")
    near(doc.page_size[1], 216.0, "page height")
    equal([l["name"] for l in doc.layers], ["Background"], "layers")
    equal(doc.items, [], "items")


def check_paths(doc):
    # The path with neither fill nor stroke ("n") and the horizontal line are
    # absent: the first by the format, the second by Scribus (docs/interop.md).
    triangle, rectangle, curve, returning, diagonal = doc.items
    equal(kinds(doc.items), ["Polygon", "Polygon", "Polyline", "Polygon", "Polyline"], "kinds")

    box(triangle, 72, 72, 144, 144)
    paint(doc, triangle, ("RGB", (255, 0, 0)), None)

    box(rectangle, 216, 72, 360, 144)
    paint(doc, rectangle, ("CMYK", (0, 100, 100, 0)), ("CMYK", (0, 0, 0, 49.8)))
    near(rectangle["lineWidth"], 3.6, "rectangle line width")
    equal((rectangle["lineCap"], rectangle["lineJoin"]), (ROUND_CAP, ROUND_JOIN),
          "rectangle cap, join")

    # Scribus bounds a curve by the curve itself, not by its control points.
    box(curve, 72, 234, 360, 342)
    paint(doc, curve, None, ("RGB", (0, 0, 255)))
    near(curve["lineWidth"], 1.44, "curve line width")
    equal((curve["lineCap"], curve["lineJoin"]), (SQUARE_CAP, BEVEL_JOIN), "curve cap, join")
    # The file dashes this stroke; Scribus's reader ignores the d operator.
    equal(curve["lineStyle"], SOLID_LINE, "curve line style (dash dropped by Scribus)")
    sla_curve = doc.sla_items()[2]
    equal(sla_curve.get("path").split()[0:1] + [sla_curve.get("path").count("C")], ["M0", 2],
          "curve segments")

    box(returning, 432, 72, 504, 144)
    paint(doc, returning, None, ("RGB", (0, 0, 255)))
    equal((returning["lineCap"], returning["lineJoin"]), (FLAT_CAP, MITER_JOIN),
          "closed path cap, join")
    expect(doc.sla_items()[3].get("path").endswith("Z"),
           "the path that returns to its start is closed")

    box(diagonal, 216, 432, 288, 504)
    paint(doc, diagonal, None, ("RGB", (0, 128, 0)))
    near(diagonal["lineWidth"], 2.16, "line width")


def tree(items):
    """(kind, members) pairs: the nesting without the geometry."""
    return [(i["type"], tree(i.get("children", []))) if i["type"] == "Group" else i["type"]
            for i in items]


def check_structure(doc):
    equal([(l["name"], l["visible"], l["printable"]) for l in doc.layers],
          [("Back", True, True), ("Front (top)", False, True)], "layers, bottom to top")
    # Scribus wraps each layer's objects in a group of its own; the groups of
    # the file, nested, are inside it. Objects after the last layer bracket
    # (an undeclared layer) stay on the last layer, outside its group.
    equal(tree(doc.items), [
        ("Group", [("Group", ["Polygon", ("Group", ["Polygon"])])]),
        ("Group", ["Polygon"]),
        "Polygon",
        ("Group", ["Polygon"]),
    ], "nesting")
    equal([i["layer"] for i in doc.items], ["Back", "Front (top)", "Front (top)", "Front (top)"],
          "layer of each object")
    back, front, undeclared, mask = doc.items
    outer = back["children"][0]
    red, inner = outer["children"]
    teal = inner["children"][0]
    box(outer, 72, 72, 288, 144)
    box(red, 72, 72, 144, 144)
    box(teal, 216, 72, 288, 144)
    # A colour that is not a spot colour is written by value: its name is not
    # in the file, and Scribus names it after its value.
    paint(doc, red, ("RGB", (200, 20, 20)), None)
    # The spot colour keeps its name and values, shown in full (tint 0).
    paint(doc, teal, ("CMYK", (80, 0, 40, 10)), None)
    equal(teal["fill"], "Process Teal", "spot colour name")
    expect(doc.colours["Process Teal"]["spot"], "Process Teal is a spot colour")
    equal(teal["fillShade"], 100, "spot colour shade")

    # The compound path is one object with two subpaths, filled even-odd.
    compound = front["children"][0]
    box(compound, 72, 288, 216, 432)
    paint(doc, compound, ("CMYK", (0, 0, 0, 100)), None)
    element = [e for e in doc.sla_items() if e.get("PTYPE") == "6"][2]
    equal(element.get("path").count("M"), 2, "subpaths of the compound path")
    expect(element.get("fillRule", "1") != "0", "the compound path is filled even-odd")
    # The guide is a guide in the file; Scribus shows no object for it.

    box(undeclared, 360, 288, 432, 360)
    paint(doc, undeclared, ("RGB", (0, 0, 255)), None)

    # The mask: a group clipped by the path of the clip region.
    box(mask, 396, 540, 576, 720)
    box(mask["children"][0], 396, 540, 576, 720)
    clip = [e for e in doc.sla_items() if e.get("PTYPE") == "12"][-1].get("path")
    equal(clip, "M36 144 L108 144 L108 72 L36 72 Z", "clip path of the mask, in the group")


def text_at(item, x, baseline, size):
    """Scribus places a point text's frame with its top at baseline + size + 2."""
    near(item["x"], x, item["name"] + " x")
    near(item["y"], PAGE_HEIGHT - baseline - size - 2, item["name"] + " y")
    near(item["fontSize"], size, item["name"] + " font size")


def check_text(doc):
    equal(kinds(doc.items), ["TextFrame"] * 3, "kinds")
    hello, serif, unknown = doc.items
    # Parentheses and the backslash travel escaped and arrive as they were.
    equal(hello["text"], "Hello (world) \\ 1", "characters")
    equal(hello["font"], "Liberation Sans Regular", "font (ArialMT, substituted)")
    text_at(hello, 72, 648, 24)
    equal(colour(doc, hello["textColor"]), ("RGB", (0, 0, 255)), "text colour")
    # A size not given as em size is written divided by its factor.
    equal(serif["text"], "Serif", "characters")
    equal(serif["font"], "Liberation Serif Bold Italic", "font (TimesNewRomanPS-BoldItalicMT)")
    text_at(serif, 72, 504, 17.6327)
    # A font outside the table keeps the host's name, Foo-Bold.
    equal(unknown["text"], "Unknown", "characters")
    equal(unknown["font"], "Liberation Sans Bold", "font (Foo-Bold, substituted)")
    text_at(unknown, 288, 504, 10)


def gradient_stops(doc, name):
    element = next((g for g in doc.sla.iter("Gradient") if g.get("Name") == name), None)
    expect(element is not None, "Scribus has no gradient named %r" % name)
    return [(float(s.get("RAMP")), colour(doc, s.get("NAME"))) for s in element.iter("CSTOP")]


def check_gradients(doc):
    equal(kinds(doc.items), ["Polygon", "Polygon"], "kinds")
    linear, radial = doc.sla_items()
    box(doc.items[0], 72, 72, 216, 144)
    box(doc.items[1], 288, 72, 432, 216)
    # Stops are written in CMYK (RGB converted); Scribus names them by value.
    equal((linear.get("GRTYP"), linear.get("GRNAME")), ("6", "Fade"), "linear gradient fill")
    equal(gradient_stops(doc, "Fade"), [(0.0, ("CMYK", (0, 100, 100, 0))),
                                        (1.0, ("CMYK", (100, 100, 0, 0)))], "stops of Fade")
    # From the middle of the left edge to the middle of the right edge, in the object.
    equal([float(linear.get(k)) for k in ("GRSTARTX", "GRSTARTY", "GRENDX", "GRENDY")],
          [0, 36, 144, 36], "linear gradient vector")
    equal((radial.get("GRTYP"), radial.get("GRNAME")), ("7", "Glow"), "radial gradient fill")
    equal(gradient_stops(doc, "Glow"), [(0.0, ("CMYK", (0, 100, 0, 0))),
                                        (1.0, ("CMYK", (0, 0, 0, 0)))], "stops of Glow")
    equal([float(radial.get(k)) for k in ("GRSTARTX", "GRSTARTY", "GRENDX", "GRENDY")],
          [72, 72, 144, 72], "radial gradient centre and radius")


def check_patterns(doc):
    equal(kinds(doc.items), ["Polygon"], "kinds")
    box(doc.items[0], 72, 72, 288, 216)
    filled = doc.sla_items()[0]
    equal((filled.get("GRTYP"), filled.get("pattern")), ("8", "Checks"), "pattern fill")
    pattern = next(p for p in doc.sla.iter("Pattern") if p.get("Name") == "Checks")
    equal((float(pattern.get("width")), float(pattern.get("height"))), (36.0, 36.0), "tile size")
    tiles = [e for e in pattern.iter("PAGEOBJECT")]
    # The background rectangle, then the tile's two squares, in tile coordinates.
    equal([(float(e.get("gXpos")), float(e.get("gYpos")), float(e.get("WIDTH")),
            float(e.get("HEIGHT")), e.get("PCOLOR")) for e in tiles],
          [(0, 0, 36, 36, "White"), (0, 18, 18, 18, "FromAI#ff0000"),
           (18, 0, 18, 18, "FromAI#ff0000")], "tile items")


def shifted(samples):
    """Scribus's reading of hexadecimal raster data: it decodes the XI line as
    data too, so one zero byte comes first and the last byte is lost."""
    return [0] + samples[:-1]


def check_raster(doc):
    equal(kinds(doc.items), ["ImageFrame", "ImageFrame"], "kinds")
    rgb, gray = doc.items
    # Each pixel is half an inch (quarter inch) square; the image hangs from
    # the matrix's origin, its first row at the top.
    box(rgb, 72, 72, 144, 144)
    box(gray, 288, 108, 360, 144)
    width, height, samples, pixels = tiff.read(rgb["imageCopy"])
    equal((width, height, samples), (2, 2, 3), "RGB image size and samples")
    stream = [0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF]
    equal([v for row in pixels for p in row for v in p], shifted(stream), "RGB samples")
    width, height, samples, pixels = tiff.read(gray["imageCopy"])
    equal((width, height), (4, 2), "gray image size")
    # One channel is written inverted; Scribus widens it to RGB.
    stream = [0xFF, 0xBF, 0x80, 0x00, 0x00, 0x80, 0xBF, 0xFF]
    equal([p[0] for row in pixels for p in row], shifted(stream), "gray samples")
    expect(all(p[0] == p[1] == p[2] for row in pixels for p in row), "gray pixels are gray")


def check_placed(doc):
    # The file places the EPS by name with its matrix and box; Scribus's
    # reader ignores placed-art brackets and shows nothing for them.
    expect("(%s/logo.eps) `" % doc.ai_dir in doc.ai_text, "the file names the placed EPS")
    # The linked TIFF (4 by 4 pixels) is placed in the rectangle from (144, 144)
    # to (252, 252): its XF matrix is [1 0 0 1 144 36] with the bounds
    # 0 0 108 108. Scribus loads the file but sizes the frame by its pixels and
    # puts the image's top edge at the matrix origin.
    expect("(%s/photo.tif)  1 XG" % doc.ai_dir in doc.ai_text, "the file links the TIFF")
    equal(kinds(doc.items), ["ImageFrame"], "items (placed art dropped, linked image kept)")
    box(doc.items[0], 144.0, 32.0, 148.0, 36.0)


def check_sample(doc):
    # The built-in sample grows with the module; whatever it holds opens, on
    # a letter page, with every object on the page.
    near(doc.page_size[0], 612.0, "page width")
    near(doc.page_size[1], 792.0, "page height")
    for item in doc.all_items():
        expect(-TOLERANCE <= item["x"] and item["x"] + item["width"] <= 612 + TOLERANCE
               and -TOLERANCE <= item["y"] and item["y"] + item["height"] <= 792 + TOLERANCE,
               "%s lies outside the page: %r" % (item["name"], item))


# SVG drawings (tests/svg): Scribus must find each shape where the SVG's own
# numbers put it. Scribus measures from the page's top left, as SVG does.
def svg_box(item, x, y, width, height, scale):
    """The item covers the SVG user-space box (x, y, width, height); scale is points per user
    unit."""
    what = item["name"]
    for key, expected in (("x", x), ("y", y), ("width", width), ("height", height)):
        near(item[key], expected * scale, "%s %s" % (what, key))


def check_svg_shapes(doc):
    # 2 by 1 inches over a viewBox of 384 by 192: 0.375 points a user unit.
    near(doc.page_size[0], 144.0, "page width")
    near(doc.page_size[1], 72.0, "page height")
    equal([l["name"] for l in doc.layers], ["Layer 1"], "layers")
    leaves = doc.leaves()
    # The horizontal <line> is dropped by Scribus, as every horizontal line.
    equal(kinds(leaves), ["Polygon"] * 4 + ["Polyline", "Polygon", "Polygon", "Polygon"], "kinds")
    plain, rounded, circle, ellipse, polyline, polygon, compound, transformed = leaves
    s = 0.375
    svg_box(plain, 0, 0, 96, 48, s)
    paint(doc, plain, ("RGB", (255, 0, 0)), None)
    svg_box(rounded, 192, 0, 96, 48, s)
    svg_box(circle, 24, 120, 48, 48, s)
    paint(doc, circle, ("RGB", (0, 0, 255)), None)
    svg_box(ellipse, 96, 120, 96, 48, s)
    paint(doc, ellipse, None, ("CMYK", (0, 0, 0, 100)))
    near(ellipse["lineWidth"], s, "ellipse line width")
    svg_box(polyline, 0, 96, 192, 96, s)
    svg_box(polygon, 288, 96, 96, 96, s)
    # The arc reaches 48 units left of 192, the quadratic's extreme is 312.
    svg_box(compound, 144, 96, 168, 96, s)
    # translate(192 0) rotate(90) scale(2) of the rectangle (0, -48, 24, 12).
    svg_box(transformed, 264, 0, 24, 48, s)
    paint(doc, transformed, ("RGB", (128, 0, 128)), None)


def check_svg_gradients(doc):
    # 192 by 96 pixels: 0.75 points a user unit.
    square, wide, tall, round_, one, none = doc.leaves()
    s = 0.75
    svg_box(square, 0, 0, 48, 48, s)
    svg_box(wide, 48, 0, 96, 48, s)
    svg_box(round_, 72, 48, 48, 48, s)
    paint(doc, one, ("CMYK", (0, 0, 0, 49.8)), None)
    paint(doc, none, None, ("CMYK", (0, 0, 0, 100)))
    linear, diagonal, user, radial = doc.sla_items()[1:5]

    def vector(element):
        return [round(float(element.get(k)), 2)
                for k in ("GRSTARTX", "GRSTARTY", "GRENDX", "GRENDY")]

    equal((linear.get("GRTYP"), linear.get("GRNAME")), ("6", "across"), "linear gradient")
    equal(vector(linear), [0, 0, 36, 0], "left to right across the square")
    # (0,0) to (1,1) in a box twice as wide as high: the lines of equal
    # colour run along the other diagonal, so the vector is steeper than the
    # box's diagonal and ends where the far corner's line crosses it.
    equal(vector(diagonal), [0, 0, 28.8, 57.6], "bounding-box vector on a wide box")
    # rotate(90) of (0,0)-(48,0) in user space: straight down from the page
    # top, 36 points above the shape, to the shape's top edge.
    equal(vector(user), [0, -36, 0, 0], "user-space vector under a transform")
    equal(vector(radial), [18, 18, 36, 18], "radial centre and radius")
    equal(gradient_stops(doc, "across"), [(0.0, ("CMYK", (100, 100, 0, 0))),
                                          (1.0, ("CMYK", (0, 0, 0, 0)))], "stops of across")


CHECKS = {
    "svg-shapes": check_svg_shapes,
    "svg-gradients": check_svg_gradients,
    "minimal": check_minimal,
    "paths": check_paths,
    "structure": check_structure,
    "text": check_text,
    "gradients": check_gradients,
    "patterns": check_patterns,
    "raster": check_raster,
    "placed": check_placed,
    "sample": check_sample,
}
