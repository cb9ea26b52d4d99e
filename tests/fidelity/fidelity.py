#!/usr/bin/python3
"""Measures how closely our exports of SVG drawings look like the drawings themselves.

For each drawing of the corpus: Inkscape renders the SVG (the reference), aiexport converts it
and the preview renders the export; both pictures are put on white at one size and compared.
Similarity is 1 - mean absolute difference / 255; "wrong" is the share of pixels where a channel
differs by more than 48 after a small blur. Each drawing has a floor in floors.txt that the run
enforces. Needs Inkscape, and numpy and PIL for /usr/bin/python3 (Debian python3-numpy,
python3-pil).
"""

import argparse
import concurrent.futures
import hashlib
import os
import re
import shlex
import shutil
import statistics
import subprocess
import sys
import tempfile
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
BEFORE = os.path.join(DOCS, "fidelity", "before.tsv")

LONG_SIDE = 256        # pixels of a picture's longer side; small icons are enlarged up to 8 times
WRONG_LEVEL = 48       # a channel difference above this, after the blur, makes a pixel wrong
SIM_MARGIN = 0.005     # floors sit this far below what was measured: renderers vary a little
WRONG_MARGIN = 0.01
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


def render_reference(args, path, dpi, work):
    """Inkscape's picture of the drawing, kept by content so that reruns skip it."""
    digest = hashlib.sha1(open(path, "rb").read()
                          + (" %d %s" % (dpi, args.inkscape_version)).encode())
    png = os.path.join(work, "reference", digest.hexdigest() + ".png")
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
        for line in open(path, encoding="utf-8"):
            fields = line.split("#", 1)[0].split()
            if fields:
                table[fields[0]] = [float(f) for f in fields[1:]]
    return table


def check_floors(results, floors):
    problems = []
    for r in results:
        if r.name not in floors:
            problems.append("%s: no floor (record one with --record-floors)" % r.name)
            continue
        least, most_wrong = floors[r.name]
        if r.failure:
            problems.append("%s: %s" % (r.name, r.failure))
        elif r.similarity < least:
            problems.append("%s: similarity %.4f below its floor %.4f"
                            % (r.name, r.similarity, least))
        elif r.wrong > most_wrong:
            problems.append("%s: %.2f%% wrong pixels, more than its ceiling %.2f%%"
                            % (r.name, 100 * r.wrong, 100 * most_wrong))
    names = {r.name for r in results}
    problems += ["%s: floor of a drawing that is not in the corpus" % n
                 for n in floors if n not in names]
    return problems


def record_floors(results, floors, lower):
    for r in results:
        if r.failure:
            continue
        least = round(max(0.0, r.similarity - SIM_MARGIN), 4)
        most_wrong = round(min(1.0, r.wrong + WRONG_MARGIN), 4)
        if r.name in floors and not lower:
            least = max(least, floors[r.name][0])
            most_wrong = min(most_wrong, floors[r.name][1])
        floors[r.name] = [least, most_wrong]
    with open(FLOORS, "w", encoding="utf-8") as out:
        out.write("# drawing  least similarity  greatest share of wrong pixels\n"
                  "# Raised by fidelity.py --record-floors; never lowered without --lower.\n")
        for name in sorted(floors):
            out.write("%s %.4f %.4f\n" % (name, floors[name][0], floors[name][1]))


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


def report(results, before, pictures, picture_dir):
    median, worst = summary(results)
    lines = [REPORT_BEGIN, "",
             "Median similarity %.4f over %d drawings; worst: `%s`, %.4f."
             % (median, len(results), worst.name, worst.similarity), ""]
    if before:
        earliest = min(before, key=lambda n: before[n][0])
        lines += ["Before: median %.4f; worst: `%s`, %.4f. The last column gives the similarity, "
                  "export time and size before."
                  % (statistics.median(v[0] for v in before.values()),
                     earliest, before[earliest][0]), ""]
    lines += ["| drawing | similarity | wrong pixels | export ms | export KiB | warnings "
              "| before |",
              "|---|---:|---:|---:|---:|---:|---|"]
    for r in sorted(results, key=lambda r: r.similarity):
        was = before.get(r.name)
        lines.append("| %s | %s | %s | %s | %s | %d | %s |" % (
            r.name, "failed: " + r.failure if r.failure else "%.4f" % r.similarity,
            figure(None if r.failure else 100 * r.wrong, "%.2f%%"),
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
                        help="raise the floors to what was measured, less a margin")
    parser.add_argument("--lower", action="store_true", help="with --record-floors: lower them too")
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
        record_floors(results, read_table(FLOORS), args.lower)

    median, lowest = summary(results)
    print("fidelity: %d drawings, median similarity %.4f, worst %s %.4f; report in %s"
          % (len(results), median, lowest.name, lowest.similarity,
             "docs/fidelity.md" if args.write_docs else os.path.join(work, "fidelity.md")))
    problems = [] if args.record_floors else check_floors(results, floors)
    for problem in problems:
        print("fidelity: " + problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
