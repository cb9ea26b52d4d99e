"""Runs a Python script inside Scribus, unattended, for the preview tool and the interop tests."""

import os
import re
import shutil
import signal
import subprocess
import tempfile
from xml.sax.saxutils import quoteattr

HERE = os.path.dirname(os.path.abspath(__file__))
FONT_LIST = os.path.join(HERE, "postscript-fonts.txt")

# Scribus opens a modal dialog for every font it lacks, which nobody answers in
# an unattended run; a hang must become a failure with a reason.
DEFAULT_TIMEOUT = 90


class ScribusMissing(Exception):
    """Scribus or the virtual display is not installed."""


class ScribusFailed(Exception):
    """Scribus crashed, hung, or the script inside it reported an error."""


def missing_programs():
    """Names of the programs the Scribus route needs that are not on PATH."""
    return [p for p in ("scribus", "xvfb-run") if shutil.which(p) is None]


def substitute_for(ps_name):
    """An installed font (fonts-liberation) of the same kind and style as ps_name."""
    name = ps_name.lower()
    if any(k in name for k in ("courier", "mono", "console", "ocr", "typewriter")):
        family = "Liberation Mono"
    elif any(k in name for k in ("times", "georgia", "garamond", "antiqua", "bookman",
                                 "schoolbook", "goudy", "serifa", "souvenir", "bodoni",
                                 "benguiat", "bernhard", "zapf", "charlesworth")):
        family = "Liberation Serif"
    elif "narrow" in name:
        family = "Liberation Sans Narrow"
    else:
        family = "Liberation Sans"
    bold = any(k in name for k in ("bold", "black", "demi", "heavy", "ultra"))
    italic = any(k in name for k in ("italic", "oblique"))
    style = {(False, False): "Regular", (True, False): "Bold",
             (False, True): "Italic", (True, True): "Bold Italic"}[(bold, italic)]
    return family + " " + style


def known_font_names():
    with open(FONT_LIST, encoding="utf-8") as f:
        return [line.strip() for line in f if line.strip() and not line.startswith("#")]


def font_names_in(ai_path):
    """The names a Tf operator of the file gives, as Scribus reads them.

    Scribus takes the token after "/_" up to the first blank, so a name written
    with blanks is looked up by its first word."""
    with open(ai_path, "rb") as f:
        text = f.read().decode("latin-1")
    names = set()
    for match in re.finditer(r"/_(\S+)[^\n]*Tf\b", text):
        names.add(match.group(1).replace("'", " "))
    return names


def write_preferences(home, font_names):
    """A private Scribus configuration that substitutes every given font name."""
    config = os.path.join(home, ".config", "scribus")
    os.makedirs(config, exist_ok=True)
    lines = ['<?xml version="1.0" encoding="UTF-8"?>', "<!DOCTYPE SCRIBUSRC>",
             '<SCRIBUSRC VERSION="1.5.0">']
    for name in sorted(font_names):
        lines.append(" <Substitute Name=%s Replace=%s/>"
                     % (quoteattr(name), quoteattr(substitute_for(name))))
    lines.append("</SCRIBUSRC>")
    with open(os.path.join(config, "scribus150.rc"), "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


def run_script(script, env_vars, ai_path=None, timeout=DEFAULT_TIMEOUT):
    """Runs script inside Scribus on a virtual display, with a private HOME.

    env_vars reach the script through its environment. Raises ScribusMissing
    when the programs are absent and ScribusFailed on a crash or a hang."""
    missing = missing_programs()
    if missing:
        raise ScribusMissing("not installed: " + ", ".join(missing)
                             + " (apt-get install scribus xvfb xauth)")
    with tempfile.TemporaryDirectory(prefix="aiexport-scribus-") as home:
        fonts = set(known_font_names())
        if ai_path is not None:
            fonts |= font_names_in(ai_path)
        write_preferences(home, fonts)
        env = dict(os.environ)
        env.update(env_vars)
        env.update({"HOME": home, "XDG_CONFIG_HOME": os.path.join(home, ".config"),
                    "XDG_RUNTIME_DIR": home, "LC_ALL": "C.UTF-8",
                    # Scribus keeps each embedded image in a temporary TIFF
                    # that it never deletes; they go with the private HOME.
                    "TMPDIR": home})
        command = ["xvfb-run", "-a", "-s", "-screen 0 1280x1024x24",
                   "scribus", "-g", "-ns", "-py", script]
        # A session of its own, so that a hang can be ended with Xvfb and all.
        process = subprocess.Popen(command, env=env, stdout=subprocess.PIPE,
                                   stderr=subprocess.STDOUT, start_new_session=True)
        try:
            output, _ = process.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            process.communicate()
            raise ScribusFailed(
                "Scribus did not finish within %d s%s; it may be waiting in a dialog "
                "(a font without substitute, or a file it cannot read)"
                % (timeout, " reading " + ai_path if ai_path else ""))
        log = output.decode("utf-8", "replace")
        if process.returncode != 0:
            raise ScribusFailed("Scribus exited with %d:\n%s" % (process.returncode, log[-4000:]))
        return log
