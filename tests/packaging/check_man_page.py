#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Every long option kelvarin-cli --help lists is described in its manual page.

usage: check_man_page.py KELVARIN_CLI MAN_PAGE"""
import re
import subprocess
import sys


def main():
    program, page = sys.argv[1], sys.argv[2]
    usage = subprocess.run([program, "--help"], capture_output=True, check=True, text=True).stdout
    listed = sorted(set(re.findall(r"--[a-z][a-z0-9-]*", usage)))
    # roff writes a hyphen as \- and switches fonts with \fX.
    text = re.sub(r"\\f[BIRP]", "", open(page, encoding="utf-8").read()).replace("\\-", "-")
    described = set(re.findall(r"--[a-z][a-z0-9-]*", text))
    missing = [option for option in listed if option not in described]
    if len(listed) < 10:
        print("too few options found in --help: %s" % listed)
        return 1
    for option in missing:
        print("%s is listed by --help but not in %s" % (option, page))
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())
