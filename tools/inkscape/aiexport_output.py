#!/usr/bin/env python3
"""Inkscape output extension: writes the drawing Inkscape hands over as an Illustrator 5/6 file.

Inkscape runs this with its options and the path of the drawing saved as SVG, and takes what it
prints as the file. The conversion is aiexport's: the tool installed beside this extension
(PREFIX/bin when this is PREFIX/share/inkscape/extensions), else the one on PATH; AIEXPORT names
another. Only the standard library: Inkscape may run this with any Python 3.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

SODIPODI_DOCNAME = "{http://sodipodi.sourceforge.net/DTD/sodipodi-0.dtd}docname"
# Bytes of the name's stem: with ".ai" well within the 255 bytes a file name may have.
STEM_BYTES = 200


def find_tool():
    named = os.environ.get("AIEXPORT")
    if named:
        return named
    here = os.path.dirname(os.path.realpath(__file__))
    beside = os.path.normpath(os.path.join(here, "..", "..", "..", "bin", "aiexport"))
    if os.access(beside, os.X_OK):
        return beside
    return shutil.which("aiexport")


def file_name(drawing):
    """The name the file gives as its title: the drawing's own (Inkscape keeps it in the root)."""
    try:
        for _, root in ET.iterparse(drawing, events=("start",)):
            name = os.path.basename(root.get(SODIPODI_DOCNAME, "").replace("\\", "/"))
            stem = os.path.splitext(name)[0].strip()
            # It only becomes the title: cut at a character, not inside one.
            stem = stem.encode("utf-8", "surrogateescape")[:STEM_BYTES].decode("utf-8", "ignore")
            return (stem if stem not in ("", ".", "..") else "drawing") + ".ai"
    except (ET.ParseError, OSError):
        pass
    return "drawing.ai"


def accepts(tool, option, known={}):
    """Whether this aiexport knows the option: older builds refuse options they do not know."""
    if tool not in known:
        try:
            known[tool] = subprocess.run([tool, "--help"], stdout=subprocess.PIPE,
                                         stderr=subprocess.STDOUT, timeout=30,
                                         check=False).stdout
        except (OSError, subprocess.SubprocessError):
            known[tool] = b""
    return option.encode() in known[tool]


def link_dir(drawing):
    """Where the user's drawing lies: what it links is looked for there, not beside the copy
    Inkscape hands over (DOCUMENT_PATH names the drawing; empty or unset when it has none)."""
    document = os.environ.get("DOCUMENT_PATH", "")
    return os.path.dirname(os.path.abspath(document if document else drawing))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--flatten-dpi", type=int, default=0)
    parser.add_argument("--text-outlines", default="false")
    parser.add_argument("drawing")
    args, _ = parser.parse_known_args()  # Inkscape adds options of its own

    tool = find_tool()
    if not tool:
        sys.stderr.write("aiexport is not installed, or not on PATH: "
                         "cannot write the Illustrator file.\n")
        return 1
    command = [tool]
    if args.flatten_dpi > 0 and accepts(tool, "--flatten-dpi"):
        command += ["--flatten-dpi", str(args.flatten_dpi)]
    # The user wrote the drawing: what it links beside itself is theirs to embed.
    if accepts(tool, "--link-dir"):
        command += ["--link-dir", link_dir(args.drawing)]
    if args.text_outlines.lower() == "true" and accepts(tool, "--text-outlines"):
        command.append("--text-outlines")
    with tempfile.TemporaryDirectory(prefix="aiexport-inkscape-") as work:
        target = os.path.join(work, file_name(args.drawing))
        try:
            done = subprocess.run(command + [args.drawing, target], stdout=subprocess.DEVNULL,
                                  stderr=subprocess.PIPE, check=False)
        except OSError as failure:
            sys.stderr.write("cannot run %s: %s\n" % (tool, failure.strerror))
            return 1
        # What the file leaves out is worth telling; Inkscape shows it.
        sys.stderr.write(done.stderr.decode("utf-8", "replace"))
        if done.returncode != 0 or not os.path.isfile(target):
            sys.stderr.write("aiexport could not write the file (status %d).\n" % done.returncode)
            return 1
        with open(target, "rb") as written:
            shutil.copyfileobj(written, sys.stdout.buffer)
    sys.stdout.buffer.flush()
    return 0


if __name__ == "__main__":
    sys.exit(main())
