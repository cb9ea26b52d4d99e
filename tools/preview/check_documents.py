#!/usr/bin/env python3
"""Draws every FILE.ai in the given directories through Ghostscript with our procedure sets;
exits 1 when the interpreter reports an error for any of them, or when a comment line of one
holds a control byte (a reader ends a comment at a form feed as at a line end, and runs the
rest of the line as code)."""

import glob
import os
import re
import sys
import tempfile

# A comment line that holds a byte below 0x20 (its line feed aside) or 0x7F.
CONTROL_IN_COMMENT = re.compile(rb"^%[^\n]*?[\x00-\x09\x0b-\x1f\x7f]", re.M)

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))
import ghostscript  # noqa: E402


def main(directories):
    files = sorted(f for d in directories for f in glob.glob(os.path.join(d, "*.ai")))
    failures = 0
    with tempfile.TemporaryDirectory(prefix="check-documents-") as work:
        for ai in files:
            with open(ai, "rb") as document:
                control = CONTROL_IN_COMMENT.search(document.read())
            if control:
                failures += 1
                print("%s: a comment line holds a control byte: %r" % (ai, control.group(0)[:60]))
                continue
            try:
                ghostscript.render(ai, os.path.join(work, "page.ppm"), 18)
            except ghostscript.RenderFailed as failure:
                failures += 1
                print("%s: %s" % (ai, str(failure).splitlines()[0]))
    print("%d of %d documents readable" % (len(files) - failures, len(files)))
    return 1 if failures or not files else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
