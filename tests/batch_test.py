#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""kelvarin-cli over folder trees: walked, mirrored, converted several at once, resumed after a stop or a
kill -9, reported and split into shards. Every drawing is compared byte for byte with a run of its own.

usage: batch_test.py KELVARIN_CLI"""
import json
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

import ezdxf
from PIL import Image, ImageDraw

PROGRAM = None
INTERRUPTED = "処理が中断されました。"


def draw_sheet(seed, width, height, strokes):
    """A drawing of lines, boxes and circles, as a 1-bit picture."""
    rng = random.Random(seed)
    sheet = Image.new("1", (width, height), 1)
    pen = ImageDraw.Draw(sheet)
    for _ in range(strokes):
        x0, y0 = rng.randrange(width), rng.randrange(height)
        kind = rng.randrange(3)
        if kind == 0:
            pen.line((x0, y0, rng.randrange(width), rng.randrange(height)), fill=0, width=rng.randrange(1, 5))
        elif kind == 1:
            pen.rectangle((x0, y0, min(width - 1, x0 + rng.randrange(4, 80)), min(height - 1, y0 + rng.randrange(4, 80))),
                          outline=0, width=2)
        else:
            r = rng.randrange(3, 40)
            pen.ellipse((x0 - r, y0 - r, x0 + r, y0 + r), outline=0, width=2)
    return sheet


def save_picture(sheet, path, kind):
    """Stores the sheet in one of the formats the program reads, with Pillow."""
    if kind == "png":
        sheet.save(path + ".png")
    elif kind == "grey-png":
        sheet.convert("L").save(path + ".png")
    elif kind == "tif":
        sheet.save(path + ".tif", compression="group4")
    elif kind == "bmp":
        sheet.save(path + ".bmp")
    elif kind == "pgm":
        sheet.convert("L").save(path + ".pgm")
    else:  # a name without an extension: found by its content
        sheet.save(path, format="PNG")


KINDS = ["png", "grey-png", "tif", "bmp", "pgm", "no-extension"]


def make_tree(root, levels, size, strokes):
    """levels: (folder, pictures) pairs; each picture a different drawing and format."""
    count = 0
    for folder, pictures in levels:
        os.makedirs(os.path.join(root, folder), exist_ok=True)
        for n in range(pictures):
            save_picture(draw_sheet(count, *size, strokes), os.path.join(root, folder, "sheet%02d" % n),
                         KINDS[count % len(KINDS)])
            count += 1
    return count


def run(arguments, **options):
    return subprocess.run([PROGRAM] + arguments, capture_output=True, text=True, timeout=600, **options)


def drawing_name(tree, picture):
    """The drawing's path in the output folder, relative to it."""
    return os.path.splitext(os.path.relpath(picture, tree))[0] + ".dxf"


def files_below(root):
    found = []
    for folder, _, names in os.walk(root):
        found += [os.path.relpath(os.path.join(folder, name), root) for name in names]
    return sorted(found)


def snapshot(root):
    """Every file below root with its inode, size and change times."""
    result = {}
    for name in files_below(root):
        info = os.stat(os.path.join(root, name))
        result[name] = (info.st_ino, info.st_size, info.st_mtime_ns, info.st_ctime_ns)
    return result


def report_lines(path):
    with open(path, encoding="utf-8") as report:
        return [json.loads(line) for line in report]


class Work(unittest.TestCase):
    def setUp(self):
        self.single_runs = {}
        self.work = tempfile.mkdtemp(prefix="kelvarin-batch-")
        self.addCleanup(shutil.rmtree, self.work)

    def path(self, *parts):
        return os.path.join(self.work, *parts)

    options = []  # the conversion's own options, in batches and single runs alike

    def single_run(self, picture):
        """The drawing of one picture converted alone, each picture's once."""
        key = (picture, os.stat(picture).st_mtime_ns)
        if key not in self.single_runs:
            output = self.path("single.dxf")
            result = run(self.options + ["-q", "-y", "-o", output, picture])
            self.assertEqual(result.returncode, 0, result.stderr)
            with open(output, "rb") as drawing:
                self.single_runs[key] = drawing.read()
        return self.single_runs[key]

    def assert_drawings_match_single_runs(self, tree, out, pictures):
        for picture in pictures:
            relative = drawing_name(tree, picture)
            with open(os.path.join(out, relative), "rb") as drawing:
                self.assertTrue(drawing.read() == self.single_run(picture), relative)

    def pictures_below(self, tree):
        return [os.path.join(tree, name) for name in files_below(tree) if "sheet" in name]


class archive_tree(Work):
    """60 pictures in three levels, a text file and a broken picture."""

    def setUp(self):
        super().setUp()
        self.tree = self.path("archive")
        levels = [(".", 6)] + [("dept%d" % d, 6) for d in range(3)] + [
            ("dept%d/box%d" % (d, b), 4) for d in range(3) for b in range(3)]
        self.assertEqual(make_tree(self.tree, levels, (320, 200), 25), 60)
        with open(self.path("archive", "dept1", "notes.txt"), "w") as notes:
            notes.write("box list\n")
        with open(self.path("archive", "dept0", "sheet00.png"), "rb") as good:
            broken = good.read()[:120]  # a PNG cut off after its header
        with open(self.path("archive", "dept2", "box1", "broken.png"), "wb") as damaged:
            damaged.write(broken)
        self.inputs = files_below(self.tree)
        self.assertEqual(len(self.inputs), 62)

    def test_converts_mirrors_reports_and_updates(self):
        out = self.path("drawings")
        result = run(["--recursive", "--output-dir", out, "--jobs", "2", "--report", self.path("report.jsonl"),
                      self.tree])
        self.assertEqual(result.returncode, 1, result.stderr)  # the broken picture
        drawings = [name for name in files_below(out)]
        self.assertEqual(len(drawings), 60)
        self.assertTrue(all(name.endswith(".dxf") for name in drawings))
        self.assert_drawings_match_single_runs(self.tree, out, self.pictures_below(self.tree))

        for name in drawings[:3]:  # the batch's files through an independent reader
            document = ezdxf.readfile(os.path.join(out, name), errors="strict")
            self.assertFalse(document.audit().has_errors, name)
            self.assertEqual(document.encoding, "cp932")

        # One line per input, in the inputs' order, each drawing's entities counted in its file.
        lines = report_lines(self.path("report.jsonl"))
        self.assertEqual([os.path.relpath(line["input"], self.tree) for line in lines], self.inputs)
        statuses = {os.path.basename(line["input"]): line["status"] for line in lines}
        self.assertEqual(statuses.pop("notes.txt"), "skipped")
        self.assertEqual(statuses.pop("broken.png"), "failed")
        self.assertEqual(set(statuses.values()), {"converted"})
        for line in lines:
            if line["status"] == "converted":
                with open(line["output"], "rb") as drawing:
                    text = drawing.read()
                self.assertEqual(text.count(b"  0\r\nLINE\r\n") + text.count(b"  0\r\nCIRCLE\r\n") +
                                 text.count(b"  0\r\nARC\r\n"), line["entities"], line["input"])
                self.assertEqual(line["message"], "変換終了して、ファイルに書き出しました")
                self.assertGreater(line["seconds"], 0)
                self.assertNotIn("skew", line)

        # Each input's messages whole on lines of their own, in the inputs' order.
        errors = result.stderr.splitlines()
        done = [line for line in errors if line.endswith(": 変換終了して、ファイルに書き出しました")]
        self.assertEqual(done, [os.path.join(self.tree, name) + ": 変換終了して、ファイルに書き出しました"
                                for name in self.inputs if "sheet" in name])
        broken = os.path.join(self.tree, "dept2", "box1", "broken.png")
        self.assertIn(broken + ": PNG ファイルを読めません", result.stderr)
        self.assertIn("画像ではないため飛ばしたファイル: 1 件", errors)

        # Right after, an update converts nothing and touches no file.
        before = snapshot(out)
        result = run(["--recursive", "--output-dir", out, "--update", "--jobs", "2", "--report",
                      self.path("update.jsonl"), self.tree])
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertEqual(snapshot(out), before)
        statuses = [line["status"] for line in report_lines(self.path("update.jsonl"))]
        self.assertEqual((statuses.count("skipped"), statuses.count("failed")), (61, 1))
        self.assertNotIn("変換終了", result.stderr)

        # A picture changed later is converted again, and only it.
        changed = self.pictures_below(self.tree)[10]
        with Image.open(changed) as picture:
            turned, kind = picture.transpose(Image.Transpose.ROTATE_180), picture.format
        turned.save(changed, format=kind)
        os.utime(changed, ns=(time.time_ns() + 10**9,) * 2)
        result = run(["--recursive", "--output-dir", out, "--update", "-j", "2", "--report",
                      self.path("update.jsonl"), self.tree])
        converted = [line["input"] for line in report_lines(self.path("update.jsonl")) if line["status"] == "converted"]
        self.assertEqual(converted, [changed])
        self.assert_drawings_match_single_runs(self.tree, out, [changed])

    def test_shards_cover_every_input_once(self):
        seen = []
        for k in (1, 2, 3):
            run(["--recursive", "--output-dir", self.path("drawings"), "--shard", "%d/3" % k, "--report",
                 self.path("shard%d.jsonl" % k), self.tree])
            part = [os.path.relpath(line["input"], self.tree) for line in report_lines(self.path("shard%d.jsonl" % k))]
            self.assertIn(len(part), (20, 21))
            seen += part
        self.assertEqual(sorted(seen), self.inputs)
        self.assertEqual(len(files_below(self.path("drawings"))), 60)

    def test_one_drawing_per_output_and_the_walk_skips_the_output_folder(self):
        # Drawings beside the pictures, the walk going through the output folder inside the tree.
        inside = os.path.join(self.tree, "drawings")
        result = run(["--recursive", "--output-dir", inside, "-j", "2", "-q", self.tree])
        self.assertEqual(result.returncode, 1)
        result = run(["--recursive", "--output-dir", inside, "--update", "-q", "--report", self.path("r.jsonl"),
                      self.tree])
        self.assertEqual(len(report_lines(self.path("r.jsonl"))), 62, result.stderr)
        # Two pictures whose drawings would be one file: nothing converted.
        shutil.copy(os.path.join(self.tree, "sheet00.png"), os.path.join(self.tree, "sheet00.bmp"))
        result = run(["--recursive", "-j", "2", self.tree])
        self.assertEqual(result.returncode, 1)
        self.assertIn("の出力と同じです。どの入力も変換しません", result.stderr)
        self.assertFalse([name for name in files_below(self.tree) if name.endswith(".dxf") and "drawings" not in name])


class stopped_batches(Work):
    """Large sheets, so that a batch is still running when it is stopped."""

    options = ["--lines", "both"]

    def setUp(self):
        super().setUp()
        self.tree = self.path("scans")
        make_tree(self.tree, [(".", 6), ("box", 6)], (3000, 2200), 1500)
        self.pictures = self.pictures_below(self.tree)

    def start(self, out):
        return subprocess.Popen([PROGRAM, "--recursive", "--output-dir", out, "--jobs", "2"] + self.options +
                                [self.tree], stderr=subprocess.PIPE, text=True, start_new_session=True)

    def wait_for_a_drawing(self, batch, out):
        deadline = time.monotonic() + 120
        while batch.poll() is None and time.monotonic() < deadline:
            if os.path.isdir(out) and files_below(out):
                return
            time.sleep(0.02)

    def wait_for_group_to_end(self, group):
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline:
            try:
                os.killpg(group, 0)
            except ProcessLookupError:
                return
            time.sleep(0.05)
        self.fail("the conversions went on after the batch ended")

    def assert_only_whole_drawings(self, out):
        names = files_below(out)
        done = [picture for picture in self.pictures if drawing_name(self.tree, picture) in names]
        self.assertEqual(len(done), len(names), names)  # no file but drawings
        self.assert_drawings_match_single_runs(self.tree, out, done)
        return names

    def resume(self, out):
        result = run(["--recursive", "--output-dir", out, "--jobs", "2", "--update", "-q"] + self.options + [self.tree])
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(len(self.assert_only_whole_drawings(out)), len(self.pictures))

    def test_kill_9_then_update_finishes_the_batch(self):
        for target in ("the batch", "every process"):
            with self.subTest(target):
                out = self.path("drawings-%d" % len(target))
                batch = self.start(out)
                self.wait_for_a_drawing(batch, out)
                if target == "the batch":
                    os.kill(batch.pid, signal.SIGKILL)
                else:
                    os.killpg(batch.pid, signal.SIGKILL)
                batch.communicate(timeout=60)
                self.wait_for_group_to_end(batch.pid)
                self.assertLess(len(self.assert_only_whole_drawings(out)), len(self.pictures))
                self.resume(out)

    def test_sigterm_stops_promptly_and_cleanly(self):
        out = self.path("drawings")
        batch = self.start(out)
        self.wait_for_a_drawing(batch, out)
        batch.send_signal(signal.SIGTERM)
        _, errors = batch.communicate(timeout=30)
        self.assertEqual(batch.returncode, 1)
        self.assertIn(INTERRUPTED, errors)
        self.assertNotIn("エラー", errors)
        self.wait_for_group_to_end(batch.pid)
        self.assertLess(len(self.assert_only_whole_drawings(out)), len(self.pictures))
        self.resume(out)


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv.pop(1))
    unittest.main()
