#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Loads every DXF file in the given folders with ezdxf, an independent DXF reader, and fails unless each
one loads strictly, passes the audit without errors, declares code page 932 and holds only LINE, ARC,
CIRCLE and TEXT entities."""
import argparse
import pathlib
import sys

import ezdxf


def problems_of(path):
    try:
        doc = ezdxf.readfile(str(path), errors="strict")
    except Exception as error:  # any refusal of the reader counts
        return [f"not readable: {error}"]
    found = []
    auditor = doc.audit()
    found += [f"audit: {entry.message}" for entry in auditor.errors]
    if doc.encoding != "cp932":
        found.append(f"encoding {doc.encoding}, not cp932")
    if doc.dxfversion != "AC1009":
        found.append(f"version {doc.dxfversion}, not AC1009")
    kinds = {entity.dxftype() for entity in doc.modelspace()}
    if kinds - {"LINE", "ARC", "CIRCLE", "TEXT"}:
        found.append(f"entities other than LINE, ARC, CIRCLE and TEXT: {sorted(kinds)}")
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folders", nargs="+")
    parser.add_argument("--at-least", type=int, default=1)
    args = parser.parse_args()
    files = sorted(p for folder in args.folders for p in pathlib.Path(folder).glob("*.dxf"))
    failed = 0
    for path in files:
        for problem in problems_of(path):
            print(f"{path}: {problem}")
            failed += 1
    print(f"{len(files)} DXF files checked, {failed} problems")
    if len(files) < args.at_least:
        print(f"expected at least {args.at_least} files")
        return 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
