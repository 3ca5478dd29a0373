#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""kelvarin-cli over folder trees: walked, mirrored, converted several at once, resumed after a stop or a
kill -9, reported and split into shards, with names and options in Japanese and with spaces, and pictures
whose drawings would clash. Every drawing is compared byte for byte with a run of its own.

usage: batch_test.py KELVARIN_CLI"""
import json
import os
import random
import re
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
SUMMARY = re.compile(r"合計 (\d+) 件: 変換 (\d+) 件、最新のため飛ばした (\d+) 件、画像でない (\d+) 件、"
                     r"失敗 (\d+) 件、中止で残った (\d+) 件")


def summary(errors):
    """The counts of the batch's closing line, which must be its last: total, converted, current, no
    pictures, failed, stopped."""
    match = SUMMARY.fullmatch(errors.splitlines()[-1])
    return tuple(int(count) for count in match.groups()) if match else errors


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
        # Two pictures whose drawings would be one file fail, naming each other; the rest are converted.
        shutil.copy(os.path.join(self.tree, "sheet00.png"), os.path.join(self.tree, "sheet00.bmp"))
        result = run(["--recursive", "-j", "2", self.tree])
        self.assertEqual(result.returncode, 1)
        first, second = (os.path.join(self.tree, "sheet00." + kind) for kind in ("bmp", "png"))
        for this, other in ((first, second), (second, first)):
            self.assertIn("%s: 出力ファイル %s は %s の出力と同じになるため変換しません\n" %
                          (this, os.path.join(self.tree, "sheet00.dxf"), other), result.stderr)
        beside = [name for name in files_below(self.tree) if name.endswith(".dxf") and "drawings" not in name]
        self.assertNotIn("sheet00.dxf", beside)
        self.assertEqual(len(beside), 59)  # 60 pictures and the copy, less the two
        # The drawings folder is walked too: its 60 drawings and the notes are no pictures.
        self.assertEqual(summary(result.stderr), (123, 59, 0, 61, 3, 0))  # the broken picture fails too


class archive_names(Work):
    """Folders named 設計部 and "dept 2", an option value with a space, a clashing pair, a resumed report."""

    options = ["--layer", "図面 A"]

    def setUp(self):
        super().setUp()
        self.tree = self.path("scans 2024")
        self.assertEqual(make_tree(self.tree, [("設計部", 5), ("dept 2", 4), ("dept 2/箱 1", 3)], (200, 140), 12), 12)
        self.clash = [self.path("scans 2024", "設計部", "図面 a." + kind) for kind in ("png", "tif")]
        for path in self.clash:
            Image.new("1", (40, 30), 1).save(path)
        self.pictures = self.pictures_below(self.tree)

    def test_every_input_converted_or_failed_and_the_report_kept(self):
        out, report = self.path("図面 out"), self.path("結果 report.jsonl")
        arguments = ["--recursive", "--output-dir", out, "--report", report] + self.options + [self.tree]
        result = run(["-j", "2"] + arguments)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertEqual(summary(result.stderr), (14, 12, 0, 0, 2, 0))
        self.assert_drawings_match_single_runs(self.tree, out, self.pictures)
        self.assertFalse(os.path.exists(os.path.join(out, "設計部", "図面 a.dxf")))
        layers = {entity.dxf.layer for entity in ezdxf.readfile(os.path.join(out, drawing_name(
            self.tree, self.pictures[0]))).modelspace()}
        self.assertEqual(layers, {"図面 A"})
        first = report_lines(report)
        failed = sorted(line["input"] for line in first if line["status"] == "failed")
        self.assertEqual(failed, sorted(self.clash))
        self.assertTrue(all("の出力と同じになるため変換しません" in line["message"] for line in first
                            if line["status"] == "failed"))

        # A drawing lost; the resume converts it again and adds its lines to the first run's.
        lost = os.path.join(out, drawing_name(self.tree, self.pictures[3]))
        os.remove(lost)
        result = run(["--update"] + arguments)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertEqual(summary(result.stderr), (14, 1, 11, 0, 2, 0))
        lines = report_lines(report)
        self.assertEqual(lines[:len(first)], first)
        resumed = lines[len(first):]
        self.assertEqual([line["output"] for line in resumed if line["status"] == "converted"], [lost])
        self.assert_drawings_match_single_runs(self.tree, out, self.pictures)

    def test_every_shard_fails_the_clash_alone(self):
        out = self.path("shards")
        seen = []
        for k in (1, 2, 3):
            report = self.path("report %d.jsonl" % k)
            result = run(["--recursive", "--output-dir", out, "--shard", "%d/3" % k, "--report", report] +
                         self.options + [self.tree])
            lines = report_lines(report)
            clashing = [line["input"] for line in lines if line["input"] in self.clash]
            self.assertEqual(result.returncode, 1 if clashing else 0, result.stderr)
            self.assertEqual([line["status"] for line in lines if line["input"] in self.clash],
                             ["failed"] * len(clashing))
            seen += [line["input"] for line in lines]
        self.assertEqual(sorted(seen), sorted(self.pictures + self.clash))
        self.assert_drawings_match_single_runs(self.tree, out, self.pictures)

    def test_a_usage_error_is_one_line_and_a_pointer(self):
        result = run(["--shard", "0/8", self.tree])
        self.assertEqual(result.returncode, 2)
        self.assertEqual(result.stderr, "kelvarin-cli: --shard の値が正しくありません: 0/8\n"
                                        "使い方は kelvarin-cli --help で表示します\n")


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
        self.assertEqual(batch.returncode, 3)  # ended before every input: not a batch with failures
        self.assertIn(INTERRUPTED, errors)
        total, converted, _, _, failed, stopped = summary(errors)
        self.assertEqual((total, failed), (len(self.pictures), 0))
        self.assertGreater(stopped, 0)
        self.assertEqual(converted, len(files_below(out)))
        self.assertNotIn("エラー", errors)
        self.wait_for_group_to_end(batch.pid)
        self.assertLess(len(self.assert_only_whole_drawings(out)), len(self.pictures))
        self.resume(out)


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv.pop(1))
    unittest.main()
