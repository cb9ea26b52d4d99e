#!/usr/bin/env python3
"""Inkscape saves a drawing through the installed output extension, headless, as aiexport would."""

import os
import shutil
import subprocess
import sys
import struct
import tempfile
import zlib

SKIPPED = 77
EXTENSION = "org.aiexport.output.ai"
HERE = os.path.dirname(os.path.realpath(__file__))
DRAWING = os.path.join(HERE, "..", "fidelity", "corpus", "features", "gradients.svg")


def save_as(profile, target, env):
    return subprocess.run(["inkscape", DRAWING, "--export-extension=" + EXTENSION,
                           "--export-filename=" + target],
                          env=dict(env, INKSCAPE_PROFILE_DIR=profile), stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, timeout=120, check=False)


def png(rgb):
    """A PNG of 2 by 2 pixels of one colour."""
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    rows = b"".join(b"\x00" + bytes(rgb) * 2 for _ in range(2))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 2, 2, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def extension_alone(build):
    """The extension as Inkscape runs it: a copy of the drawing elsewhere, DOCUMENT_PATH naming
    the drawing. What it links beside itself is embedded; a long name is saved all the same."""
    failures = []
    tool = os.path.join(build, "tools", "aiexport", "aiexport")
    extension = os.path.join(HERE, "..", "..", "tools", "inkscape", "aiexport_output.py")
    with tempfile.TemporaryDirectory(prefix="aiexport-extension-test-") as work:
        mine = os.path.join(work, "mine")
        handed = os.path.join(work, "handed")
        os.makedirs(mine)
        os.makedirs(handed)
        with open(os.path.join(mine, "photo.png"), "wb") as photo:
            photo.write(png((0x12, 0x9A, 0x7C)))
        name = "\u56f3" * 100 + ".svg"  # 300 bytes
        drawing = ('<svg xmlns="http://www.w3.org/2000/svg" '
                   'xmlns:sodipodi="http://sodipodi.sourceforge.net/DTD/sodipodi-0.dtd" '
                   'width="20" height="20" sodipodi:docname="%s">'
                   '<image width="20" height="20" href="%s"/></svg>'
                   % (name, os.path.join(mine, "photo.png")))
        copy = os.path.join(handed, "ink_ext_copy.svg")
        with open(copy, "w", encoding="utf-8") as out:
            out.write(drawing)
        env = dict(os.environ, AIEXPORT=tool, SOURCE_DATE_EPOCH="0",
                   DOCUMENT_PATH=os.path.join(mine, name))
        done = subprocess.run([sys.executable, extension, copy], env=env, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=120, check=False)
        if done.returncode != 0 or not done.stdout.startswith(b"%!PS-Adobe"):
            failures.append("a drawing of a 300-byte name was not saved (%d): %s"
                            % (done.returncode, done.stderr.decode()[-400:]))
        elif b"129A7C" not in done.stdout:
            failures.append("the image beside the drawing was not embedded: %s"
                            % done.stderr.decode()[-400:])
        # The tool alone links nothing outside the copy's directory.
        alone = subprocess.run([tool, "--records", copy], stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, check=False)
        if b"outside the drawing's directory" not in alone.stderr:
            failures.append("the tool alone embedded an image outside the drawing's directory")
    return failures


def main():
    build = sys.argv[1]
    failures = extension_alone(build)
    for failure in failures:
        print(failure)
    if failures:
        return 1
    if shutil.which("inkscape") is None:
        print("skipped: Inkscape is not installed")
        return SKIPPED
    failures = []
    with tempfile.TemporaryDirectory(prefix="aiexport-inkscape-test-") as work:
        prefix = os.path.join(work, "prefix")
        subprocess.run(["cmake", "--install", build, "--prefix", prefix], check=True,
                       stdout=subprocess.DEVNULL)
        extensions = os.path.join(prefix, "share", "inkscape", "extensions")
        # Inkscape reads extensions from its profile: point a fresh one at the installed files,
        # with a flattening resolution and text as outlines chosen as a user would in the dialog.
        profile = os.path.join(work, "profile")
        os.makedirs(profile)
        os.symlink(extensions, os.path.join(profile, "extensions"))
        with open(os.path.join(profile, "preferences.xml"), "w") as prefs:
            prefs.write('<inkscape version="1">'
                        '<group id="extensions" %s.flatten-dpi="150" %s.text-outlines="true"/>'
                        '</inkscape>\n' % (EXTENSION, EXTENSION))
        env = {k: v for k, v in os.environ.items() if k != "AIEXPORT"}
        env["SOURCE_DATE_EPOCH"] = "0"
        env["PATH"] = "/usr/bin:/bin"  # the tool must be found beside the extension

        saved = os.path.join(work, "saved", "gradients.ai")
        os.makedirs(os.path.dirname(saved))
        done = save_as(profile, saved, env)
        direct = os.path.join(work, "gradients.ai")
        subprocess.run([os.path.join(prefix, "bin", "aiexport"), "--flatten-dpi", "150",
                        "--text-outlines", DRAWING, direct], env=env,
                       stderr=subprocess.DEVNULL, check=False)
        if done.returncode != 0 or not os.path.exists(saved):
            failures.append("Save As failed (%d): %s"
                            % (done.returncode, done.stdout.decode()[-600:]))
        elif open(saved, "rb").read() != open(direct, "rb").read():
            failures.append("Save As wrote other bytes than aiexport itself")

        # The options reach a tool that takes them; a failing tool leaves no file behind.
        fake = os.path.join(work, "fake-aiexport")
        with open(fake, "w") as script:
            script.write('#!/bin/sh\n'
                         '[ "$1" = --help ] && { echo "--flatten-dpi N --text-outlines"; exit 0; }\n'
                         'for last; do :; done\necho "$@" > "$last"\n')
        os.chmod(fake, 0o755)
        passed = os.path.join(work, "passed.ai")
        save_as(profile, passed, dict(env, AIEXPORT=fake))
        if not os.path.exists(passed) or not open(passed).read().startswith(
                "--flatten-dpi 150 --text-outlines "):
            failures.append("the flattening resolution or text outlines did not reach aiexport")
        refused = os.path.join(work, "refused.ai")
        done = save_as(profile, refused, dict(env, AIEXPORT="/bin/false"))
        if done.returncode == 0 or os.path.exists(refused):
            failures.append("a failed conversion was saved or reported as success")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
