#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""PROGRAM answers --version (exactly EXPECTED and a line end) and --help (a usage naming --version) on
standard output with status 0 and without any display, and refuses an unknown option with status 2,
naming it, instead of taking it for a file, before it looks for a display. Without a display (none named, or one that cannot be reached)
the window says so in Japanese with status 1 rather than aborting with Qt's English text.

usage: check_command_line.py PROGRAM EXPECTED"""
import os
import subprocess
import sys


def run(program, arguments, env):
    return subprocess.run([program] + arguments, capture_output=True, text=True, timeout=60, env=env)


def window_without_display(program, headless):
    failures = []
    unreachable = dict(headless, DISPLAY=":7919")
    for arguments, env in (([], headless), ([], unreachable), (["-style", "fusion", "--platformtheme=x"], headless)):
        result = run(program, arguments, env)
        english = "qt.qpa" in result.stderr or "Reinstalling" in result.stderr
        if result.returncode != 1 or "ディスプレイ" not in result.stderr or english:
            failures.append("%r without a display: status %d, errors %r" % (arguments, result.returncode, result.stderr))
    return failures


def main():
    program, expected = sys.argv[1], sys.argv[2]
    headless = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    failures = []
    result = run(program, ["--version"], headless)
    if result.returncode != 0 or result.stdout != expected + "\n":
        failures.append("--version: status %d, output %r, errors %r" % (result.returncode, result.stdout, result.stderr))
    result = run(program, ["--help"], headless)
    if result.returncode != 0 or "--version" not in result.stdout or result.stderr:
        failures.append("--help: status %d, output %r, errors %r" % (result.returncode, result.stdout, result.stderr))
    # An unknown option is no picture name, and is named as such with a display (offscreen) or without one;
    # Qt's own options (the window's) are not refused.
    unknown = [(["--no-such-option"], dict(headless, QT_QPA_PLATFORM="offscreen")), (["--no-such-option"], headless)]
    if os.path.basename(program) == "kelvarin":
        unknown += [(["-style", "fusion", "-bogus"], headless), (["-reverse=1"], headless)]
    for arguments, env in unknown:
        result = run(program, arguments, env)
        if result.returncode != 2 or arguments[-1] not in result.stderr:
            failures.append("%r: status %d, errors %r" % (arguments, result.returncode, result.stderr))
    if os.path.basename(program) == "kelvarin":
        failures += window_without_display(program, headless)
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
