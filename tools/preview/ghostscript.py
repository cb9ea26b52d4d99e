"""Draws an exported file through Ghostscript with the project's procedure sets put in."""

import os
import re
import shutil
import subprocess
import tempfile

import inline_resources

LETTER = (0.0, 0.0, 612.0, 792.0)
# The largest page side drawn (80 inches); a larger drawing is cut at its top and right.
LARGEST_SIDE = 5760.0


class RenderFailed(Exception):
    """Ghostscript is missing, a procedure set is missing, or the interpreter reported an error."""


def page_box(document):
    """The page from the file's bounding box (the high-resolution one when given), in points."""
    for key in (rb"%%HiResBoundingBox:", rb"%%BoundingBox:"):
        match = re.search(re.escape(key)
                          + rb"[ \t]*([-0-9.]+)[ \t]+([-0-9.]+)[ \t]+([-0-9.]+)[ \t]+([-0-9.]+)",
                          document)
        if match:
            try:
                box = tuple(float(v) for v in match.groups())
            except ValueError:
                continue
            if box[2] > box[0] and box[3] > box[1] and all(abs(v) < 1e9 for v in box):
                return (box[0], box[1], min(box[2], box[0] + LARGEST_SIDE),
                        min(box[3], box[1] + LARGEST_SIDE))
    return LETTER


def device_for(out):
    lower = out.lower()
    if lower.endswith(".pdf"):
        return "pdfwrite"
    if lower.endswith(".ppm"):
        return "ppmraw"
    return "png16m"


def render(source, out, dpi=72, antialias=True, box=None, marker=None):
    """Draws the file source into out (PNG, PDF or PPM by its extension); returns the
    interpreter's messages. Placed files are looked for beside source. box (x0, y0, x1, y1,
    points) draws that part of the page instead of the file's bounding box. marker (r, g, b,
    each 0 to 255) paints every image as a rectangle of that colour instead of its pixels."""
    return _draw(source, [(out, marker)], dpi, antialias and device_for(out) == "png16m", box)


# Two markers as far apart as colours go: where the two pictures differ, and by how much,
# is where an image is seen.
_MARKERS = ((0, 0, 0), (255, 255, 255))


def image_share(source, dpi=72, box=None):
    """The share of the page's area that is seen as image (0 to 1): the file is drawn twice,
    each image painted in one marker colour, then in the other. A pixel counts by how far the
    two pictures differ there, so an edge pixel half covered by an image counts half, and an
    image hidden beneath other shapes not at all."""
    with tempfile.TemporaryDirectory(prefix="ai-preview-share-") as work:
        outs = [os.path.join(work, "marked-%d.ppm" % i) for i in range(len(_MARKERS))]
        _draw(source, list(zip(outs, _MARKERS)), dpi, True, box)
        first, second = (Picture(out, dpi) for out in outs)
    if (first.width, first.height) != (second.width, second.height):
        raise RenderFailed("the two marked pictures differ in size")
    if not first.pixels:
        return 0.0
    spread = sum(abs(a - b) for a, b in zip(*_MARKERS))
    seen = sum(abs(a - b) for a, b in zip(first.pixels, second.pixels))
    return min(1.0, seen / (spread * first.width * first.height))


def _draw(source, pages, dpi, smooth, box):
    """Draws source once per (out, marker) of pages, all in one run of the interpreter;
    smooth draws edges antialiased."""
    if shutil.which("gs") is None:
        raise RenderFailed("ghostscript not installed; on Debian: apt-get install ghostscript")
    with open(source, "rb") as f:
        document = f.read()
    inlined, missing = inline_resources.inline(document)
    if missing:
        raise RenderFailed("no procedure set for: " + ", ".join(missing))
    box = box or page_box(document)
    directory = os.path.dirname(os.path.abspath(source))
    device = device_for(pages[0][0])
    if any(device_for(out) != device for out, _ in pages):
        raise RenderFailed("pictures of one run must be of one kind")
    smoothing = ["-dTextAlphaBits=4", "-dGraphicsAlphaBits=4"] if smooth else []
    with tempfile.TemporaryDirectory(prefix="ai-preview-") as work:
        page = os.path.join(work, "page.ps")
        with open(page, "wb") as f:
            f.write(inlined)
        # -dSAFER still lets a document read the interpreter's temporary directory (/tmp by
        # default, where other jobs keep their files): it gets a private, empty one instead.
        private_tmp = os.path.join(work, "tmp")
        os.mkdir(private_tmp, 0o700)
        env = dict(os.environ, TMPDIR=private_tmp, TEMP=private_tmp, TMP=private_tmp)
        # One page per picture: the document runs once for each, its marker set before it (a
        # showpage resets the placement, so that is set again too).
        drawings = []
        for _, marker in pages:
            setup = "%.4f %.4f translate" % (-box[0], -box[1])
            if marker is not None:
                setup = ("userdict /AIExportImageMarker [%s] put "
                         % " ".join("%.6f" % (max(0, min(255, c)) / 255.0) for c in marker)
                         + setup)
            elif len(pages) > 1:
                setup = "userdict /AIExportImageMarker undef " + setup
            drawings += ["-c", setup, "-f", page]
        numbered = os.path.join(work, "picture-%d" + os.path.splitext(pages[0][0])[1])
        command = ["gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=" + device,
                   "-r%d" % dpi] + smoothing + [
                   "-dDEVICEWIDTHPOINTS=%.4f" % (box[2] - box[0]),
                   "-dDEVICEHEIGHTPOINTS=%.4f" % (box[3] - box[1]), "-dFIXEDMEDIA",
                   "-sAIEXPORT_DIR=" + directory, "--permit-file-read=" + directory + "/",
                   "-sOutputFile=" + (pages[0][0] if len(pages) == 1 else numbered)] + drawings
        run = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                             stdin=subprocess.DEVNULL, env=env)
        messages = run.stdout.decode("utf-8", "replace")
        if run.returncode != 0 or "Error:" in messages:
            raise RenderFailed(messages.strip() or "gs exited with %d" % run.returncode)
        if len(pages) > 1:
            for number, (out, _) in enumerate(pages, 1):
                if not os.path.exists(numbered % number):
                    raise RenderFailed("the document drew %d of %d pictures"
                                       % (number - 1, len(pages)))
                shutil.move(numbered % number, out)
    return messages


class Picture:
    """A binary PPM picture: pixel(x, y) in points from the page's lower left at 72 dpi."""

    def __init__(self, path, dpi=72):
        with open(path, "rb") as f:
            data = f.read()
        # Header: P6, width, height, maximum, each possibly after "#" comment lines.
        fields, at = [], 0
        while len(fields) < 4:
            while data[at:at + 1].isspace():
                at += 1
            if data[at:at + 1] == b"#":
                at = data.index(b"\n", at)
                continue
            end = at
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[at:end])
            at = end
        if fields[0] != b"P6":
            raise ValueError(path + " is not a binary PPM picture")
        self.width, self.height, self.scale = int(fields[1]), int(fields[2]), dpi / 72.0
        self.pixels = data[at + 1:at + 1 + self.width * self.height * 3]

    def pixel(self, x, y):
        col = int(x * self.scale)
        row = self.height - 1 - int(y * self.scale)
        i = (row * self.width + col) * 3
        return tuple(self.pixels[i:i + 3])
