#!/usr/bin/env python3
"""Draws every FILE.ai in the given directories through Ghostscript with our procedure sets;
exits 1 when the interpreter reports an error for any of them.

The module writes every real a host sends in full, and a PostScript reader holds reals of
single precision only (about 3.4e38): an error in a document that holds a number beyond that
is counted apart, not as a failure."""

import glob
import os
import re
import sys
import tempfile

# A number token whose integer part has 39 digits or more.
BEYOND_REALS = re.compile(rb"(?:^|[\s\[])-?[0-9]{39,}\.[0-9]{4}(?=[\s\]])", re.M)

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))
import ghostscript  # noqa: E402


def main(directories):
    files = sorted(f for d in directories for f in glob.glob(os.path.join(d, "*.ai")))
    failures = 0
    beyond = 0
    with tempfile.TemporaryDirectory(prefix="check-documents-") as work:
        for ai in files:
            try:
                ghostscript.render(ai, os.path.join(work, "page.ppm"), 18)
            except ghostscript.RenderFailed as failure:
                with open(ai, "rb") as document:
                    if BEYOND_REALS.search(document.read()):
                        beyond += 1
                        continue
                failures += 1
                print("%s: %s" % (ai, str(failure).splitlines()[0]))
    print("%d of %d documents drawn without an interpreter error" % (len(files) - failures - beyond,
                                                                   len(files)))
    if beyond:
        print("%d failed on numbers beyond the reader's reals" % beyond)
    return 1 if failures or not files else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
