# Runs inside Scribus: opens AIEXPORT_AI and writes what Scribus reports about it as JSON.
import json
import os
import shutil
import traceback

import scribus

AI = os.environ["AIEXPORT_AI"]
OUT = os.environ["AIEXPORT_JSON"]


def attempt(function, *args):
    """A query that does not apply to an item raises; that is an answer too."""
    try:
        return function(*args)
    except Exception:  # noqa: BLE001 - the scripter raises several kinds
        return None


def item(name):
    kind = scribus.getObjectType(name)
    x, y = scribus.getPosition(name)
    w, h = scribus.getSize(name)
    d = {
        "name": name, "type": kind, "x": x, "y": y, "width": w, "height": h,
        "fill": attempt(scribus.getFillColor, name),
        "fillShade": attempt(scribus.getFillShade, name),
        "line": attempt(scribus.getLineColor, name),
        "lineShade": attempt(scribus.getLineShade, name),
        "lineWidth": attempt(scribus.getLineWidth, name),
        "lineStyle": attempt(scribus.getLineStyle, name),
        "lineJoin": attempt(scribus.getLineJoin, name),
        "lineCap": attempt(scribus.getLineCap, name),
        "rotation": attempt(scribus.getRotation, name),
    }
    if kind == "TextFrame":
        d["text"] = attempt(scribus.getAllText, name)
        d["font"] = attempt(scribus.getFont, name)
        d["fontSize"] = attempt(scribus.getFontSize, name)
        d["textColor"] = attempt(scribus.getTextColor, name)
    if kind == "ImageFrame":
        d["imageFile"] = attempt(scribus.getImageFile, name)
        d["imageScale"] = attempt(scribus.getImageScale, name)
        d["imageOffset"] = attempt(scribus.getImageOffset, name)
        d["imageColorSpace"] = attempt(scribus.getImageColorSpace, name)
        # An embedded image lives in a temporary file of this session; keep a
        # copy for the driver, which reads its pixels.
        if d["imageFile"] and os.path.exists(d["imageFile"]):
            copy = "%s.%s.tif" % (OUT, name)
            shutil.copyfile(d["imageFile"], copy)
            d["imageCopy"] = copy
    return d


def walk(names):
    """The items with their members; the scripter lists a group's members only
    once the group is dissolved, so each group is ungrouped after it is read."""
    result = []
    for name in names:
        d = item(name)
        if d["type"] == "Group":
            before = set(scribus.getAllObjects())
            scribus.unGroupObjects(name)
            d["children"] = walk([o for o in scribus.getAllObjects() if o not in before])
        result.append(d)
    return result


def colour(name):
    return {"name": name, "cmyk": attempt(scribus.getColor, name),
            "rgb": attempt(scribus.getColorAsRGB, name),
            "spot": attempt(scribus.isSpotColor, name)}


def main():
    scribus.openDoc(AI)
    scribus.setUnit(scribus.UNIT_POINTS)
    # The document as Scribus stores it: what the scripter does not report
    # (gradients, patterns, fill rule, path data) is read from there.
    scribus.saveDocAs(OUT + ".sla")
    layers = []
    for name in scribus.getLayers():
        layers.append({"name": name, "visible": bool(scribus.isLayerVisible(name)),
                       "printable": bool(scribus.isLayerPrintable(name)),
                       "items": attempt(lambda n: scribus.getAllObjects(layer=n), name) or []})
    doc = {
        "pageSize": scribus.getPageSize(),
        "layers": layers,
        "colours": [colour(n) for n in scribus.getColorNames()],
    }
    top = scribus.getAllObjects()
    tree = walk(top)
    for entry in tree:
        entry["layer"] = next((l["name"] for l in layers if entry["name"] in l["items"]), None)
    doc["items"] = tree
    return doc


try:
    result = main()
except Exception:  # noqa: BLE001 - reported to the driver, which fails the test
    result = {"error": traceback.format_exc()}
with open(OUT, "w", encoding="utf-8") as f:
    json.dump(result, f, indent=1)
