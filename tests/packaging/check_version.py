#!/usr/bin/env python3
"""PROGRAM --version prints exactly EXPECTED and a line end on standard output, and exits 0.

usage: check_version.py PROGRAM EXPECTED"""
import subprocess
import sys

result = subprocess.run([sys.argv[1], "--version"], capture_output=True, text=True, timeout=60)
if result.returncode != 0 or result.stdout != sys.argv[2] + "\n":
    print("status %d, output %r, errors %r" % (result.returncode, result.stdout, result.stderr))
    sys.exit(1)
