#!/usr/bin/env python3
"""Draws every FILE.ai in the given directories through Ghostscript with our procedure sets;
exits 1 when the interpreter reports an error for any of them."""

import glob
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))
import ghostscript  # noqa: E402


def main(directories):
    files = sorted(f for d in directories for f in glob.glob(os.path.join(d, "*.ai")))
    failures = 0
    with tempfile.TemporaryDirectory(prefix="check-documents-") as work:
        for ai in files:
            try:
                ghostscript.render(ai, os.path.join(work, "page.ppm"), 18)
            except ghostscript.RenderFailed as failure:
                failures += 1
                print("%s: %s" % (ai, str(failure).splitlines()[0]))
    print("%d of %d documents drawn without an interpreter error"
          % (len(files) - failures, len(files)))
    return 1 if failures or not files else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
