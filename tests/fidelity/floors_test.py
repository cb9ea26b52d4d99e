#!/usr/bin/python3
"""The fidelity run's floors and ceilings: what fails a drawing, what --record-floors writes,
and the figures of the report. Needs neither Inkscape nor numpy."""

import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))
import fidelity  # noqa: E402


def result(name, similarity=0.99, wrong=0.0, image=0.0, size=1000):
    r = fidelity.Result(name)
    r.similarity, r.wrong, r.image_share, r.export_bytes = similarity, wrong, image, size
    return r


def floors_from(text):
    with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False) as f:
        f.write(text)
    try:
        return fidelity.read_table(f.name)
    finally:
        os.remove(f.name)


class CheckFloors(unittest.TestCase):
    FLOORS = "# comment\nkept 0.9800 0.0100 0.5000 2000\nolder 0.9800 0.0100\n"

    def problems(self, *results):
        return fidelity.check_floors(results, floors_from(self.FLOORS))

    def test_within_every_limit_passes(self):
        # At a ceiling exactly is within it.
        self.assertEqual(self.problems(result("kept", image=0.5, size=2000), result("older")), [])

    def test_more_image_than_the_ceiling_fails(self):
        found = self.problems(result("kept", image=0.5001), result("older"))
        self.assertEqual(len(found), 1)
        self.assertIn("kept: 50.01% of the page is image", found[0])

    def test_a_larger_export_than_the_ceiling_fails(self):
        found = self.problems(result("kept", size=2001), result("older"))
        self.assertEqual(len(found), 1)
        self.assertIn("2001 bytes", found[0])

    def test_every_limit_broken_is_reported(self):
        found = self.problems(result("kept", similarity=0.9, wrong=0.5, image=0.9, size=9000),
                              result("older"))
        self.assertEqual(len(found), 4)

    def test_an_older_line_holds_similarity_only(self):
        # A floors file of two figures a line still reads; its drawings' image and size
        # are not held until recorded.
        self.assertEqual(self.problems(result("kept"), result("older", image=1.0, size=10**9)),
                         [])
        self.assertEqual(len(self.problems(result("kept"), result("older", similarity=0.5))), 1)

    def test_a_failed_drawing_fails(self):
        broken = result("kept")
        broken.failure = "the preview could not measure the image share"
        self.assertEqual(self.problems(broken, result("older")),
                         ["kept: the preview could not measure the image share"])


class RecordFloors(unittest.TestCase):
    def record(self, floors, results, loosen=False):
        with tempfile.TemporaryDirectory() as work:
            path = os.path.join(work, "floors.txt")
            fidelity.record_floors(results, floors, loosen, path)
            with open(path, encoding="utf-8") as f:
                written = f.read()
            return fidelity.read_table(path), written

    def test_margins(self):
        table, _ = self.record({}, [result("a", 0.99, 0.02, 0.25, 10000)])
        # 2 % and 512 bytes above the size; 0.01 above the image share.
        self.assertEqual(table["a"], [0.985, 0.03, 0.26, 10200 + 512])

    def test_a_drawing_without_image_may_gain_none(self):
        table, _ = self.record({}, [result("a", image=0.0)])
        self.assertEqual(table["a"][2], 0.0)
        self.assertEqual(len(fidelity.check_floors([result("a", image=0.001)], table)), 1)

    def test_only_tightens(self):
        old = {"a": [0.98, 0.01, 0.30, 5000]}
        worse, _ = self.record(dict(old), [result("a", 0.97, 0.05, 0.60, 90000)])
        self.assertEqual(worse["a"], old["a"])
        better, _ = self.record(dict(old), [result("a", 0.999, 0.0, 0.05, 1000)])
        self.assertEqual(better["a"], [0.994, 0.01, 0.06, 1020 + 512])

    def test_loosen_follows_the_measurement_both_ways(self):
        old = {"a": [0.98, 0.01, 0.30, 5000]}
        worse, _ = self.record(dict(old), [result("a", 0.97, 0.05, 0.60, 90000)], loosen=True)
        self.assertEqual(worse["a"], [0.965, 0.06, 0.61, 91800 + 512])

    def test_an_older_line_gains_its_ceilings(self):
        table, written = self.record({"a": [0.98, 0.01]}, [result("a", 0.97, 0.0, 0.4, 1000)])
        self.assertEqual(table["a"], [0.98, 0.01, 0.41, 1532])
        self.assertIn("a 0.9800 0.0100 0.4100 1532\n", written)

    def test_failed_and_unmeasured_drawings_keep_their_lines(self):
        broken = result("a")
        broken.failure = "aiexport exited with 1"
        table, _ = self.record({"a": [0.98, 0.01, 0.3, 5000], "b": [0.9, 0.1]}, [broken])
        self.assertEqual(table, {"a": [0.98, 0.01, 0.3, 5000], "b": [0.9, 0.1]})

    def test_the_project_file_reads_with_every_limit(self):
        for name, limit in fidelity.read_table(fidelity.FLOORS).items():
            self.assertEqual(len(limit), 4, name)
            self.assertTrue(0 <= limit[2] <= 1 and limit[3] > 0, name)


class Figures(unittest.TestCase):
    def test_summary_of_image_and_size(self):
        broken = result("d")
        broken.image_share, broken.export_bytes, broken.failure = None, None, "no export"
        pixels = fidelity.Pixels([result("a", image=0.0, size=1024),
                                  result("b", image=0.2, size=2048),
                                  result("c", image=0.7, size=1048576), broken])
        self.assertEqual(pixels.count, 3)
        self.assertAlmostEqual(pixels.average, 0.3)
        self.assertEqual((pixels.with_image, pixels.mostly_image), (2, 1))
        self.assertEqual(pixels.total_bytes, 1024 + 2048 + 1048576)
        self.assertIn("on average 30.0% of the page over 3 drawings; 2 with any image, 1 more "
                      "than half image", pixels.sentence())
        self.assertIn("at most 1024.0 KiB (`c`)", pixels.sentence())

    def test_the_table_shows_image_share_and_size(self):
        table = fidelity.report([result("a", 0.95, 0.01, 0.125, 3072)], {}, [], "pictures")
        row = [line for line in table.splitlines() if line.startswith("| a ")][0]
        self.assertEqual(row, "| a | 0.9500 | 1.00% | 12.5% | — | 3.0 | 0 | — |")


if __name__ == "__main__":
    unittest.main()
