#!/usr/bin/env python3
"""Writes the seed corpora of the fuzzers (fuzz/corpus/*). Run it again after
the records change: record selectors are indices into host/Records.def."""
import os
import re
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

records_text = open(os.path.join(ROOT, "src/host/Records.def")).read()
ORDER = re.findall(r"^AIEXPORT_RECORD\((\w+),", records_text, re.M)
catalog_text = open(os.path.join(ROOT, "tests/reliability/RecordCatalog.h")).read()
UNKNOWN = re.search(r"kUnknownOpcodes\[\] = \{([^}]*)\}", catalog_text).group(1).split(",")
EXPORT_AGAIN = len(ORDER) + len(UNKNOWN)
NULL_NEXT = EXPORT_AGAIN + 1


def rec(name, payload=b""):
    return bytes([ORDER.index(name)]) + payload


def text(s):
    data = s.encode("latin-1") if isinstance(s, str) else s
    return struct.pack("<H", len(data)) + data


def name64(s):
    return s.encode("latin-1").ljust(64, b"\0")


def color_rgb(r, g, b):
    return struct.pack("<HHHH4d", 0, r, g, b, 0, 0, 0, 0)


def color_cmyk(c, m, y, k):
    return struct.pack("<HHHH4d", 1, 0, 0, 0, c, m, y, k)


PICTURE = rec("BeginPicture", struct.pack("<I4d", 0, 0, 0, 8.5, 11))
SECTION = rec("BeginDrawingSection", struct.pack("<2d", 8.5, 11))
END = rec("EndPicture")


def path(points, closed=True):
    out = rec("BeginPath") + rec("MoveTo", struct.pack("<2d", *points[0]))
    for p in points[1:]:
        if len(p) == 2:
            out += rec("LineTo", struct.pack("<2d", *p))
        else:
            out += rec("CurveTo", struct.pack("<6d", *p))
    if closed:
        out += rec("ClosePath")
    return out + rec("EndPath")


def tiff(little=True, width=40, height=30, bps=8, photometric=2, width_long=False,
         bps_through_offset=False, entries=None):
    e = "<" if little else ">"
    head = (b"II" if little else b"MM") + struct.pack(e + "HI", 42, 8)
    fields = []
    if width_long:
        fields.append(struct.pack(e + "HHII", 256, 4, 1, width))
    else:
        fields.append(struct.pack(e + "HHIHH", 256, 3, 1, width, 0))
    fields.append(struct.pack(e + "HHIHH", 257, 3, 1, height, 0))
    ifd_end = 8 + 2 + 12 * (4 if entries is None else entries) + 4
    if bps_through_offset:
        fields.append(struct.pack(e + "HHII", 258, 3, 3, ifd_end))
    else:
        fields.append(struct.pack(e + "HHIHH", 258, 3, 1, bps, 0))
    fields.append(struct.pack(e + "HHIHH", 262, 3, 1, photometric, 0))
    if entries is not None:
        fields = fields[:entries]
    body = struct.pack(e + "H", len(fields)) + b"".join(fields) + struct.pack(e + "I", 0)
    tail = struct.pack(e + "HHH", bps, bps, bps) if bps_through_offset else b""
    return head + body + tail


def record_seeds():
    seeds = {}
    seeds["minimal"] = PICTURE + SECTION + END
    seeds["no-section"] = PICTURE + END
    seeds["paths"] = (PICTURE + SECTION
                      + rec("SetFillColorByValue", color_rgb(255, 128, 0))
                      + rec("SetStrokeColorByValue", color_cmyk(0.1, 0.2, 0.3, 0.4))
                      + rec("SetStroke", struct.pack("<hdhhd", 2, 0.02, 1, 1, 4))
                      + rec("SetFillType", struct.pack("<H", 1))
                      + path([(1, 9), (2, 9), (2, 10, 3, 10.5, 4, 9.5), (1, 10)])
                      + rec("Line", struct.pack("<4d", 5, 9, 6, 10))
                      + rec("SetFillMode", struct.pack("<H", 1))
                      + path([(6, 9), (7, 9), (7, 10)], closed=False)
                      + END)
    seeds["structure"] = (PICTURE
                          + rec("DefineLayer", b"Art".ljust(256, b"\0") + struct.pack("<i", 1))
                          + rec("DefineLayer", b"Hidden".ljust(256, b"\0") + struct.pack("<i", 0))
                          + SECTION
                          + rec("BeginLayer", text("Art\0"))
                          + rec("BeginGroup")
                          + rec("BeginComposite") + path([(1, 7), (2, 7), (2, 8)])
                          + path([(1.2, 7.2), (1.5, 7.2), (1.5, 7.5)]) + rec("EndComposite")
                          + rec("BeginMask") + path([(3, 7), (4, 7), (4, 8)]) + rec("EndMask")
                          + rec("BeginClipRgn") + path([(5, 7), (6, 7), (6, 8)])
                          + rec("EndClipRgn")
                          + rec("BeginGuide") + path([(0, 7.5), (8.5, 7.5)], closed=False)
                          + rec("EndGuide")
                          + rec("SetMatrix", struct.pack("<6d", 1, 0, 0, 1, 0.5, 0.5))
                          + rec("EndGroup") + rec("EndLayer")
                          + END)
    seeds["text"] = (PICTURE + SECTION
                     + rec("SetTextType", struct.pack("<H", 0))
                     + rec("BeginText")
                     + rec("SetCharAttr", struct.pack("<H64sH64sIIIdBBddddd", 9, name64("Helvetica"),
                                                      4, name64("Bold"), 0, 0, 0, 12, 0, 0, 100,
                                                      0, 0, 0, 0))
                     + rec("SetTextAttr", struct.pack("<IIIIddI", 1, 0, 0, 0, 14, 0, 0))
                     + rec("SetTextMatrix", struct.pack("<6d", 1, 0, 0, 1, 1, 6))
                     + rec("SetTextScale", struct.pack("<2d", 1, 1))
                     + rec("SetTextVerOffset", struct.pack("<d", 0.1))
                     + rec("SetTextTracking", struct.pack("<d", 20))
                     + rec("Text", text("Hello (world) \\ \x80\xff"))
                     + rec("AppendText", text(" again\r"))
                     + rec("EndText")
                     + rec("BeginSimpleText") + rec("Text", text("simple")) + rec("EndSimpleText")
                     + END)
    seeds["gradients-patterns"] = (
        PICTURE
        + rec("SetColorDef", struct.pack("<H64s", 1, name64("Spot Red")) + color_cmyk(0, 1, 1, 0)
              + struct.pack("<H", 1))
        + rec("SetGradientDef", struct.pack("<H64s", 1, name64("Fade")))
        + rec("SetGradient2", struct.pack("<h4d", 0, 0, 0, 1, 1))
        + rec("SetGradientRGN", struct.pack("<dd", 0, 50) + color_rgb(255, 0, 0)
              + struct.pack("<Hd", 0, 0) + bytes(66) + struct.pack("<H", 0))
        + rec("SetGradientRGN", struct.pack("<dd", 100, 50) + color_cmyk(0, 0, 1, 0)
              + struct.pack("<Hd", 1, 0.5) + bytes(66) + struct.pack("<H", 0))
        + rec("EndGradient")
        + rec("SetPatternSections", struct.pack("<i", 1))
        + rec("SetPatternDef", struct.pack("<H64s5dH", 1, name64("Dots"), 0.5, 0.5, 0, 0, 0, 0))
        + rec("SetPatternTrans", text("t"))
        + rec("SetPatternColSpacing", struct.pack("<d", 0.1))
        + rec("SetPatternRowSpacing", struct.pack("<d", 0.1))
        + rec("SetPatternBackground", color_rgb(255, 255, 255))
        + rec("BeginPattern") + path([(0, 0), (0.2, 0), (0.2, 0.2)]) + rec("EndPattern")
        + rec("EndPatternSection")
        + SECTION
        + rec("SetFillTypeName", struct.pack("<HH64s", 2, 1, name64("Fade")))
        + path([(1, 3), (2, 3), (2, 4)])
        + rec("SetFillTypeName", struct.pack("<HH64s", 3, 1, name64("Dots")))
        + path([(3, 3), (4, 3), (4, 4)])
        + rec("SetFillColorByName", struct.pack("<H64s", 1, name64("Spot Red")))
        + rec("SetStrokeColorByName", struct.pack("<H64s", 1, name64("Spot Red")))
        + path([(5, 3), (6, 3), (6, 4)])
        + END)
    rows = bytes(range(0, 48))
    seeds["raster"] = (PICTURE + SECTION
                       + rec("SetMatrix", struct.pack("<6d", 2, 0, 0, 1, 1, 1))
                       + rec("BeginBitmap", struct.pack("<6dhhhHH", 0, 0, 0, 0, 0, 0, 4, 4, 12, 8, 3))
                       + rec("Bitmap", struct.pack("<hh", 0, 1) + rows[:24])
                       + rec("Bitmap", struct.pack("<hh", 2, 3) + rows[24:])
                       + rec("EndBitmap")
                       + rec("BeginBitmap", struct.pack("<6dhhhHH", 0, 0, 0, 0, 0, 0, 31, 1, 31, 8, 0))
                       + rec("Bitmap", struct.pack("<hh", 0, 0) + bytes(range(31)))
                       + rec("EndBitmap")
                       + rec("BeginBitmap", struct.pack("<6dhhhHH", 0, 0, 0, 0, 0, 0, 9, 9, 2, 1, 2))
                       + rec("Bitmap", struct.pack("<hh", 0, 8)) + rec("EndBitmap")
                       + rec("PathPostscript", b"E:\\art\\logo (1).eps".ljust(258, b"\0")
                             + struct.pack("<5d", 1, 1, 0, 0, 1) + bytes(12)
                             + struct.pack("<4i", 0, 50, 100, 0))
                       + rec("PathBitmap", b"t.tif".ljust(258, b"\0")
                             + struct.pack("<H5d", 1, 1, 1, 2, 1, 1))
                       + END)
    seeds["hostile"] = (rec("EndGroup") + rec("MoveTo", struct.pack("<2d", 1, 1)) + PICTURE + PICTURE
                        + bytes([NULL_NEXT]) + rec("MoveTo") + rec("EndPath") + rec("EndLayer")
                        + rec("EndText") + rec("EndBitmap") + SECTION + SECTION
                        + rec("MoveTo", struct.pack("<2d", float("nan"), float("inf")))
                        + rec("Text", text("x" * 600))
                        + rec("BeginLayer", text("no such layer"))
                        + bytes([len(ORDER)]) + END + rec("EndPicture")
                        + bytes([EXPORT_AGAIN]) + PICTURE + SECTION + END)
    seeds["two-exports"] = (PICTURE + SECTION + path([(1, 1), (2, 2), (3, 1)]) + END
                            + bytes([EXPORT_AGAIN]) + PICTURE + SECTION
                            + rec("SetFillColorByValue", color_rgb(1, 2, 3))
                            + path([(1, 1), (2, 2)]) + END)
    return seeds


def tiff_seeds():
    return {
        "rgb-le": tiff(),
        "rgb-be": tiff(little=False),
        "long-width": tiff(width=70000, width_long=True),
        "bps-offset": tiff(bps_through_offset=True),
        "cmyk": tiff(photometric=5),
        "palette": tiff(photometric=3, bps=4),
        "no-entries": tiff(entries=0),
        "truncated": tiff()[:20],
        "bad-magic": b"II\x2b\x00\x08\x00\x00\x00",
    }


def write(dirname, seeds, ext):
    out = os.path.join(HERE, "corpus", dirname)
    os.makedirs(out, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(out, name + ext), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    write("records", record_seeds(), ".bin")
    write("tiff", tiff_seeds(), ".tif")
    sys.stdout.write("seeds written to %s\n" % os.path.join(HERE, "corpus"))
