#!/usr/bin/env python3
"""Exports one record script through aiexport, opens the file in Scribus and checks what Scribus
reports."""

import argparse
import json
import os
import subprocess
import sys
import tempfile
import traceback
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "preview"))
import scribus_session  # noqa: E402

import cases  # noqa: E402

SKIP = 77  # CTest's SKIP_RETURN_CODE for these tests


class Document:
    """What Scribus reported about one file."""

    def __init__(self, report, sla_path, ai_path):
        self.report = report
        self.page_size = tuple(report["pageSize"])
        self.layers = report["layers"]
        self.colours = {c["name"]: c for c in report["colours"]}
        self.items = report["items"]
        self.sla = ET.parse(sla_path).getroot()
        self.ai_text = open(ai_path, "rb").read().decode("latin-1")
        self.ai_dir = os.path.dirname(os.path.abspath(ai_path))

    def all_items(self, items=None):
        """Every item, members of groups included, in document order."""
        for entry in self.items if items is None else items:
            yield entry
            yield from self.all_items(entry.get("children", []))

    def leaves(self):
        return [i for i in self.all_items() if i["type"] != "Group"]

    def sla_items(self):
        """The PAGEOBJECT elements on the page, members included; not the tiles of patterns."""
        inside = {id(e) for p in self.sla.iter("Pattern") for e in p.iter("PAGEOBJECT")}
        return [e for e in self.sla.iter("PAGEOBJECT") if id(e) not in inside]


def export(tool, case, workdir):
    ai = os.path.join(workdir, case + ".ai")
    if case == "sample":
        command = [tool]
        result = subprocess.run(command, cwd=workdir, capture_output=True, text=True)
        ai = os.path.join(workdir, "sample.ai")
    elif case.startswith("svg-"):
        # An SVG drawing of the tests, through the tool's SVG reader.
        command = [tool, os.path.join(HERE, "..", "svg", case[4:] + ".svg"), ai]
        result = subprocess.run(command, capture_output=True, text=True)
    else:
        records = os.path.join(HERE, "records", case + ".records")
        command = [tool, records, ai]
        result = subprocess.run(command, capture_output=True, text=True)
    if result.returncode != 0:
        raise AssertionError("aiexport failed (%d): %s%s"
                             % (result.returncode, result.stdout, result.stderr))
    return ai


def read_in_scribus(ai, workdir):
    report_path = os.path.join(workdir, "report.json")
    scribus_session.run_script(os.path.join(HERE, "scribus_dump.py"),
                               {"AIEXPORT_AI": ai, "AIEXPORT_JSON": report_path}, ai_path=ai)
    if not os.path.exists(report_path):
        raise AssertionError("Scribus wrote no report for " + ai)
    with open(report_path, encoding="utf-8") as f:
        report = json.load(f)
    if "error" in report:
        raise AssertionError("the script inside Scribus failed:\n" + report["error"])
    return Document(report, report_path + ".sla", ai)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--tool", required=True, help="the built aiexport program")
    parser.add_argument("--keep",
                        help="keep the exported file and Scribus's report in this directory")
    parser.add_argument("case", help="a name from cases.CHECKS: records/NAME.records, svg-NAME for "
                        "../svg/NAME.svg, or sample")
    args = parser.parse_args()

    missing = scribus_session.missing_programs()
    if missing:
        print("SKIP: not installed: %s (apt-get install scribus xvfb xauth)" % ", ".join(missing))
        return SKIP
    check = cases.CHECKS[args.case]
    workdir = args.keep or tempfile.mkdtemp(prefix="aiexport-interop-")
    os.makedirs(workdir, exist_ok=True)
    try:
        ai = export(args.tool, args.case, workdir)
        doc = read_in_scribus(ai, workdir)
        check(doc)
    except (AssertionError, scribus_session.ScribusFailed) as failure:
        print("FAIL %s: %s" % (args.case, failure))
        traceback.print_exc()
        print("files kept in " + workdir)
        return 1
    print("PASS " + args.case)
    if not args.keep:
        subprocess.run(["rm", "-rf", workdir], check=False)
    return 0


if __name__ == "__main__":
    sys.exit(main())
