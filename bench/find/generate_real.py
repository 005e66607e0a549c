#!/usr/bin/env python3
r"""Writes the real-names data set of the Find benchmark: archive reports whose
names look like a real catalogue's, each with its archive log beside it.

Half of the names are real file names (names.txt.gz: the names under /usr,
/etc and /var/lib of a Debian 12 machine, taken once), a quarter numbered
variants of them ("name (2).ext", "name_003.ext"), a quarter camera names
("IMG_0042.JPG", "DSC01234.JPG"). Each report is one medium with 1 to 12
archives (drops), each archive one folder (real folder paths, folders.txt.gz,
or photo folders under a home). Every report is made from its own seed, so
the data is the same whatever the number of processes or reports.

    generate_real.py FOLDER [--reports N] [--lines L] [--first I] [--manifests]

Reports are FOLDER/shelfNNN/reportNNNN.txt (ten to a shelf, with their logs
reportNNNN.log). --manifests gives every fifth report a sha256sum manifest
beside it (reportNNNN.sha256) whose digests are derived from name and size,
and whose paths are the archive folder's path relative to the drop's base
(the folder holding the first archive) followed by the name.
STOWLIST_GENERATE_PROCESSES sets the number of processes (default: one a
processor); the data does not depend on it.

The two lists were taken once, on a Debian 12 machine, with
    find /usr /etc /var/lib -xdev \( -type f -o -type l \) -printf '%f\n' |
        LC_ALL=C grep -v -P '[\x00-\x1f\x7f\\]' | LC_ALL=C sort -u | gzip -9 -n
    find /usr /etc /var/lib -xdev -type d -printf '%p\n' |
        LC_ALL=C grep -v -P '[\x00-\x1f\x7f\\\t]' | LC_ALL=C sort -u | gzip -9 -n
(names without control characters or backslashes).
"""
import argparse
import gzip
import hashlib
import multiprocessing
import os
import posixpath
import random

HERE = os.path.dirname(os.path.abspath(__file__))
MEDIA = ("CD", "DVD", "BD", "USB", "HDD", "DLT")
CAMERAS = (("IMG_", 4, ".JPG"), ("DSC", 5, ".JPG"), ("DSCN", 4, ".JPG"), ("P10", 5, ".JPG"),
           ("MVI_", 4, ".MOV"), ("GOPR", 4, ".MP4"), ("IMG_", 4, ".CR2"), ("DSC_", 4, ".NEF"))
PEOPLE = ("anna", "ben", "chris", "dana", "eli", "fran")
EVENTS = ("Holiday", "Birthday", "Garden", "Wedding", "Trip", "School", "Snow", "Beach", "Misc")
SEED = 20

NAMES = []
FOLDERS = []


def load(file_name):
    with gzip.open(os.path.join(HERE, file_name), "rt", encoding="utf-8") as lines:
        return [line.rstrip("\n") for line in lines if line.strip("\n")]


def init():
    NAMES[:] = load("names.txt.gz")
    FOLDERS[:] = load("folders.txt.gz")


def variant(rng, name):
    dot = name.rfind(".")
    stem, ext = (name[:dot], name[dot:]) if dot > 0 else (name, "")
    n = rng.randint(1, 40)
    form = rng.randrange(5)
    if form == 0:
        return "%s (%d)%s" % (stem, n, ext)
    if form == 1:
        return "%s_%03d%s" % (stem, n, ext)
    if form == 2:
        return "%s-%d%s" % (stem, n, ext)
    if form == 3:
        return "%s %d%s" % (stem, n, ext)
    return "%s.%d%s" % (stem, rng.randint(1990, 2026), ext)


def archive_folder(rng, photos):
    if photos:
        year = rng.randint(2003, 2026)
        return "/home/%s/Pictures/%d/%d-%02d-%02d %s" % (
            rng.choice(PEOPLE), year, year, rng.randint(1, 12), rng.randint(1, 28), rng.choice(EVENTS))
    return rng.choice(FOLDERS)


def size_of(rng, name):
    upper = name[-4:].upper()
    if upper in (".JPG", ".CR2", ".NEF"):
        return rng.randint(1200000, 9000000)
    if upper in (".MOV", ".MP4"):
        return rng.randint(20000000, 900000000)
    return min(int(rng.lognormvariate(8.5, 2.2)), 4 * 10**9)


def report(index, lines, manifests):
    """Writes report `index`; returns its path and byte count."""
    rng = random.Random(SEED * 1000003 + index)
    medium = "%s%02d" % (MEDIA[index % len(MEDIA)], index // len(MEDIA) + 1)
    archives = rng.randint(1, 12)
    photos = [rng.random() < 0.3 for _ in range(archives)]
    folders = [archive_folder(rng, p) for p in photos]
    first = [rng.randint(1, 9000) for _ in range(archives)]
    counters = [0] * archives
    cameras = [rng.choice(CAMERAS) for _ in range(archives)]
    days = [rng.randint(0, 10000) for _ in range(archives)]  # since 1999-01-01
    # Lines are dealt to the archives in runs, as each drop adds its own.
    bounds = sorted(rng.sample(range(1, lines), archives - 1)) if archives > 1 else []
    out, sums = [], []
    archive = 0
    for i in range(lines):
        while archive < len(bounds) and i >= bounds[archive]:
            archive += 1
        r = rng.random()
        if r < 0.5:
            name = rng.choice(NAMES)
        elif r < 0.75:
            name = variant(rng, rng.choice(NAMES))
        else:
            prefix, digits, ext = cameras[archive]
            counters[archive] += rng.randint(1, 3)
            name = "%s%0*d%s" % (prefix, digits, (first[archive] + counters[archive]) % 10**digits, ext)
        size = size_of(rng, name)
        day = days[archive] + rng.randint(0, 400)
        year, rest = 1999 + day // 365, day % 365
        date = "%02d/%02d/%02d" % (rest // 31 % 12 + 1, rest % 28 + 1, year % 100)
        seconds = rng.randrange(86400)
        time = "%02d:%02d:%02d" % (seconds // 3600, seconds // 60 % 60, seconds % 60)
        tag = "%s-%02d" % (medium, archive + 1)
        out.append("%s\t%d\t%s\t%s\t%s" % (name, size, date, time, tag))
        if manifests:
            sums.append((archive, name, size))
    shelf = os.path.join(FOLDER, "shelf%03d" % (index // 10))
    os.makedirs(shelf, exist_ok=True)
    path = os.path.join(shelf, "report%04d.txt" % index)
    body = "\r\n".join(out).encode("utf-8")
    with open(path, "wb") as f:
        f.write(body)
    log = "\r\n".join("%s-%02d\t%s" % (medium, a + 1, folders[a]) for a in range(archives))
    with open(path[:-4] + ".log", "wb") as f:
        f.write(log.encode("utf-8"))
    if manifests:
        base = posixpath.dirname(folders[0]) or "/"
        relative = [posixpath.relpath(folder, base) for folder in folders]
        with open(path[:-4] + ".sha256", "wb") as f:
            f.write("".join("%s  %s\n" % (hashlib.sha256(("%s\t%d" % (name, size)).encode("utf-8")).hexdigest(),
                                          posixpath.normpath(posixpath.join(relative[a], name)))
                            for a, name, size in sums).encode("utf-8"))
    return path, len(body)


FOLDER = None


def work(job):
    index, lines, manifests = job
    return report(index, lines, manifests)


def start(folder):
    global FOLDER
    FOLDER = folder
    init()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--reports", type=int, default=2000)
    parser.add_argument("--lines", type=int, default=5000)
    parser.add_argument("--first", type=int, default=0, help="index of the first report")
    parser.add_argument("--manifests", action="store_true", help="a manifest beside every fifth report")
    args = parser.parse_args()
    os.makedirs(args.folder, exist_ok=True)
    jobs = [(i, args.lines, args.manifests and i % 5 == 0) for i in range(args.first, args.first + args.reports)]
    processes = int(os.environ.get("STOWLIST_GENERATE_PROCESSES", os.cpu_count()))
    with multiprocessing.Pool(processes, initializer=start, initargs=(args.folder,)) as pool:
        total = sum(size for _, size in pool.imap_unordered(work, jobs, chunksize=4))
    print("%d reports of %d lines, %d bytes, in %s" % (args.reports, args.lines, total, args.folder))


if __name__ == "__main__":
    main()
