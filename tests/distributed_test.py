#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The cluster recipes of examples/cluster run end to end on a tree whose folders, file names and options
hold spaces and Japanese: a one-node Slurm cluster (munged, slurmctld and slurmd on 127.0.0.1 with a
slurm.conf of its own) converts it as array jobs counting from 1 and from 0, refuses a task submitted alone
until told the whole array and then redoes its part, appending to its report; GNU parallel converts it on
this machine; the Kubernetes Indexed Job's script runs once for each completion index, on a tree with a
broken scan and two pictures whose drawings would clash. Every drawing must be the bytes of a run of its
own, and the merged reports must name every input once. Exits 77 (skipped) where the Slurm daemons cannot
start and everything else passed.

usage: distributed_test.py KELVARIN_CLI RECIPE_FOLDER"""
import json
import re
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

import ezdxf
import yaml
from PIL import Image, ImageDraw

SKIPPED = 77


class Skip(Exception):
    pass


def free_ports(count):
    sockets = [socket.socket() for _ in range(count)]
    for each in sockets:
        each.bind(("127.0.0.1", 0))
    ports = [each.getsockname()[1] for each in sockets]
    for each in sockets:
        each.close()
    return ports


def slurm_conf(folder, munge_socket):
    controller, node = free_ports(2)
    return f"""ClusterName=kelvarintest
SlurmctldHost=localhost
SlurmctldPort={controller}
SlurmdPort={node}
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket={munge_socket}
CredType=cred/munge
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
StateSaveLocation={folder}/state
SlurmdSpoolDir={folder}/spool
SlurmctldPidFile={folder}/slurmctld.pid
SlurmdPidFile={folder}/slurmd.pid
SlurmctldLogFile={folder}/slurmctld.log
SlurmdLogFile={folder}/slurmd.log
ReturnToService=2
MpiDefault=none
JobCompType=jobcomp/none
AccountingStorageType=accounting_storage/none
JobAcctGatherType=jobacct_gather/none
NodeName=localhost NodeAddr=127.0.0.1 CPUs=2 State=UNKNOWN
PartitionName=batch Nodes=localhost Default=YES MaxTime=INFINITE State=UP
"""


def log_tail(path):
    try:
        with open(path, errors="replace") as log:
            return "".join(log.readlines()[-5:])
    except OSError:
        return "(no log)"


class Cluster:
    """munged, slurmctld and slurmd of their own, stopped by their pid files."""

    def __init__(self, folder):
        self.folder = folder
        self.pid_files = []
        self.environment = dict(os.environ, SLURM_CONF=os.path.join(folder, "slurm.conf"))

    def start(self):
        for tool in ("munged", "mungekey", "slurmctld", "slurmd", "sbatch", "sinfo"):
            if not shutil.which(tool, path=os.environ["PATH"] + ":/usr/sbin:/sbin"):
                raise Skip(f"{tool} is not installed (Debian's slurm-wlm and munge)")
        if os.geteuid() != 0:
            raise Skip("the Slurm daemons and munged run as root here")
        munge = os.path.join(self.folder, "munge")
        os.makedirs(munge, mode=0o700)
        for name in ("state", "spool"):
            os.makedirs(os.path.join(self.folder, name))
        key = os.path.join(munge, "munge.key")
        sock = os.path.join(munge, "munge.socket")
        self.daemon(["mungekey", "--create", "--keyfile", key], None)
        self.daemon(["munged", "--force", "--socket", sock, "--key-file", key, "--pid-file",
                     os.path.join(munge, "munged.pid"), "--log-file", os.path.join(munge, "munged.log"),
                     "--seed-file", os.path.join(munge, "munged.seed")], os.path.join(munge, "munged.pid"))
        with open(self.environment["SLURM_CONF"], "w") as conf:
            conf.write(slurm_conf(self.folder, sock))
        conf = self.environment["SLURM_CONF"]
        self.daemon(["slurmctld", "-f", conf], os.path.join(self.folder, "slurmctld.pid"))
        self.daemon(["slurmd", "-f", conf], os.path.join(self.folder, "slurmd.pid"))
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline:
            state = subprocess.run(["sinfo", "-h", "-o", "%T"], capture_output=True, text=True,
                                   env=self.environment).stdout.strip()
            if state == "idle":
                return
            time.sleep(0.5)
        raise Skip("the Slurm node did not come up:\n" + log_tail(os.path.join(self.folder, "slurmctld.log")) +
                   log_tail(os.path.join(self.folder, "slurmd.log")))

    def daemon(self, command, pid_file):
        result = subprocess.run(command, capture_output=True, text=True, env=self.environment)
        if result.returncode != 0:
            raise Skip(f"{command[0]} cannot start: {result.stderr.strip()}")
        if pid_file:
            self.pid_files.append(pid_file)

    def stop(self):
        for pid_file in reversed(self.pid_files):
            try:
                with open(pid_file) as text:
                    pid = int(text.read().split()[0])
                os.kill(pid, 15)
            except (OSError, ValueError, IndexError):
                continue
            deadline = time.monotonic() + 20
            while time.monotonic() < deadline:
                try:
                    os.kill(pid, 0)
                except ProcessLookupError:
                    break
                time.sleep(0.1)


OPTIONS = ["--layer", "図面 A"]


def make_tree(root):
    """Nine drawings in folders named as an archive's are, and a text file."""
    pictures = []
    for n in range(9):
        folder = os.path.join(root, ("設計部", "dept 2")[n % 2]) if n >= 3 else root
        os.makedirs(folder, exist_ok=True)
        sheet = Image.new("1", (240, 160), 1)
        pen = ImageDraw.Draw(sheet)
        pen.rectangle((10 + n, 10, 200, 120 - n), outline=0, width=2)
        pen.line((0, n * 15, 239, 159 - n * 5), fill=0, width=3)
        pen.ellipse((100, 40, 140 + n * 4, 80 + n * 3), outline=0, width=2)
        path = os.path.join(folder, "図面 %d.%s" % (n, ("png", "tif", "bmp")[n % 3]))
        sheet.save(path)
        pictures.append(path)
    with open(os.path.join(root, "dept 2", "README.txt"), "w") as text:
        text.write("scanned 2024\n")
    return pictures


class Checks:
    """Compares a recipe's drawings with runs of their own, each picture's run made once."""

    def __init__(self, program, work):
        self.program = program
        self.work = work
        self.single = {}

    def single_run(self, picture, options):
        key = (picture, tuple(options))
        if key not in self.single:
            output = os.path.join(self.work, "single.dxf")
            subprocess.run([self.program, "-q", "-y", "-o", output] + options + [picture], check=True)
            with open(output, "rb") as drawing:
                self.single[key] = drawing.read()
        return self.single[key]

    def drawings(self, tree, out, pictures, options=OPTIONS):
        failures = []
        for picture in pictures:
            drawing = os.path.join(out, os.path.splitext(os.path.relpath(picture, tree))[0] + ".dxf")
            if not os.path.exists(drawing):
                failures.append(drawing + " is missing")
                continue
            with open(drawing, "rb") as written:
                if written.read() != self.single_run(picture, options):
                    failures.append(drawing + " differs from a run of its own")
        if pictures and options == OPTIONS and not failures:
            drawing = os.path.join(out, os.path.splitext(os.path.relpath(pictures[-1], tree))[0] + ".dxf")
            layers = {entity.dxf.layer for entity in ezdxf.readfile(drawing).modelspace()}
            if layers != {"図面 A"}:
                failures.append("%s: layers %s" % (drawing, layers))
        return failures


def report_lines(out):
    """The lines of every report-K.jsonl below out, by K."""
    reports = {}
    for name in os.listdir(out):
        match = re.fullmatch(r"report-(\d+)\.jsonl", name)
        if match:
            with open(os.path.join(out, name), encoding="utf-8") as report:
                reports[int(match.group(1))] = [json.loads(line) for line in report]
    return reports


def check_reports(tree, out, parts, expected):
    """One report per part, 1 .. parts, naming every file of the tree once with the expected statuses
    (status by file name; the rest converted)."""
    failures = []
    reports = report_lines(out)
    if sorted(reports) != list(range(1, parts + 1)):
        failures.append("reports of parts %s, not 1 .. %d" % (sorted(reports), parts))
    seen = [line for lines in reports.values() for line in lines]
    inputs = sorted(os.path.relpath(line["input"], tree) for line in seen)
    everything = sorted(os.path.relpath(os.path.join(folder, name), tree)
                        for folder, _, names in os.walk(tree) for name in names)
    if inputs != everything:
        failures.append("the reports name %s, the tree holds %s" % (inputs, everything))
    for line in seen:
        wanted = expected.get(os.path.basename(line["input"]), "converted")
        if line["status"] != wanted:
            failures.append("%s: %s, not %s (%s)" % (line["input"], line["status"], wanted, line["message"]))
    return failures


def sbatch(cluster, work, array, arguments, extra=None):
    environment = dict(cluster.environment, **(extra or {}))
    log = os.path.join(work, "task-%s-%%a.log" % array.replace(",", "_"))
    return subprocess.run(["sbatch", "--wait", "--array=" + array, "--output", log] + arguments,
                          capture_output=True, text=True, env=environment, timeout=240)


def task_log(work, array, task):
    with open(os.path.join(work, "task-%s-%d.log" % (array, task)), encoding="utf-8", errors="replace") as log:
        return log.read()


def slurm_recipe(program, recipes, work, tree, pictures, checks):
    """Arrays counting from 1 and from 0, and a task resubmitted alone."""
    failures = []
    cluster = Cluster(os.path.join(work, "cluster"))
    os.makedirs(cluster.folder)
    try:
        cluster.start()
        cluster.environment["KELVARIN_CLI"] = program
        recipe = os.path.join(recipes, "slurm-array.sh")
        expected = {"README.txt": "skipped"}
        for array in ("1-3", "0-2"):
            out = os.path.join(work, "drawings %s 設計" % array)
            job = sbatch(cluster, work, array, [recipe, tree, out] + OPTIONS)
            if job.returncode != 0:
                failures.append("array %s: %s %s" % (array, job.stdout, job.stderr))
            failures += ["array %s: %s" % (array, failure) for failure in
                         checks.drawings(tree, out, pictures) + check_reports(tree, out, 3, expected)]
            first = int(array[0])
            if "converts part 1 of 3:" not in task_log(work, array, first):
                failures.append("array %s: task %d does not say it converts part 1: %s" %
                                (array, first, task_log(work, array, first)))

        # The second part of the array from 0 lost; its task resubmitted alone must be told the whole array.
        lost = [line["output"] for line in report_lines(out)[2] if line["status"] == "converted"]
        for drawing in lost:
            os.remove(drawing)
        job = sbatch(cluster, work, "1", [recipe, tree, out] + OPTIONS)
        if job.returncode == 0 or "KELVARIN_SHARDS" not in task_log(work, "1", 1):
            failures.append("a task alone was not refused: %s" % task_log(work, "1", 1))
        if any(os.path.exists(drawing) for drawing in lost):
            failures.append("a refused task converted")
        job = sbatch(cluster, work, "1", ["--export=ALL,KELVARIN_SHARDS=0-2", recipe, tree, out] + OPTIONS)
        if job.returncode != 0 or "part 2 of 3" not in task_log(work, "1", 1):
            failures.append("the task told its array: %s %s" % (job.stderr, task_log(work, "1", 1)))
        failures += ["resubmitted: " + failure for failure in checks.drawings(tree, out, pictures)]
        # The report of part 2 holds the first run's lines, then the resumed run's.
        part = report_lines(out)[2]
        half = len(part) // 2
        if len(part) != 2 * half or [line["input"] for line in part[:half]] != [line["input"] for line in part[half:]]:
            failures.append("report-2.jsonl after the resume: %s" % [line["input"] for line in part])
        elif sorted(line["output"] for line in part[half:] if line["status"] == "converted") != sorted(lost):
            failures.append("the resumed part converted %s, not %s" % (part[half:], lost))
    finally:
        cluster.stop()
    return failures


def parallel_recipe(program, recipes, work, tree, pictures, checks):
    """Three parts on this machine, the program named by KELVARIN_CLI only."""
    if not shutil.which("parallel"):
        print("GNU parallel is not installed: its recipe was not run")
        return []
    out = os.path.join(work, "drawings parallel 設計")
    environment = dict(os.environ, KELVARIN_CLI=program)
    hosts = subprocess.run([os.path.join(recipes, "parallel-hosts.sh"), tree, out, "3", ":"] + OPTIONS,
                           capture_output=True, text=True, env=environment, timeout=240)
    failures = [] if hosts.returncode == 0 else ["exit %d: %s %s" % (hosts.returncode, hosts.stdout, hosts.stderr)]
    failures += checks.drawings(tree, out, pictures) + check_reports(tree, out, 3, {"README.txt": "skipped"})
    return ["parallel: " + failure for failure in failures]


def found(node, key):
    """The value of the first mapping entry named key in the YAML document, depth first, or None."""
    if isinstance(node, dict):
        if key in node:
            return node[key]
        node = list(node.values())
    for child in node if isinstance(node, list) else []:
        value = found(child, key)
        if value is not None:
            return value
    return None


def kubernetes_recipe(program, recipes, work, checks):
    """Each completion index's script, on a tree with a broken scan and a clashing pair: every pod done,
    the failures in its report; a pod whose report cannot be written fails, to be retried."""
    with open(os.path.join(recipes, "kubernetes-indexed-job.yaml"), encoding="utf-8") as text:
        job = yaml.safe_load(text)
    container = found(job, "containers")[0]
    script = container["args"][0]
    completions = found(job, "completions")
    failures = []
    shards = re.findall(r'--shard "\$part/(\d+)"', script)
    if shards != [str(completions)]:
        failures.append("--shard's N %s, completions %d" % (shards, completions))
    rules = (found(job, "podFailurePolicy") or {}).get("rules", [])
    if not any(rule["action"] == "FailJob" and rule["onExitCodes"]["values"] == [2] and
               rule["onExitCodes"]["containerName"] == container["name"] for rule in rules):
        failures.append("a usage error does not fail the job: %s" % rules)

    archive = os.path.join(work, "アーカイブ 1")
    tree = os.path.join(archive, "scans")
    pictures = make_tree(tree)
    with open(pictures[0], "rb") as good:
        broken = good.read()[:100]
    with open(os.path.join(tree, "dept 2", "broken scan.png"), "wb") as damaged:
        damaged.write(broken)
    clash = [os.path.join(tree, "設計部", "a b." + kind) for kind in ("png", "tif")]
    for path in clash:
        Image.new("1", (60, 40), 1).save(path)
    bin_folder = os.path.join(work, "bin")
    os.makedirs(bin_folder)
    os.symlink(program, os.path.join(bin_folder, "kelvarin-cli"))
    environment = dict(os.environ, PATH=bin_folder + ":" + os.environ["PATH"])
    local = script.replace("/archive", archive)
    for index in range(completions):
        pod = subprocess.run(["sh", "-c", local], capture_output=True, text=True, timeout=240,
                             env=dict(environment, JOB_COMPLETION_INDEX=str(index)))
        if pod.returncode != 0:
            failures.append("pod %d: exit %d: %s" % (index, pod.returncode, pod.stderr))
    out = os.path.join(archive, "drawings")
    failures += checks.drawings(tree, out, pictures, [])
    expected = {"README.txt": "skipped", "broken scan.png": "failed", "a b.png": "failed", "a b.tif": "failed"}
    failures += check_reports(tree, out, completions, expected)
    if os.path.exists(os.path.join(out, "設計部", "a b.dxf")):
        failures.append("a clashing pair was converted")

    # A pod that cannot write its report fails, to be retried.
    os.remove(os.path.join(out, "report-1.jsonl"))
    os.mkdir(os.path.join(out, "report-1.jsonl"))
    pod = subprocess.run(["sh", "-c", local], capture_output=True, text=True, timeout=240,
                         env=dict(environment, JOB_COMPLETION_INDEX="0"))
    if pod.returncode != 3:
        failures.append("a pod without its report: exit %d: %s" % (pod.returncode, pod.stderr))
    return ["kubernetes: " + failure for failure in failures]


def main():
    program, recipes = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    work = tempfile.mkdtemp(prefix="kelvarin-cluster-")
    checks = Checks(program, work)
    tree = os.path.join(work, "scans 設計")
    pictures = make_tree(tree)
    failures = []
    skipped = None
    try:
        try:
            failures += ["slurm: " + failure for failure in slurm_recipe(program, recipes, work, tree, pictures, checks)]
        except Skip as reason:
            skipped = reason
        failures += parallel_recipe(program, recipes, work, tree, pictures, checks)
        failures += kubernetes_recipe(program, recipes, work, checks)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for failure in failures:
        print(failure)
    if failures:
        return 1
    if skipped:
        print("skipped: %s" % skipped)
        return SKIPPED
    return 0


if __name__ == "__main__":
    sys.exit(main())
