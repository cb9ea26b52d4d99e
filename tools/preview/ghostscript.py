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


def render(source, out, dpi=72, antialias=True, box=None):
    """Draws the file source into out (PNG, PDF or PPM by its extension); returns the
    interpreter's messages. Placed files are looked for beside source. box (x0, y0, x1, y1,
    points) draws that part of the page instead of the file's bounding box."""
    if shutil.which("gs") is None:
        raise RenderFailed("ghostscript not installed; on Debian: apt-get install ghostscript")
    with open(source, "rb") as f:
        document = f.read()
    inlined, missing = inline_resources.inline(document)
    if missing:
        raise RenderFailed("no procedure set for: " + ", ".join(missing))
    box = box or page_box(document)
    directory = os.path.dirname(os.path.abspath(source))
    device = device_for(out)
    smoothing = ["-dTextAlphaBits=4", "-dGraphicsAlphaBits=4"] \
        if antialias and device == "png16m" else []
    with tempfile.TemporaryDirectory(prefix="ai-preview-") as work:
        page = os.path.join(work, "page.ps")
        with open(page, "wb") as f:
            f.write(inlined)
        # -dSAFER still lets a document read the interpreter's temporary directory (/tmp by
        # default, where other jobs keep their files): it gets a private, empty one instead.
        private_tmp = os.path.join(work, "tmp")
        os.mkdir(private_tmp, 0o700)
        env = dict(os.environ, TMPDIR=private_tmp, TEMP=private_tmp, TMP=private_tmp)
        command = ["gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=" + device,
                   "-r%d" % dpi] + smoothing + [
                   "-dDEVICEWIDTHPOINTS=%.4f" % (box[2] - box[0]),
                   "-dDEVICEHEIGHTPOINTS=%.4f" % (box[3] - box[1]), "-dFIXEDMEDIA",
                   "-sAIEXPORT_DIR=" + directory, "--permit-file-read=" + directory + "/",
                   "-sOutputFile=" + out,
                   "-c", "%.4f %.4f translate" % (-box[0], -box[1]), "-f", page]
        run = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                             stdin=subprocess.DEVNULL, env=env)
    messages = run.stdout.decode("utf-8", "replace")
    if run.returncode != 0 or "Error:" in messages:
        raise RenderFailed(messages.strip() or "gs exited with %d" % run.returncode)
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
