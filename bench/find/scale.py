#!/usr/bin/env python3
"""Find at scale on the real-names data set (generate_real.py), every figure
against its target, side by side with `rg -i -F -c` and `grep -i -F -c` over
the raw reports in the same run.

    scale.py BUILD_DIR [--reports N] [--lines L] [--rounds R] [--queries Q]
             [--junk-mb M] [--no-grep] [--seed S]

The data goes under $STOWLIST_FIND_BENCH_DIR (default /tmp/stowlist-find-bench),
in real-NxL/: reports/ (made once, every fifth with a manifest), added/ (the
reports added one at a time), junk/ and work/ (the catalogue, made afresh on
every run). Every whole-process time is wall time with the page cache warm
("cold" means a new process). Peak RSS is the process's maximum resident set
(ru_maxrss, what `/usr/bin/time -f %M` prints; catalogue operations run under
/usr/bin/time itself). Figures of the catalogue on disk count every file in
its folder whose name starts with the database's file name.
"""
import argparse
import gzip
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, HERE)
from cold import percentile  # noqa: E402

MB = 1024 * 1024


class Run:
    """One finished process: wall seconds, peak RSS in KiB, exit status,
    lines of standard output, first line of standard error."""

    def __init__(self, wall, rss_kib, status, lines, error):
        self.wall, self.rss_kib, self.status, self.lines, self.error = wall, rss_kib, status, lines, error


def execute(command, env=None, measured_by_time=False):
    """Runs `command`, reading its output through a pipe and counting lines."""
    rss_file = None
    if measured_by_time:
        handle, rss_file = tempfile.mkstemp(prefix="stowlist-rss-")
        os.close(handle)
        command = ["/usr/bin/time", "-f", "%M", "-o", rss_file] + command
    err = tempfile.TemporaryFile()
    start = time.perf_counter()
    child = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=err, env=env)
    lines = 0
    for block in iter(lambda: child.stdout.read(1 << 16), b""):
        lines += block.count(b"\n")
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    child.returncode = os.waitstatus_to_exitcode(status)
    rss = usage.ru_maxrss
    if rss_file:
        with open(rss_file) as f:
            text = f.read().split()
        os.unlink(rss_file)
        # /usr/bin/time adds "Command exited with non-zero status N" first.
        rss = int(text[-1]) if text and text[-1].isdigit() else rss
    err.seek(0)
    first = err.read().decode("utf-8", "replace").strip().split("\n")[0]
    return Run(wall, rss, child.returncode, lines, first)


def generate(args, data):
    """Makes the reports once; a marker tells a finished set from a cut one."""
    done = os.path.join(data, "complete")
    if os.path.exists(done):
        return
    for part in ("reports", "added"):
        shutil.rmtree(os.path.join(data, part), ignore_errors=True)
    start = time.perf_counter()
    subprocess.run([sys.executable, os.path.join(HERE, "generate_real.py"), os.path.join(data, "reports"),
                    "--reports", str(args.reports), "--lines", str(args.lines), "--manifests"], check=True)
    subprocess.run([sys.executable, os.path.join(HERE, "generate_real.py"), os.path.join(data, "added"),
                    "--first", "100000", "--reports", str(args.rounds), "--lines", str(args.lines)], check=True)
    print("generated in %.0f s" % (time.perf_counter() - start))
    with open(done, "w") as f:
        f.write("%d %d %d\n" % (args.reports, args.lines, args.rounds))


def files_under(folder, ending):
    found = []
    for root, _, names in os.walk(folder):
        found += [os.path.join(root, n) for n in names if n.endswith(ending)]
    return sorted(found)


def catalogue_bytes(database):
    folder, base = os.path.split(database)
    return sum(os.path.getsize(os.path.join(folder, n)) for n in os.listdir(folder) if n.startswith(base))


def make_queries(rng, names, count, low, high):
    queries = []
    while len(queries) < count:
        name = rng.choice(names)
        length = rng.randint(low, high)
        if len(name) < length:
            continue
        at = rng.randint(0, len(name) - length)
        text = name[at:at + length]
        # A leading '-' would read as an option; spaces are kept.
        if not text.startswith("-") and text.strip() == text and text:
            queries.append(text)
    return queries


def junk_file(path, reports, total):
    """300 KB of archive lines, then line feeds up to `total` bytes."""
    if os.path.exists(path) and os.path.getsize(path) == total:
        return
    with open(reports[0], "rb") as f:
        head = f.read(300 * 1024)
    head = head[:head.rfind(b"\r\n") + 2]
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(head)
        left = total - len(head)
        block = b"\n" * MB
        while left > 0:
            out.write(block[:min(left, len(block))])
            left -= len(block)


def ms(seconds):
    return "%.0f ms" % (1000 * seconds) if seconds < 10 else "%.1f s" % seconds


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--reports", type=int, default=2000)
    parser.add_argument("--lines", type=int, default=5000)
    parser.add_argument("--rounds", type=int, default=20, help="add-then-find rounds")
    parser.add_argument("--queries", type=int, default=100)
    parser.add_argument("--junk-mb", type=int, default=500)
    parser.add_argument("--no-grep", action="store_true", help="leave grep out (rg stays)")
    parser.add_argument("--seed", type=int, default=12345)
    args = parser.parse_args()

    cli = os.path.join(args.build, "src/cli/stowlist-cli")
    warm = os.path.join(args.build, "bench/find_warm")
    root = os.environ.get("STOWLIST_FIND_BENCH_DIR", "/tmp/stowlist-find-bench")
    data = os.path.join(root, "real-%dx%d" % (args.reports, args.lines))
    os.makedirs(data, exist_ok=True)
    generate(args, data)
    reports = files_under(os.path.join(data, "reports"), ".txt")
    added = files_under(os.path.join(data, "added"), ".txt")[:args.rounds]
    report_bytes = sum(os.path.getsize(p) for p in reports)
    entries = args.reports * args.lines

    work = os.path.join(data, "work")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    env = dict(os.environ, HOME=work, XDG_DATA_HOME=os.path.join(work, "data"),
               XDG_CONFIG_HOME=os.path.join(work, "config"))
    database = os.path.join(work, "catalogue.sqlite")

    def catalogue(*words, db=database):
        run = execute([cli, "catalogue", "--catalogue", db] + list(words), env, measured_by_time=True)
        if run.status != 0 and words[0] != "add":
            sys.exit("catalogue %s: exit status %d: %s" % (words[0], run.status, run.error))
        return run

    def find(query, limit=None):
        command = [cli, "find", "--catalogue", database]
        if limit:
            command += ["--limit", str(limit)]
        run = execute(command + ["--", query], env)
        if run.status not in (0, 1):
            sys.exit("find %r: exit status %d: %s" % (query, run.status, run.error))
        return run

    def scan(tool, query):
        if tool == "rg":
            command = ["rg", "-i", "-F", "-c", "-g", "*.txt", "--", query, os.path.join(data, "reports")]
        else:
            command = ["grep", "-r", "-i", "-F", "-c", "--include=*.txt", "--", query, os.path.join(data, "reports")]
        return execute(command, env)

    load = os.getloadavg()
    print("%s; %d reports of %d lines (%d entries, %d bytes); %d processors; load average %.1f %.1f %.1f"
          % (time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime()), args.reports, args.lines, entries, report_bytes,
             os.cpu_count(), *load))
    rows = []

    def row(what, measured, target, met):
        rows.append((what, measured, target, "" if met is None else ("yes" if met else "NO")))

    # (e) Adding every report; the first find after it (today it builds the
    # name image) counted with it as "the index included".
    add = catalogue("add", os.path.join(data, "reports"))
    if add.status != 0:
        sys.exit("catalogue add: exit status %d: %s" % (add.status, add.error))
    names = [line for line in gzip.open(os.path.join(HERE, "names.txt.gz"), "rt", encoding="utf-8").read().split("\n")
             if line]
    rng = random.Random(args.seed)
    queries = make_queries(rng, names, args.queries, 3, 8)
    first = find(queries[0], 1000)
    stored = catalogue_bytes(database)
    print("add: %s, %.0f entries/s, peak RSS %d MB; first find %s, peak RSS %d MB"
          % (ms(add.wall), entries / add.wall, add.rss_kib // 1024, ms(first.wall), first.rss_kib // 1024))
    row("add the reports, entries/s", "%.0f" % (entries / add.wall), ">= 500000", entries / add.wall >= 500000)
    with_index = entries / (add.wall + first.wall)
    row("  with the first find after it", "%.0f" % with_index, ">= 500000", with_index >= 500000)
    row("catalogue+index / reports' bytes", "%.2f (%.1f MB / %.1f MB)" % (stored / report_bytes, stored / MB,
                                                                         report_bytes / MB),
        "<= 1.2", stored / report_bytes <= 1.2)

    # (b) Cold finds, each query in each program in turn.
    find_all, find_limited, rg, grep, hits = [], [], [], [], []
    find_rss = first.rss_kib
    for i, query in enumerate(queries):
        order = ["all", "limited", "rg", "grep"]
        if i % 2:
            order.reverse()
        for what in order:
            if what == "all":
                run = find(query)
                find_all.append(run.wall)
                hits.append(run.lines)
            elif what == "limited":
                run = find(query, 1000)
                find_limited.append(run.wall)
            elif what == "rg":
                run = scan("rg", query)
                rg.append(run.wall)
            elif not args.no_grep:
                run = scan("grep", query)
                grep.append(run.wall)
            find_rss = max(find_rss, run.rss_kib) if what in ("all", "limited") else find_rss
    few = [t for t, h in zip(find_all, hits) if h <= 1000]
    slower = [(q, l, r) for q, l, r in zip(queries, find_limited, rg) if l > r]
    print("%d queries: %d with at most 1,000 hits; hits median %d, most %d"
          % (len(queries), len(few), statistics.median(hits), max(hits)))
    print("rg median %s, p99 %s%s" % (ms(statistics.median(rg)), ms(percentile(rg, 0.99)),
                                        "" if args.no_grep else "; grep median %s, p99 %s"
                                        % (ms(statistics.median(grep)), ms(percentile(grep, 0.99)))))
    print("find, all hits: median %s, p90 %s, p99 %s; --limit 1000: median %s, p90 %s, p99 %s"
          % (ms(statistics.median(find_all)), ms(percentile(find_all, 0.9)), ms(percentile(find_all, 0.99)),
             ms(statistics.median(find_limited)), ms(percentile(find_limited, 0.9)),
             ms(percentile(find_limited, 0.99))))
    for query, limited, scanned in slower[:10]:
        print("  slower than rg with --limit 1000: %r %s against %s" % (query, ms(limited), ms(scanned)))
    if len(slower) > 10:
        print("  and %d more" % (len(slower) - 10))
    if few:
        row("cold find, median (<= 1,000 hits, %d queries)" % len(few), ms(statistics.median(few)), "<= 10 ms",
            statistics.median(few) <= 0.010)
    row("cold find --limit 1000, p99", ms(percentile(find_limited, 0.99)), "<= 100 ms",
        percentile(find_limited, 0.99) <= 0.100)
    row("  queries slower than rg -i -F -c", "%d of %d" % (len(slower), len(queries)), "0", not slower)
    row("  rg -i -F -c, median (for comparison)", ms(statistics.median(rg)), "", None)
    if grep:
        row("  grep -i -F -c, median (for comparison)", ms(statistics.median(grep)), "", None)
    python = find(".py")
    find_rss = max(find_rss, python.rss_kib)
    row("cold find .py, all %d hits printed" % python.lines, ms(python.wall), "<= 2 s", python.wall <= 2)
    short = make_queries(rng, names, 3, 1, 1) + make_queries(rng, names, 3, 2, 2)
    short_runs = [find(q, 1000) for q in short]
    find_rss = max([find_rss] + [r.rss_kib for r in short_runs])
    slowest = max(range(len(short)), key=lambda i: short_runs[i].wall)
    row("cold find --limit 1000 of 1-2 characters, slowest (%r)" % short[slowest],
        ms(short_runs[slowest].wall), "<= 1 s", short_runs[slowest].wall <= 1)

    # (c) The same queries in one process.
    listed = os.path.join(work, "queries.txt")
    with open(listed, "w", encoding="utf-8") as f:
        f.write("".join(q + "\n" for q in queries))
    out = subprocess.run([warm, database, "--queries", listed], stdout=subprocess.PIPE, env=env, check=True)
    warm_ms = [float(line.split("\t")[2]) for line in out.stdout.decode("utf-8", "replace").split("\n")
               if line.startswith("query\t")]
    row("warm find (first 1,000 + count), median", "%.1f ms" % statistics.median(warm_ms), "<= 5 ms",
        statistics.median(warm_ms) <= 5)

    # (a) One report added, then a cold find of one of its names, in a row.
    rounds, add_rss = [], 0
    for path in added:
        with open(path, "rb") as f:
            lines = f.read().split(b"\r\n")
        name = lines[len(lines) // 2].split(b"\t")[0].decode("utf-8")
        log = path[:-4] + ".log"
        one = catalogue("add", log, path)
        if one.status != 0:
            sys.exit("catalogue add %s: exit status %d: %s" % (path, one.status, one.error))
        found = find(name, 1000)
        if found.status != 0:
            sys.exit("find %r after adding %s found nothing" % (name, path))
        rounds.append(one.wall + found.wall)
        print("add then find %d: add %s (peak RSS %d MB), find %r %s (peak RSS %d MB)"
              % (len(rounds), ms(one.wall), one.rss_kib // 1024, name, ms(found.wall), found.rss_kib // 1024),
              flush=True)
        add_rss = max(add_rss, one.rss_kib)
        find_rss = max(find_rss, found.rss_kib)
    if rounds:
        print("add then find, together: " + ", ".join(ms(t) for t in rounds))
        row("add one report + cold find, slowest of %d" % len(rounds), ms(max(rounds)), "<= 0.5 s each",
            max(rounds) <= 0.5)
        row("  median", ms(statistics.median(rounds)), "", None)

    # (f) Refresh after one report changed; compact when there is such a word.
    os.utime(reports[len(reports) // 2])
    refresh = catalogue("refresh")
    helptext = subprocess.run([cli, "catalogue", "--help"], stdout=subprocess.PIPE, env=env).stdout.decode()
    compact = catalogue("compact") if "compact" in helptext else None
    remove = catalogue("remove", *[p[:-4] + ".log" for p in added] + added) if added else None
    limit_kib = 512 * 1024
    for what, kib in (("add (all reports)", add.rss_kib), ("add (one report), largest", add_rss),
                      ("refresh (one report changed)", refresh.rss_kib),
                      ("compact", compact.rss_kib if compact else None),
                      ("remove (the added reports)", remove.rss_kib if remove else None),
                      ("find, largest", find_rss)):
        if kib is not None:
            row("peak RSS: " + what, "%d MB" % (kib // 1024), "<= 512 MB", kib <= limit_kib)
    print("refresh %s%s%s" % (ms(refresh.wall), ", compact %s" % ms(compact.wall) if compact else "",
                               ", remove %s" % ms(remove.wall) if remove else ""))

    # (g) A junk file that starts like a report.
    if args.junk_mb:
        junk = os.path.join(data, "junk", "junk.txt")
        junk_file(junk, reports, args.junk_mb * 1000 * 1000)
        spare = os.path.join(work, "junk.sqlite")
        refused = catalogue("add", junk, db=spare)
        print("junk file of %d MB: exit status %d, %s: %s" % (args.junk_mb, refused.status, ms(refused.wall),
                                                             refused.error or "(no message)"))
        row("junk file of %d MB refused by add, time" % args.junk_mb, ms(refused.wall), "<= 1 s",
            refused.wall <= 1 and refused.status != 0)
        row("  peak RSS", "%d MB" % (refused.rss_kib // 1024), "<= 64 MB", refused.rss_kib <= 64 * 1024)

    load = os.getloadavg()
    print("load average at the end %.1f %.1f %.1f\n" % load)
    width = max(len(r[0]) for r in rows)
    mwidth = max(len(r[1]) for r in rows)
    print("%-*s  %*s  %-15s %s" % (width, "figure", mwidth, "measured", "target", "met"))
    for what, measured, target, met in rows:
        print("%-*s  %*s  %-15s %s" % (width, what, mwidth, measured, target, met))


if __name__ == "__main__":
    main()
