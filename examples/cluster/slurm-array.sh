#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Converts an archive of scans as a Slurm array job: task K of N converts the K-th of N parts of the
# pictures found below SCANS, into a mirror of SCANS below DRAWINGS, and reports them in
# DRAWINGS/report-K.jsonl. Pictures whose drawing is current are skipped, so the same command finishes
# an array that was stopped or whose tasks failed.
#
#   sbatch --array=1-8 slurm-array.sh SCANS DRAWINGS [kelvarin-cli options]
#
# The array must count from 1 in steps of 1. SCANS and DRAWINGS must be on a file system every node
# mounts at the same path. KELVARIN_CLI names the program when it is not on the PATH.
#SBATCH --job-name=kelvarin
#SBATCH --cpus-per-task=2
set -eu
scans=$1
drawings=$2
shift 2
mkdir -p "$drawings"
exec "${KELVARIN_CLI:-kelvarin-cli}" --recursive --update --quiet --output-dir "$drawings" \
    --jobs "${SLURM_CPUS_PER_TASK:-1}" --shard "$SLURM_ARRAY_TASK_ID/$SLURM_ARRAY_TASK_COUNT" \
    --report "$drawings/report-$SLURM_ARRAY_TASK_ID.jsonl" "$@" "$scans"
