#!/usr/bin/env python3
"""Cold `stowlist-cli find`: a new process for every query, the catalogue and
its saved name image in the page cache (a first find maps or builds it).

Times the fixed queries of run.sh and random queries of 3 to 8 characters
taken from the names, each asking for the first 1,000 hits, and prints the
median, 90th and 99th percentiles of the wall time and of the processor time
(user and system, every thread). With several programs, each query runs in
each of them in turn, so that a busy machine weighs on all alike, and their
outputs must be identical.

    bench/find/cold.py CATALOGUE CLI [CLI...] [--random N] [--reps R] [--seed S]
"""
import argparse
import hashlib
import os
import random
import statistics
import subprocess
import sys
import time

FIXED = ["ph", "tax", "musi", "ande", "draft2", "unchen", "hol"]


def run(cli, catalogue, query, limit):
    """Wall seconds, processor seconds, exit status and a digest of the output."""
    start = time.perf_counter()
    child = subprocess.Popen([cli, "find", "--catalogue", catalogue, "--limit", str(limit), "--", query],
                             stdout=subprocess.PIPE)
    digest = hashlib.sha256()
    for block in iter(lambda: child.stdout.read(1 << 16), b""):
        digest.update(block)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    child.returncode = os.waitstatus_to_exitcode(status)
    return wall, usage.ru_utime + usage.ru_stime, child.returncode, digest.hexdigest()


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(fraction * (len(ordered) - 1) + 0.5))]


def names(cli, catalogue, count):
    out = subprocess.run([cli, "find", "--catalogue", catalogue, "--limit", str(count), "--glob", "*"],
                         stdout=subprocess.PIPE, check=True).stdout
    found = []
    for line in out.split(b"\n"):
        fields = line.split(b"\t")
        if len(fields) > 2 and len(fields[2]) >= 8 and all(32 < c < 127 for c in fields[2]):
            found.append(fields[2].decode())
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("catalogue")
    parser.add_argument("clis", nargs="+")
    parser.add_argument("--random", type=int, default=50, help="random queries of 3 to 8 characters")
    parser.add_argument("--reps", type=int, default=3, help="runs of every query in every program")
    parser.add_argument("--seed", type=int, default=12345)
    args = parser.parse_args()

    pool = names(args.clis[0], args.catalogue, 50000)
    rng = random.Random(args.seed)
    queries = list(FIXED)
    for _ in range(args.random):
        name = rng.choice(pool)
        length = rng.randint(3, 8)
        at = rng.randint(0, len(name) - length)
        queries.append(name[at:at + length])

    # The first find of each program maps the image (or builds it): not timed.
    for cli in args.clis:
        run(cli, args.catalogue, "x", 1)
    wall = {cli: [] for cli in args.clis}
    cpu = {cli: [] for cli in args.clis}
    fixed = {cli: {q: [] for q in FIXED} for cli in args.clis}
    differ = 0
    for rep in range(args.reps):
        for query in queries:
            outputs = set()
            for cli in (args.clis if rep % 2 == 0 else list(reversed(args.clis))):
                w, c, status, digest = run(cli, args.catalogue, query, 1000)
                if status not in (0, 1):
                    sys.exit(f"{cli} find {query!r}: exit status {status}")
                wall[cli].append(w)
                cpu[cli].append(c)
                if query in fixed[cli]:
                    fixed[cli][query].append(w)
                outputs.add((status, digest))
            if len(outputs) > 1:
                differ += 1
                print(f"outputs differ for {query!r}", file=sys.stderr)
    load = os.getloadavg()
    print(f"{len(queries)} queries ({len(FIXED)} fixed, {args.random} random) x {args.reps}; "
          f"load average {load[0]:.1f} {load[1]:.1f} {load[2]:.1f}")
    for cli in args.clis:
        ms = [1000 * w for w in wall[cli]]
        cms = [1000 * c for c in cpu[cli]]
        print(f"{cli}: wall median {statistics.median(ms):.0f} ms, p90 {percentile(ms, 0.9):.0f}, "
              f"p99 {percentile(ms, 0.99):.0f}, max {max(ms):.0f}; processor median "
              f"{statistics.median(cms):.0f} ms, p99 {percentile(cms, 0.99):.0f}")
        print("  fixed (median wall): " +
              ", ".join(f"{q} {1000 * statistics.median(v):.0f}" for q, v in fixed[cli].items()))
    if differ:
        sys.exit(f"{differ} queries gave different outputs")


if __name__ == "__main__":
    main()
