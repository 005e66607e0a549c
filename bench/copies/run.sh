#!/usr/bin/env bash
# Copies at scale, on the Find benchmark's real-names data set (2,000 archive
# reports of 5,000 lines, every fifth with a manifest whose digests come from
# name and size; made once by bench/find/generate_real.py):
#   bench/copies/run.sh BUILD_DIR [--reports N] [--lines L]
# adds the reports to a fresh catalogue, then times `copies --summary` and
# `copies --fewer-than 2 > /dev/null` twice each, with peak RSS, and the
# Find window's search path with and without the copy counts (find_warm).
#   bench/copies/run.sh BUILD_DIR --synthetic [ENTRIES]
# does the same on the synthetic data set (34 words), ENTRIES entries.
# STOWLIST_FIND_BENCH_DIR / STOWLIST_COPIES_BENCH_DIR put the data elsewhere.
set -euo pipefail
build=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
cli=$build/src/cli/stowlist-cli
reports=2000 lines=5000
if [ "${1:-}" = "--synthetic" ]; then
  entries=${2:-10000000}
  data=${STOWLIST_COPIES_BENCH_DIR:-/tmp/stowlist-copies-bench}/$entries
  if [ ! -d "$data/reports" ]; then
    python3 "$here/../find/generate_reports.py" "$data/reports" "$entries"
    python3 "$here/add_manifests.py" "$data/reports"
  fi
else
  while [ $# -gt 0 ]; do
    case $1 in
      --reports) reports=$2; shift 2 ;;
      --lines) lines=$2; shift 2 ;;
      *) echo "usage: bench/copies/run.sh BUILD_DIR [--reports N] [--lines L] | --synthetic [ENTRIES]" >&2; exit 2 ;;
    esac
  done
  entries=$((reports * lines))
  data=${STOWLIST_FIND_BENCH_DIR:-/tmp/stowlist-find-bench}/real-${reports}x${lines}
  # The marker bench/find/scale.py leaves once its reports are whole.
  if [ ! -f "$data/complete" ]; then
    rm -rf "$data/reports"
    python3 "$here/../find/generate_real.py" "$data/reports" --reports "$reports" --lines "$lines" --manifests
  fi
  data=$data/copies
  mkdir -p "$data"
  rm -rf "$data/reports"
  ln -s ../reports "$data/reports"
fi
echo "$(date -u '+%F %H:%M UTC'); $entries entries; load average $(cut -d' ' -f1-3 /proc/loadavg)"
rm -f "$data/catalogue.sqlite"*
start=$(date +%s.%N)
/usr/bin/time -f "add: %e s, peak RSS %M KB" "$cli" catalogue --catalogue "$data/catalogue.sqlite" add "$data/reports/"
end=$(date +%s.%N)
bytes=$(du -cbL "$data/reports/" | tail -1 | cut -f1)
echo "add: $(echo "$entries / ($end - $start)" | bc) entries/s; reports $bytes bytes, catalogue $(du -cb "$data/catalogue.sqlite"* | tail -1 | cut -f1) bytes"
for run in 1 2; do
  /usr/bin/time -f "copies --summary: %e s, peak RSS %M KB" \
    "$cli" copies --catalogue "$data/catalogue.sqlite" --summary > "$data/summary.txt"
  /usr/bin/time -f "copies --fewer-than 2: %e s, peak RSS %M KB" \
    "$cli" copies --catalogue "$data/catalogue.sqlite" --fewer-than 2 > /dev/null
done
echo "media: $(wc -l < "$data/summary.txt"); files on one medium only: $(awk -F'\t' '{n += $4} END {print n}' "$data/summary.txt")"
# The window's search path: the same random queries, without and with the copy counts, alternating.
for run in 1 2; do
  for copies in "" --copies; do
    echo "find_warm ${copies:-(no copy counts)}:"
    "$build/bench/find_warm" "$data/catalogue.sqlite" 100 7 $copies | grep -v '^1 or 2'
  done
done
echo "load average at the end $(cut -d' ' -f1-3 /proc/loadavg)"
