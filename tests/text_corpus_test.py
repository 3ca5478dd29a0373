#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Generated sheets with known text (bench/make_text_sheets.py: a title block in Japanese, dimension
values turned 90°, 270°, 30° and 45°, text touching lines, balloons) converted on the command line with
text on, scored with bench/text_score.py against floors with a margin; the drawing loads strictly in
ezdxf, and --no-text writes no TEXT.

text_corpus_test.py KELVARIN_CLI SOURCE_DIR"""
import os
import subprocess
import sys
import tempfile
import unittest

import ezdxf

CLI, SOURCE = sys.argv[1], sys.argv[2]
sys.path.insert(0, os.path.join(SOURCE, "bench"))
import text_score  # noqa: E402

# sheet: least recall, greatest mean CER
FLOORS = {"text-small-300": (0.8, 0.2), "text-a4-200": (0.8, 0.16)}


class TextSheets(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        subprocess.run(["/usr/bin/python3", os.path.join(SOURCE, "bench", "make_text_sheets.py"), cls.folder.name,
                        *FLOORS], check=True)

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def convert(self, name, *options):
        dxf = os.path.join(self.folder.name, f"{name}{''.join(options)}.dxf")
        subprocess.run([CLI, "--yes", "--quiet", "--vectorize", "--threads", "2", *options, "-o", dxf,
                        os.path.join(self.folder.name, name + ".tif")], check=True)
        return dxf

    def test_text_is_read_as_drawn(self):
        for name, (recall, cer) in FLOORS.items():
            with self.subTest(sheet=name):
                dxf = self.convert(name)
                doc = ezdxf.readfile(dxf, errors="strict")
                self.assertFalse(doc.audit().errors)
                self.assertEqual(doc.encoding, "cp932")
                self.assertTrue(all(t.dxf.layer == "TEXT" for t in doc.modelspace().query("TEXT")))
                score = text_score.score(os.path.join(self.folder.name, name + ".json"), dxf)
                self.assertGreaterEqual(score["recall"], recall, score)
                self.assertLessEqual(score["cer"], cer, score)
                self.assertLessEqual(score["height"], 0.08, score)
                self.assertLessEqual(score["angle"], 1.0, score)
                self.assertLessEqual(score["false"], 0.15, score)
                self.assertLessEqual(score["inside"], 1.0, score)

    def test_no_text_writes_geometry_only(self):
        dxf = self.convert("text-small-300", "--no-text")
        kinds = {entity.dxftype() for entity in ezdxf.readfile(dxf, errors="strict").modelspace()}
        self.assertNotIn("TEXT", kinds)
        self.assertTrue(kinds)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
