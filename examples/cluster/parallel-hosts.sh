#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Converts an archive of scans on several machines with GNU parallel: the pictures below SCANS are
# split into PARTS parts, and each machine converts one part at a time on all its cores, into a
# mirror of SCANS below DRAWINGS, reporting part K (1 .. PARTS) in DRAWINGS/report-K.jsonl.
#
#   parallel-hosts.sh SCANS DRAWINGS PARTS host1,host2,... [kelvarin-cli options]
#
# ":" in the host list is this machine. SCANS and DRAWINGS must be on a file system every machine
# mounts at the same path, and each machine needs kelvarin-cli installed (KELVARIN_CLI names it where
# it is not on the PATH, at the same path on every machine). Paths and options go through whole,
# spaces and all. Run it again to finish a run that was stopped: pictures whose drawing is current are
# skipped, and each report is appended to. Some more parts than machines (say four per machine) even
# out the work.
set -eu
if [ $# -lt 4 ]; then
    echo "usage: parallel-hosts.sh SCANS DRAWINGS PARTS host1,host2,... [kelvarin-cli options]" >&2
    exit 2
fi
scans=$(realpath "$1")
drawings=$(realpath -m "$2")
parts=$3
hosts=$4
shift 4
mkdir -p "$drawings"
# --quote hands every word to the command as it is: parallel would otherwise join them and let the
# shell split them again at their spaces.
seq 1 "$parts" | parallel --quote --jobs 1 --sshlogin "$hosts" --halt never \
    "${KELVARIN_CLI:-kelvarin-cli}" --recursive --update --output-dir "$drawings" \
    --shard "{}/$parts" --report "$drawings/report-{}.jsonl" "$@" -- "$scans"
