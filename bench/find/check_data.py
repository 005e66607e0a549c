#!/usr/bin/env python3
"""Checks the real-names data set on a small scale, against the program that
reads it: the same bytes from the same seed whatever the number of processes;
every line of every report found by `stowlist-cli find` with the folder its
log gives; each manifest line naming an entry's folder (relative to the drop's
base) and name, with the digest of its name and size; the mix of names.

    check_data.py STOWLIST_CLI
"""
import filecmp
import gzip
import hashlib
import os
import posixpath
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REPORTS, LINES = 6, 300


def generate(folder, processes):
    env = dict(os.environ, STOWLIST_GENERATE_PROCESSES=str(processes))
    subprocess.run([sys.executable, os.path.join(HERE, "generate_real.py"), folder, "--reports", str(REPORTS),
                    "--lines", str(LINES), "--manifests"], check=True, env=env, stdout=subprocess.DEVNULL)


def same_trees(left, right):
    compared = filecmp.dircmp(left, right)
    if compared.left_only or compared.right_only or compared.funny_files:
        return False
    _, mismatch, errors = filecmp.cmpfiles(left, right, compared.common_files, shallow=False)
    return not mismatch and not errors and all(
        same_trees(os.path.join(left, d), os.path.join(right, d)) for d in compared.common_dirs)


def expected_entries(folder):
    """(medium, folder, name, size, date, time, report:line) of every line,
    read with the archive log beside each report."""
    rows = []
    for root, _, names in sorted(os.walk(folder)):
        for name in sorted(n for n in names if n.endswith(".txt")):
            report = os.path.join(root, name)
            with open(report[:-4] + ".log", encoding="utf-8", newline="") as f:
                folders = dict(line.split("\t") for line in f.read().split("\r\n"))
            with open(report, encoding="utf-8", newline="") as f:
                for number, line in enumerate(f.read().split("\r\n"), 1):
                    fields = line.split("\t")
                    if len(fields) != 5:
                        sys.exit("%s:%d: not five fields" % (report, number))
                    rows.append("\t".join([fields[4], folders[fields[4]], fields[0], fields[1], fields[2], fields[3],
                                           "%s:%d" % (report, number)]))
    return sorted(rows)


def check_manifests(folder, hits):
    """Every manifest line against the entries the program found."""
    by_report = {}
    for hit in hits:
        medium, entry_folder, name, size, _, _, place = hit.split("\t")
        report, line = place.rsplit(":", 1)
        by_report.setdefault(report, []).append((int(line), medium, entry_folder, name, int(size)))
    manifests = 0
    for report, entries in sorted(by_report.items()):
        manifest = report[:-4] + ".sha256"
        number = int(os.path.basename(report)[6:10])
        if os.path.exists(manifest) != (number % 5 == 0):
            return "%s: a manifest where none belongs, or none where one does" % report
        if not os.path.exists(manifest):
            continue
        manifests += 1
        entries.sort()
        base = posixpath.dirname(next(f for _, m, f, _, _ in entries if m.endswith("-01")))
        with open(manifest, encoding="utf-8") as f:
            lines = f.read().split("\n")
        if lines[-1] != "" or len(lines) - 1 != len(entries):
            return "%s: %d lines for %d entries" % (manifest, len(lines) - 1, len(entries))
        for line, (_, _, entry_folder, name, size) in zip(lines, entries):
            digest = hashlib.sha256(("%s\t%d" % (name, size)).encode("utf-8")).hexdigest()
            path = posixpath.normpath(posixpath.join(posixpath.relpath(entry_folder, base), name))
            if line != "%s  %s" % (digest, path):
                return "%s: %r, expected %r" % (manifest, line, "%s  %s" % (digest, path))
    return None if manifests else "no manifest checked"


def main():
    cli = sys.argv[1]
    with tempfile.TemporaryDirectory(prefix="stowlist-find-data-") as scratch:
        one, two = os.path.join(scratch, "one"), os.path.join(scratch, "two")
        generate(one, 1)
        generate(two, 2)
        failures = []
        if not same_trees(one, two):
            failures.append("the data differs with the number of processes")
        env = dict(os.environ, HOME=scratch, XDG_DATA_HOME=os.path.join(scratch, "data"),
                   XDG_CONFIG_HOME=os.path.join(scratch, "config"))
        catalogue = os.path.join(scratch, "catalogue.sqlite")
        subprocess.run([cli, "catalogue", "--catalogue", catalogue, "add", one], check=True, env=env)
        found = subprocess.run([cli, "find", "--catalogue", catalogue, "--glob", "*"], check=True, env=env,
                               stdout=subprocess.PIPE).stdout.decode("utf-8").split("\n")
        hits = sorted(line for line in found if line)
        expected = expected_entries(one)
        if hits != expected:
            missing = sorted(set(expected) - set(hits))[:3]
            extra = sorted(set(hits) - set(expected))[:3]
            failures.append("find gives %d entries, the reports %d; missing %r, not expected %r"
                            % (len(hits), len(expected), missing, extra))
        else:
            problem = check_manifests(one, hits)
            if problem:
                failures.append(problem)
        real = set(gzip.open(os.path.join(HERE, "names.txt.gz"), "rt", encoding="utf-8").read().split("\n"))
        names = [line.split("\t")[2] for line in expected]
        share = sum(name in real for name in names) / len(names)
        cameras = sum(name[-4:] in (".JPG", ".MOV", ".MP4", ".CR2", ".NEF") and name[:1].isupper()
                      for name in names) / len(names)
        if not 0.45 <= share <= 0.56 or not 0.2 <= cameras <= 0.3:
            failures.append("real names %.2f of the entries, camera names %.2f" % (share, cameras))
    for failure in failures:
        print("check_data: " + failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
