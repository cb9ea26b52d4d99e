"""Puts the procedure sets that a document names with %%IncludeResource into the document."""

import os
import re

HERE = os.path.dirname(os.path.realpath(__file__))
_INCLUDE = re.compile(rb"^%%IncludeResource: procset ([^ \r\n]+)([^\r\n]*)\r?$", re.M)


def resource_dir():
    """The procedure-set directory of the source tree, or of the installed tree."""
    for candidate in (os.path.join(HERE, "..", "..", "share", "aiexport", "procsets"),
                      os.path.join(HERE, "..", "share", "aiexport", "procsets")):
        if os.path.isdir(candidate):
            return os.path.normpath(candidate)
    raise FileNotFoundError("no procset directory beside " + HERE)


def resource(name, directory=None):
    """The body of procedure set `name`, or None when there is no file for it."""
    path = os.path.join(directory or resource_dir(), name.decode("latin-1") + ".ps")
    if os.path.basename(path) != name.decode("latin-1") + ".ps" or not os.path.isfile(path):
        return None
    with open(path, "rb") as f:
        return f.read()


def inline(document, directory=None):
    """document (bytes) with each %%IncludeResource: procset line replaced by
    %%BeginResource ... %%EndResource around the set's body; returns (bytes, names not found)."""
    missing = []

    def replace(match):
        body = resource(match.group(1), directory)
        if body is None:
            missing.append(match.group(1).decode("latin-1"))
            return match.group(0)
        if not body.endswith(b"\n"):
            body += b"\n"
        return (b"%%BeginResource: procset " + match.group(1) + match.group(2) + b"\n" + body
                + b"%%EndResource")

    return _INCLUDE.sub(replace, document), missing
