#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Installs the build into a temporary prefix and checks that the installed kelvarin-cli, run from an
unrelated folder, finds its templates in <prefix>/share/kelvarin and writes the build's DXF bytes.

usage: check_installation.py BUILD_DIR INPUT.bmp [EXPECTED_FILE ...]
EXPECTED_FILE: paths below the prefix that the installation must hold."""
import os
import shutil
import subprocess
import sys
import tempfile


def convert(program, source, output, cwd, env):
    result = subprocess.run([program, "--quiet", "--yes", "-o", output, source], cwd=cwd, env=env,
                            capture_output=True)
    return result.returncode, result.stderr.decode("utf-8", "replace")


def main():
    build, source, expected_files = sys.argv[1], os.path.abspath(sys.argv[2]), sys.argv[3:]
    failures = []
    with tempfile.TemporaryDirectory() as temp:
        prefix, elsewhere, config = (os.path.join(temp, name) for name in ("prefix", "elsewhere", "config"))
        os.makedirs(elsewhere)
        subprocess.run(["cmake", "--install", build, "--prefix", prefix], check=True, stdout=subprocess.DEVNULL)
        for name in expected_files:
            if not os.path.isfile(os.path.join(prefix, name)):
                failures.append("not installed: " + name)
        installed = os.path.join(prefix, "bin", "kelvarin-cli")
        if os.path.exists(os.path.join(prefix, "bin", "header.txt")):
            failures.append("header.txt installed beside the program")
        # No user copies: the installed share folder has to be the one found.
        env = dict(os.environ, XDG_CONFIG_HOME=config, HOME=elsewhere)

        reference = os.path.join(temp, "build.dxf")
        status, errors = convert(os.path.join(build, "bin", "kelvarin-cli"), source, reference, elsewhere, env)
        if status != 0:
            failures.append("build kelvarin-cli failed: " + errors)
        result = os.path.join(temp, "installed.dxf")
        status, errors = convert(installed, source, result, elsewhere, env)
        if status != 0:
            failures.append("installed kelvarin-cli failed: " + errors)
        elif open(result, "rb").read() != open(reference, "rb").read():
            failures.append("installed kelvarin-cli wrote other bytes than the build's")

        # Without the installed header the program refuses to start and names it.
        os.remove(os.path.join(prefix, "share", "kelvarin", "header.txt"))
        status, errors = convert(installed, source, os.path.join(temp, "none.dxf"), elsewhere, env)
        if status != 3 or "header.txt" not in errors:  # 3: the run could not start
            failures.append("without share/kelvarin/header.txt: status %d, %r" % (status, errors))
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
