#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Converts an archive of scans on several machines with GNU parallel: the pictures below SCANS are
# split into PARTS parts, and each machine converts one part at a time on all its cores, into a
# mirror of SCANS below DRAWINGS, reporting each part in DRAWINGS/report-K.jsonl.
#
#   parallel-hosts.sh SCANS DRAWINGS PARTS host1,host2,... [kelvarin-cli options]
#
# ":" in the host list is this machine. SCANS and DRAWINGS must be on a file system every machine
# mounts at the same path, and each machine needs kelvarin-cli installed. Run it again to finish a
# run that was stopped: pictures whose drawing is current are skipped. Some more parts than machines
# (say four per machine) even out the work.
set -eu
scans=$(realpath "$1")
drawings=$(realpath -m "$2")
parts=$3
hosts=$4
shift 4
mkdir -p "$drawings"
seq 1 "$parts" | parallel --jobs 1 --sshlogin "$hosts" --halt never \
    kelvarin-cli --recursive --update --quiet --output-dir "$drawings" \
    --shard "{}/$parts" --report "$drawings/report-{}.jsonl" "$@" "$scans"
