#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The cluster recipes of examples/cluster run end to end: a one-node Slurm cluster (munged, slurmctld and
slurmd on 127.0.0.1 with a slurm.conf of its own) converts a small tree as a three-task array job, and GNU
parallel does the same on this machine. Every drawing must be the bytes of a run of its own, and the merged
reports must name every input once. Exits 77 (skipped) where the daemons cannot start.

usage: distributed_test.py KELVARIN_CLI RECIPE_FOLDER"""
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

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


def make_tree(root):
    """Nine drawings in two levels, and a text file."""
    pictures = []
    for n in range(9):
        folder = os.path.join(root, "box%d" % (n % 2)) if n >= 3 else root
        os.makedirs(folder, exist_ok=True)
        sheet = Image.new("1", (240, 160), 1)
        pen = ImageDraw.Draw(sheet)
        pen.rectangle((10 + n, 10, 200, 120 - n), outline=0, width=2)
        pen.line((0, n * 15, 239, 159 - n * 5), fill=0, width=3)
        pen.ellipse((100, 40, 140 + n * 4, 80 + n * 3), outline=0, width=2)
        path = os.path.join(folder, "sheet%d.%s" % (n, ("png", "tif", "bmp")[n % 3]))
        sheet.save(path)
        pictures.append(path)
    with open(os.path.join(root, "box1", "README.txt"), "w") as text:
        text.write("scanned 2024\n")
    return pictures


def check_drawings(program, tree, out, pictures, work):
    """Every drawing the bytes of a run of its own; every input once in the merged reports."""
    failures = []
    for picture in pictures:
        single = os.path.join(work, "single.dxf")
        subprocess.run([program, "-q", "-y", "-o", single, picture], check=True)
        drawing = os.path.join(out, os.path.splitext(os.path.relpath(picture, tree))[0] + ".dxf")
        with open(single, "rb") as expected, open(drawing, "rb") as written:
            if expected.read() != written.read():
                failures.append(drawing + " differs from a run of its own")
    seen = []
    for name in sorted(os.listdir(out)):
        if name.startswith("report-") and name.endswith(".jsonl"):
            with open(os.path.join(out, name), encoding="utf-8") as report:
                seen += [json.loads(line) for line in report]
    inputs = sorted(os.path.relpath(line["input"], tree) for line in seen)
    everything = sorted(os.path.relpath(os.path.join(folder, name), tree)
                        for folder, _, names in os.walk(tree) for name in names)
    if inputs != everything:
        failures.append("the reports name %s, the tree holds %s" % (inputs, everything))
    statuses = sorted(line["status"] for line in seen)
    if statuses != ["converted"] * len(pictures) + ["skipped"]:
        failures.append("statuses %s" % statuses)
    return failures


def main():
    program, recipes = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    work = tempfile.mkdtemp(prefix="kelvarin-cluster-")
    cluster = Cluster(os.path.join(work, "cluster"))
    os.makedirs(cluster.folder)
    failures = []
    try:
        cluster.start()
        tree = os.path.join(work, "scans")
        pictures = make_tree(tree)
        out = os.path.join(work, "drawings")
        environment = dict(cluster.environment, KELVARIN_CLI=program)
        job = subprocess.run(["sbatch", "--wait", "--array=1-3", "--output", os.path.join(work, "task-%a.log"),
                              os.path.join(recipes, "slurm-array.sh"), tree, out],
                             capture_output=True, text=True, env=environment, timeout=240)
        if job.returncode != 0:
            failures.append("sbatch: %s %s" % (job.stdout, job.stderr))
        failures += ["slurm: " + failure for failure in check_drawings(program, tree, out, pictures, work)]

        if shutil.which("parallel"):
            out = os.path.join(work, "drawings-parallel")
            environment["PATH"] = os.path.dirname(program) + ":" + environment["PATH"]
            hosts = subprocess.run([os.path.join(recipes, "parallel-hosts.sh"), tree, out, "3", ":"],
                                   capture_output=True, text=True, env=environment, timeout=240)
            if hosts.returncode != 0:
                failures.append("parallel: %s %s" % (hosts.stdout, hosts.stderr))
            failures += ["parallel: " + failure for failure in check_drawings(program, tree, out, pictures, work)]
        else:
            print("GNU parallel is not installed: its recipe was not run")
    except Skip as reason:
        print("skipped: %s" % reason)
        return SKIPPED
    finally:
        cluster.stop()
        shutil.rmtree(work, ignore_errors=True)
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
