#!/usr/bin/python3
"""Measures how closely our exports of SVG drawings look like the drawings themselves.

For each drawing of the corpus: Inkscape renders the SVG (the reference), aiexport converts it
and the preview renders the export; both pictures are put on white at one size and compared.
Similarity is 1 - mean absolute difference / 255; "wrong" is the share of pixels where a channel
differs by more than 48 after a small blur. The export's size and the share of its page that is
image (the preview's --image-share) are measured beside them. Each drawing has a floor in
floors.txt for similarity and ceilings for wrong pixels, image share and size, which the run
enforces. Needs Inkscape, and numpy and PIL for /usr/bin/python3 (Debian python3-numpy,
python3-pil).
"""

import argparse
import concurrent.futures
import hashlib
import math
import os
import re
import shlex
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import xml.etree.ElementTree as ET

try:
    import numpy as np
    from PIL import Image, ImageFilter
except ImportError:
    np = None

HERE = os.path.dirname(os.path.realpath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
CORPUS = os.path.join(HERE, "corpus")
FLOORS = os.path.join(HERE, "floors.txt")
DOCS = os.path.join(ROOT, "docs")
MARKER_PREVIEW = os.path.join(ROOT, "tools", "ai-preview")
BEFORE = os.path.join(DOCS, "fidelity", "before.tsv")

LONG_SIDE = 256        # pixels of a picture's longer side; small icons are enlarged up to 8 times
WRONG_LEVEL = 48       # a channel difference above this, after the blur, makes a pixel wrong
SIM_MARGIN = 0.005     # floors sit this far below what was measured: renderers vary a little
WRONG_MARGIN = 0.01
IMAGE_MARGIN = 0.01    # image ceilings sit this far above what was measured (if above 0)
SIZE_MARGIN = 0.02     # and the size's this share and SIZE_SLACK bytes above
SIZE_SLACK = 512
WORST_SHOWN = 6
EXPORT_TIMEOUT = 120
SKIPPED = 77           # CTest's code for a test that could not run here
REPORT_BEGIN = "<!-- fidelity table: written by tests/fidelity/fidelity.py --write-docs -->"
REPORT_END = "<!-- end of fidelity table -->"

UNIT_PX = {"px": 1.0, "": 1.0, "pt": 96 / 72, "pc": 16.0, "in": 96.0, "cm": 96 / 2.54,
           "mm": 96 / 25.4}


class Result:
    def __init__(self, name):
        self.name = name
        self.similarity = 0.0
        self.wrong = 1.0
        self.export_seconds = None
        self.export_bytes = None
        self.warnings = 0
        self.image_share = None  # of the page, 0 to 1
        self.failure = None
        self.reference = None   # pictures on white, of one size
        self.ours = None


OUTLINES = "@outlines"  # a drawing with text, exported with --text-outlines
TEXT = re.compile(rb"<(?:[A-Za-z_][\w.-]*:)?(?:text|flowRoot)[\s>]")


def drawings(corpus, only):
    """(name, path, options) of each export to measure: a drawing with text twice, its text as
    text and as outlines."""
    found = []
    for folder, _, files in sorted(os.walk(corpus)):
        for name in sorted(files):
            if name.endswith(".svg"):
                path = os.path.join(folder, name)
                key = os.path.relpath(path, corpus)[:-4]
                exports = [(key, [])]
                if TEXT.search(open(path, "rb").read()):
                    exports.append((key + OUTLINES, ["--text-outlines"]))
                found += [e + (path,) for e in exports if not only or any(o in e[0] for o in only)]
    return [(k, p, o) for k, o, p in found]


def page_pixels(path):
    """The drawing's width and height in CSS pixels, as Inkscape sizes its page."""
    root = ET.parse(path).getroot()
    box = re.split(r"[\s,]+", root.get("viewBox", "").strip())
    sizes = []
    for axis, attribute in enumerate(("width", "height")):
        value = root.get(attribute, "")
        match = re.fullmatch(r"\s*([0-9.eE+-]+)\s*([a-z]*)\s*", value)
        if match and match.group(2) in UNIT_PX:
            sizes.append(float(match.group(1)) * UNIT_PX[match.group(2)])
        elif len(box) == 4:
            sizes.append(float(box[2 + axis]))
        else:
            sizes.append(LONG_SIDE)
    return sizes


def resolution(path):
    longest = max(page_pixels(path))
    scale = min(8.0, max(1.0, LONG_SIDE / longest)) if longest > 0 else 1.0
    return int(round(96 * scale))


def on_white(png):
    picture = Image.open(png).convert("RGBA")
    white = Image.new("RGBA", picture.size, (255, 255, 255, 255))
    return Image.alpha_composite(white, picture).convert("RGB")


def run(command, timeout, env=None):
    return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout,
                          env=env, check=False)


# A drawing measured twice (as text and as outlines) shares its reference: one
# thread draws it while the other waits, rather than both writing one file.
_reference_locks = {}
_reference_locks_guard = threading.Lock()


def render_reference(args, path, dpi, work):
    """Inkscape's picture of the drawing, kept by content so that reruns skip it."""
    digest = hashlib.sha1(open(path, "rb").read()
                          + (" %d %s" % (dpi, args.inkscape_version)).encode())
    png = os.path.join(work, "reference", digest.hexdigest() + ".png")
    with _reference_locks_guard:
        lock = _reference_locks.setdefault(png, threading.Lock())
    with lock:
        return _render_reference(args, path, dpi, work, png)


def _render_reference(args, path, dpi, work, png):
    if not os.path.exists(png):
        partial = png + ".part.png"
        env = dict(os.environ, INKSCAPE_PROFILE_DIR=os.path.join(work, "inkscape-profile"))
        done = run([args.inkscape, path, "--export-type=png", "--export-filename=" + partial,
                    "--export-dpi=%d" % dpi], 180, env)
        if done.returncode != 0 or not os.path.exists(partial):
            raise RuntimeError("Inkscape failed: " + done.stderr.decode(errors="replace")[-400:])
        os.replace(partial, png)
    return png


def measure(args, key, path, work, options=()):
    result = Result(key)
    stem = os.path.join(work, "exports", key.replace(os.sep, "-"))
    try:
        dpi = resolution(path)
        reference = on_white(render_reference(args, path, dpi, work))
        for stale in (stem + ".ai", stem + ".png"):  # a failed run must not find the last one's
            if os.path.exists(stale):
                os.remove(stale)
        started = time.monotonic()
        exported = run([args.aiexport, *options, path, stem + ".ai"], EXPORT_TIMEOUT)
        result.export_seconds = time.monotonic() - started
        result.warnings = exported.stderr.decode(errors="replace").count("warning:")
        if exported.returncode != 0 or not os.path.exists(stem + ".ai"):
            raise RuntimeError("aiexport exited with %d: %s" % (
                exported.returncode, exported.stderr.decode(errors="replace")[-400:]))
        result.export_bytes = os.path.getsize(stem + ".ai")
        previewed = run(args.preview + [stem + ".ai", stem + ".png", "--dpi", str(dpi)], 300)
        if previewed.returncode != 0 or not os.path.exists(stem + ".png"):
            raise RuntimeError("the preview failed: "
                               + previewed.stderr.decode(errors="replace")[-400:])
        # What of the page is image is the export's, whichever renderer draws it: the marker
        # mode is the Ghostscript preview's.
        shared = run([MARKER_PREVIEW, stem + ".ai", "--image-share", "--dpi", str(dpi)], 300)
        try:
            result.image_share = float(shared.stdout.decode(errors="replace").strip())
        except ValueError:
            result.image_share = None
        if shared.returncode != 0 or result.image_share is None:
            raise RuntimeError("the preview could not measure the image share: "
                               + shared.stderr.decode(errors="replace")[-400:])
        ours = on_white(stem + ".png")
        if ours.size != reference.size:
            ours = ours.resize(reference.size, Image.LANCZOS)
        result.reference, result.ours = reference, ours
        a = np.asarray(reference, dtype=np.int16)
        b = np.asarray(ours, dtype=np.int16)
        result.similarity = 1.0 - float(np.abs(a - b).mean()) / 255.0
        blurred_a = np.asarray(reference.filter(ImageFilter.BoxBlur(1)), dtype=np.int16)
        blurred_b = np.asarray(ours.filter(ImageFilter.BoxBlur(1)), dtype=np.int16)
        result.wrong = float((np.abs(blurred_a - blurred_b).max(axis=2) > WRONG_LEVEL).mean())
    except (RuntimeError, OSError, ET.ParseError, subprocess.TimeoutExpired) as failure:
        result.failure = (str(failure).strip().splitlines()[-1] if str(failure).strip()
                          else repr(failure))
    return result


def read_table(path):
    """name -> list of numbers, from a file of 'name number number ...' lines ('#' comments)."""
    table = {}
    if os.path.exists(path):
        with open(path, encoding="utf-8") as lines:
            for line in lines:
                fields = line.split("#", 1)[0].split()
                if fields:
                    table[fields[0]] = [float(f) for f in fields[1:]]
    return table


def check_floors(results, floors):
    problems, unbounded = [], []
    for r in results:
        if r.name not in floors:
            problems.append("%s: no floor (record one with --record-floors)" % r.name)
            continue
        # A line of an older file holds only the first two; the rest are then not held.
        least, most_wrong, most_image, most_bytes = (floors[r.name] + [None, None])[:4]
        if most_image is None or most_bytes is None:
            unbounded.append(r.name)
        if r.failure:
            problems.append("%s: %s" % (r.name, r.failure))
            continue
        if r.similarity < least:
            problems.append("%s: similarity %.4f below its floor %.4f"
                            % (r.name, r.similarity, least))
        if r.wrong > most_wrong:
            problems.append("%s: %.2f%% wrong pixels, more than its ceiling %.2f%%"
                            % (r.name, 100 * r.wrong, 100 * most_wrong))
        if most_image is not None and r.image_share > most_image:
            problems.append("%s: %.2f%% of the page is image, more than its ceiling %.2f%%"
                            % (r.name, 100 * r.image_share, 100 * most_image))
        if most_bytes is not None and r.export_bytes > most_bytes:
            problems.append("%s: %d bytes, more than its ceiling %d"
                            % (r.name, r.export_bytes, most_bytes))
    if unbounded:
        print("fidelity: no ceiling of image share and size for %d drawings (record them with "
              "--record-floors): %s" % (len(unbounded), " ".join(unbounded)), file=sys.stderr)
    names = {r.name for r in results}
    problems += ["%s: floor of a drawing that is not in the corpus" % n
                 for n in floors if n not in names]
    return problems


def limits(r):
    """The floor and ceilings that a measurement sets: [least similarity, most wrong, most
    image, most bytes], each its margin short of (beyond) what was measured."""
    return [round(max(0.0, r.similarity - SIM_MARGIN), 4),
            round(min(1.0, r.wrong + WRONG_MARGIN), 4),
            # Without an image both marked pictures are the same to the bit: no margin is
            # needed, and any image appearing in a drawing of shapes alone is caught.
            round(min(1.0, r.image_share + IMAGE_MARGIN), 4) if r.image_share > 0 else 0.0,
            int(math.ceil(r.export_bytes * (1 + SIZE_MARGIN))) + SIZE_SLACK]


def tightened(new, old):
    """new limits, none of them looser than the old (an older line may lack the ceilings)."""
    kept = list(new)
    for i, was in enumerate(old[:len(new)]):
        kept[i] = max(new[i], was) if i == 0 else min(new[i], was)
    return kept


def record_floors(results, floors, loosen, path=FLOORS):
    for r in results:
        if r.failure:
            continue
        limit = limits(r)
        if r.name in floors and not loosen:
            limit = tightened(limit, floors[r.name])
        floors[r.name] = limit
    with open(path, "w", encoding="utf-8") as out:
        out.write(FLOORS_HEAD)
        for name in sorted(floors):
            out.write(floor_line(name, floors[name]))


FLOORS_HEAD = (
    "# drawing, least similarity, greatest share of wrong pixels, greatest share of the page\n"
    "# that is image, greatest size of the export in bytes.\n"
    "# fidelity.py --record-floors raises floors and lowers ceilings to what was measured\n"
    "# (less the margins), never the other way unless given --loosen.\n")


def floor_line(name, limit):
    fields = ["%.4f" % limit[0], "%.4f" % limit[1]]
    if len(limit) >= 4:
        fields += ["%.4f" % limit[2], "%d" % limit[3]]
    return "%s %s\n" % (name, " ".join(fields))


def side_by_side(result, png):
    """Reference, ours and where they differ, at most 128 pixels high."""
    diff = np.abs(np.asarray(result.reference, dtype=np.int16)
                  - np.asarray(result.ours, dtype=np.int16))
    heat = (255 - np.clip(diff.max(axis=2) * 2, 0, 255)).astype(np.uint8)
    panels = [result.reference, result.ours, Image.fromarray(heat).convert("RGB")]
    width, height = result.reference.size
    scale = min(1.0, 128.0 / height)
    size = (max(1, int(width * scale)), max(1, int(height * scale)))
    sheet = Image.new("RGB", (3 * size[0] + 8, size[1]), (160, 160, 160))
    for i, panel in enumerate(panels):
        sheet.paste(panel.resize(size, Image.LANCZOS), (i * (size[0] + 4), 0))
    # A palette keeps the pictures in the documentation small.
    sheet.convert("P", palette=Image.ADAPTIVE, colors=128).save(png, optimize=True)


def figure(value, form):
    return "—" if value is None else form % value


def summary(results):
    measured = [r.similarity for r in results]
    worst = min(results, key=lambda r: r.similarity)
    return statistics.median(measured), worst


class Pixels:
    """What of the exports is image, and how large they are, over the drawings measured."""

    def __init__(self, results):
        shares = [r.image_share for r in results if r.image_share is not None]
        sizes = [r for r in results if r.export_bytes is not None]
        self.count = len(shares)
        self.average = statistics.mean(shares) if shares else 0.0
        self.with_image = sum(1 for v in shares if v > 0)
        self.mostly_image = sum(1 for v in shares if v > 0.5)
        self.total_bytes = sum(r.export_bytes for r in sizes)
        self.median_bytes = statistics.median(r.export_bytes for r in sizes) if sizes else 0
        self.largest = max(sizes, key=lambda r: r.export_bytes) if sizes else None

    def sentence(self):
        text = ("Image: on average %.1f%% of the page over %d drawings; %d with any image, %d more "
                "than half image. Export size: %.1f MiB in total, median %.1f KiB"
                % (100 * self.average, self.count, self.with_image, self.mostly_image,
                   self.total_bytes / 1048576, self.median_bytes / 1024))
        if self.largest:
            text += ", at most %.1f KiB (`%s`)" % (self.largest.export_bytes / 1024,
                                                   self.largest.name)
        return text + "."


def report(results, before, pictures, picture_dir):
    median, worst = summary(results)
    lines = [REPORT_BEGIN, "",
             "Median similarity %.4f over %d drawings; worst: `%s`, %.4f."
             % (median, len(results), worst.name, worst.similarity), "",
             Pixels(results).sentence(), ""]
    if before:
        earliest = min(before, key=lambda n: before[n][0])
        lines += ["Before: median %.4f; worst: `%s`, %.4f. The last column gives the similarity, "
                  "export time and size before."
                  % (statistics.median(v[0] for v in before.values()),
                     earliest, before[earliest][0]), ""]
    lines += ["| drawing | similarity | wrong pixels | image | export ms | export KiB | warnings "
              "| before |",
              "|---|---:|---:|---:|---:|---:|---:|---|"]
    for r in sorted(results, key=lambda r: r.similarity):
        was = before.get(r.name)
        lines.append("| %s | %s | %s | %s | %s | %s | %d | %s |" % (
            r.name, "failed: " + r.failure if r.failure else "%.4f" % r.similarity,
            figure(None if r.failure else 100 * r.wrong, "%.2f%%"),
            figure(None if r.image_share is None else 100 * r.image_share, "%.1f%%"),
            figure(None if r.export_seconds is None else 1000 * r.export_seconds, "%.0f"),
            figure(None if r.export_bytes is None else r.export_bytes / 1024, "%.1f"),
            r.warnings, "%.4f · %.0f ms · %.1f KiB" % (was[0], 1000 * was[2], was[3] / 1024)
            if was else "—"))
    if pictures:
        lines += ["", "The worst drawings: Inkscape's picture, ours, and where they differ "
                  "(darker is further apart).", ""]
        for r in pictures:
            lines += ["**%s** (%.4f)" % (r.name, r.similarity), "",
                      "![%s](%s/%s.png)" % (r.name, picture_dir, r.name.replace(os.sep, "-")), ""]
    lines.append(REPORT_END)
    return "\n".join(lines) + "\n"


def write_report(path, table):
    text = open(path, encoding="utf-8").read() if os.path.exists(path) else "# Fidelity\n\n"
    if REPORT_BEGIN in text and REPORT_END in text:
        head, rest = text.split(REPORT_BEGIN, 1)
        text = head + table + rest.split(REPORT_END, 1)[1].lstrip("\n")
    else:
        text = text.rstrip("\n") + "\n\n" + table
    with open(path, "w", encoding="utf-8") as out:
        out.write(text)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("only", nargs="*",
                        help="measure only drawings whose name contains one of these")
    parser.add_argument("--aiexport", default=shutil.which("aiexport"), help="the aiexport tool")
    parser.add_argument("--preview", default=os.path.join(ROOT, "tools", "ai-preview"),
                        help="command that renders FILE.ai to OUT.png with --dpi N "
                             "(default: %(default)s)")
    parser.add_argument("--inkscape", default="inkscape")
    parser.add_argument("--work",
                        help="folder for renders and the report (default: a temporary one)")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--write-docs", action="store_true",
                        help="write the table and pictures of the worst drawings "
                             "into docs/fidelity.md")
    parser.add_argument("--record-floors", action="store_true",
                        help="raise the floors and lower the ceilings to what was measured, "
                             "less a margin")
    parser.add_argument("--loosen", "--lower", action="store_true",
                        help="with --record-floors: set them to what was measured even where "
                             "that lowers a floor or raises a ceiling")
    parser.add_argument("--record-before", action="store_true",
                        help="keep these figures as the 'before' column of the report")
    args = parser.parse_args()
    if not args.aiexport:
        parser.error("no aiexport on PATH; give --aiexport")
    args.preview = shlex.split(args.preview)
    if np is None or shutil.which(args.inkscape) is None:
        print("fidelity: skipped: needs Inkscape, numpy and PIL (Debian: apt-get install inkscape "
              "python3-numpy python3-pil)", file=sys.stderr)
        return SKIPPED
    version = run([args.inkscape, "--version"], 60)
    args.inkscape_version = version.stdout.decode(errors="replace").strip()

    work = args.work or tempfile.mkdtemp(prefix="fidelity-")
    for sub in ("reference", "exports", "pictures"):
        os.makedirs(os.path.join(work, sub), exist_ok=True)
    found = drawings(CORPUS, args.only)
    if not found:
        parser.error("no drawing matches")
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, args.jobs)) as pool:
        results = list(pool.map(lambda item: measure(args, item[0], item[1], work, item[2]),
                                found))

    floors = read_table(FLOORS)
    if args.only:
        floors = {n: v for n, v in floors.items() if n in {r.name for r in results}}
    if args.record_before:
        kept = read_table(BEFORE)
        kept.update({r.name: [r.similarity, r.wrong, r.export_seconds or 0, r.export_bytes or 0]
                     for r in results})
        with open(BEFORE, "w", encoding="utf-8") as out:
            out.write("# drawing  similarity  wrong share  export seconds  export bytes\n")
            for name in sorted(kept):
                out.write("%s %.4f %.4f %.4f %d\n" % (name, *kept[name][:3], kept[name][3]))
    before = read_table(BEFORE)
    scored = sorted((r for r in results if r.reference is not None), key=lambda r: r.similarity)
    worst = scored[:WORST_SHOWN]
    picture_dir = (os.path.join(DOCS, "fidelity") if args.write_docs
                   else os.path.join(work, "pictures"))
    os.makedirs(picture_dir, exist_ok=True)
    if args.write_docs:
        for old in os.listdir(picture_dir):
            if old.endswith(".png"):
                os.remove(os.path.join(picture_dir, old))
    for r in worst:
        side_by_side(r, os.path.join(picture_dir, r.name.replace(os.sep, "-") + ".png"))
    table = report(results, before, worst, "fidelity" if args.write_docs else "pictures")
    write_report(os.path.join(DOCS, "fidelity.md") if args.write_docs
                 else os.path.join(work, "fidelity.md"), table)
    if args.record_floors:
        record_floors(results, read_table(FLOORS), args.loosen)

    median, lowest = summary(results)
    pixels = Pixels(results)
    print("fidelity: %d drawings, median similarity %.4f, worst %s %.4f; image %.1f%% of the "
          "page on average, %d with any, %d more than half; %.1f MiB in total; report in %s"
          % (len(results), median, lowest.name, lowest.similarity, 100 * pixels.average,
             pixels.with_image, pixels.mostly_image, pixels.total_bytes / 1048576,
             "docs/fidelity.md" if args.write_docs else os.path.join(work, "fidelity.md")))
    problems = [] if args.record_floors else check_floors(results, floors)
    for problem in problems:
        print("fidelity: " + problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
