#!/usr/bin/env python3
"""Inkscape saves a drawing through the installed output extension, headless, as aiexport would."""

import os
import shutil
import subprocess
import sys
import tempfile

SKIPPED = 77
EXTENSION = "org.aiexport.output.ai"
HERE = os.path.dirname(os.path.realpath(__file__))
DRAWING = os.path.join(HERE, "..", "fidelity", "corpus", "features", "gradients.svg")


def save_as(profile, target, env):
    return subprocess.run(["inkscape", DRAWING, "--export-extension=" + EXTENSION,
                           "--export-filename=" + target],
                          env=dict(env, INKSCAPE_PROFILE_DIR=profile), stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, timeout=120, check=False)


def main():
    build = sys.argv[1]
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
