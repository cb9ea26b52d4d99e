"""What Scribus must report for each exported record script (records/NAME.records)."""

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
    equal((rectangle["lineCap"], rectangle["lineJoin"]), (ROUND_CAP, ROUND_JOIN), "rectangle cap, join")

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
    equal((returning["lineCap"], returning["lineJoin"]), (FLAT_CAP, MITER_JOIN), "closed path cap, join")
    expect(doc.sla_items()[3].get("path").endswith("Z"), "the path that returns to its start is closed")

    box(diagonal, 216, 432, 288, 504)
    paint(doc, diagonal, None, ("RGB", (0, 128, 0)))
    near(diagonal["lineWidth"], 2.16, "line width")


CHECKS = {
    "minimal": check_minimal,
    "paths": check_paths,
}
