#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Converts an archive of scans as a Slurm array job: the tasks of an array of N split the pictures found
# below SCANS into N parts, each converting one into a mirror of SCANS below DRAWINGS and reporting it in
# DRAWINGS/report-K.jsonl (K = 1 .. N, the part's number). Pictures whose drawing is current are skipped,
# and a report is appended to, so the same command finishes an array that was stopped or whose tasks
# failed.
#
#   sbatch --array=1-8 slurm-array.sh SCANS DRAWINGS [kelvarin-cli options]
#   sbatch --array=0-7 slurm-array.sh SCANS DRAWINGS [kelvarin-cli options]
#   sbatch --array=5 --export=ALL,KELVARIN_SHARDS=1-8 slurm-array.sh SCANS DRAWINGS [options]
#
# An array counts from 1 (task K is part K) or from 0 (task K is part K + 1), in steps of 1, and N is
# its number of tasks. Tasks submitted apart from their array (one resubmitted alone, or a list such as
# --array=3,5) must be told the whole array in KELVARIN_SHARDS, as FIRST-LAST or as N for 1-N; any other
# array, and an array of one task, is refused before anything is converted. Each task says which part
# it converts, and how.
# SCANS and DRAWINGS must be on a file system every node mounts at the same path. KELVARIN_CLI names the
# program when it is not on the PATH.
#SBATCH --job-name=kelvarin
#SBATCH --cpus-per-task=2
set -eu

refuse() {
    echo "slurm-array.sh: $*" >&2
    exit 2
}

# A whole number, or nothing.
whole() {
    case $1 in
        '' | *[!0-9]*) return 1 ;;
    esac
}

[ $# -ge 2 ] || refuse "usage: sbatch --array=1-N slurm-array.sh SCANS DRAWINGS [kelvarin-cli options]"
task=${SLURM_ARRAY_TASK_ID:-}
whole "$task" || refuse "not a task of an array job: submit it with sbatch --array=1-N"

if [ -n "${KELVARIN_SHARDS:-}" ]; then
    case $KELVARIN_SHARDS in
        *-*) first=${KELVARIN_SHARDS%%-*} last=${KELVARIN_SHARDS#*-} ;;
        *) first=1 last=$KELVARIN_SHARDS ;;
    esac
    { whole "$first" && whole "$last" && [ "$first" -le 1 ] && [ "$last" -ge "$first" ]; } ||
        refuse "KELVARIN_SHARDS=$KELVARIN_SHARDS: give the whole array as 1-N or 0-LAST, or N"
    array="the array $first-$last (KELVARIN_SHARDS)"
else
    first=${SLURM_ARRAY_TASK_MIN:-} last=${SLURM_ARRAY_TASK_MAX:-} count=${SLURM_ARRAY_TASK_COUNT:-}
    whole "$first" && whole "$last" && whole "$count" || refuse "Slurm did not say the array's size"
    array="the array $first-$last"
    # One task alone is most likely one resubmitted from a larger array: it must be told which.
    if [ "$first" -gt 1 ] || [ "$count" -ne $((last - first + 1)) ] || [ "$count" -eq 1 ]; then
        refuse "$array of $count task(s) is not a whole array counting from 0 or 1 in steps of 1;" \
            "for tasks submitted apart from their array, give the whole array as KELVARIN_SHARDS=1-N" \
            "(KELVARIN_SHARDS=1 for a job of one part)"
    fi
fi
[ "$task" -ge "$first" ] && [ "$task" -le "$last" ] || refuse "task $task is not in $array"
shard=$((task - first + 1))
parts=$((last - first + 1))

scans=$1
drawings=$2
shift 2
mkdir -p "$drawings"
set -- "${KELVARIN_CLI:-kelvarin-cli}" --recursive --update --output-dir "$drawings" \
    --jobs "${SLURM_CPUS_PER_TASK:-1}" --shard "$shard/$parts" --report "$drawings/report-$shard.jsonl" \
    "$@" -- "$scans"
{
    printf 'slurm-array.sh: task %s of %s converts part %s of %s:' "$task" "$array" "$shard" "$parts"
    for word; do
        printf " '%s'" "$(printf '%s' "$word" | sed "s/'/'\\\\''/g")"
    done
    echo
} >&2
exec "$@"
