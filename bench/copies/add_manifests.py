#!/usr/bin/env python3
"""Writes a sha256sum manifest beside every fifth report in FOLDER (as
generate_reports.py writes them), each file's digest derived from its name
and size, so that Copies groups both by digest and by name, size, date and
time.    add_manifests.py FOLDER"""
import hashlib
import os
import sys


def main():
    folder = sys.argv[1]
    reports = sorted(f for f in os.listdir(folder) if f.endswith(".txt"))
    for index, report in enumerate(reports):
        if index % 5 != 0:
            continue
        lines = []
        base = None
        with open(os.path.join(folder, report), encoding="utf-8", newline="") as text:
            record = None
            for line in text.read().split("\r\n"):
                fields = line.split("\t")
                if len(fields) == 1:
                    if line.startswith("/"):
                        record = line
                        base = base or line
                    continue
                if len(fields) < 5 or fields[1] == "<FOLDER>":
                    continue
                name, size = fields[0], fields[1]
                if record is None:  # an archive report: names alone
                    path = name
                else:
                    relative = record[len(base) + 1:] if record.startswith(base + "/") else record
                    path = (relative + "/" if relative and record != base else "") + name
                digest = hashlib.sha256((name.lower() + "\0" + size).encode()).hexdigest()
                lines.append("%s  %s\n" % (digest, path))
        with open(os.path.join(folder, report[:-4] + ".sha256"), "w", encoding="utf-8") as out:
            out.writelines(lines)


if __name__ == "__main__":
    main()
