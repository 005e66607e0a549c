#!/usr/bin/env bash
# Find at scale, on two data sets made once under /tmp
# (STOWLIST_FIND_BENCH_DIR puts them elsewhere; default /tmp/stowlist-find-bench).
#
#   bench/find/run.sh BUILD_DIR [--reports N] [--lines L] [--rounds R] [--queries Q]
#                     [--junk-mb M] [--no-grep]
# The real-names data set (generate_real.py: 2,000 archive reports of 5,000
# lines by default): scale.py measures adding, add-then-find rounds, cold and
# warm finds, size, peak RSS and a junk file, side by side with rg and grep,
# and prints every figure against its target.
#
#   bench/find/run.sh BUILD_DIR --synthetic [ENTRIES]
# The synthetic data set (generate_reports.py, 34 words): generates ENTRIES
# entries, adds them to a fresh catalogue, then times cold `stowlist-cli find`
# for fixed queries, with grep and rg over the same reports side by side, then
# cold.py's median and percentiles over random queries.
set -euo pipefail
build=$1
shift
here=$(dirname "$0")
if [ "${1:-}" != "--synthetic" ]; then
  exec python3 -u "$here/scale.py" "$build" "$@"
fi
entries=${2:-10000000}
cli=$build/src/cli/stowlist-cli
data=${STOWLIST_FIND_BENCH_DIR:-/tmp/stowlist-find-bench}/$entries
if [ ! -d "$data/reports" ]; then
  python3 "$here/generate_reports.py" "$data/reports" "$entries"
fi
rm -f "$data/catalogue.sqlite"*
bytes=$(du -sbL "$data/reports" | cut -f1)
start=$(date +%s.%N)
"$cli" catalogue --catalogue "$data/catalogue.sqlite" add "$data/reports"
end=$(date +%s.%N)
cat_bytes=$(du -cb "$data/catalogue.sqlite"* | tail -1 | cut -f1)
echo "add: $(echo "$entries / ($end - $start)" | bc) entries/s; reports $bytes bytes, catalogue $cat_bytes bytes"
# The first find builds the name image and saves it beside the catalogue;
# the later ones map it.
t0=$(date +%s%N); "$cli" find --catalogue "$data/catalogue.sqlite" --limit 1000 photo >/dev/null || true; t1=$(date +%s%N)
echo "first find (image built and saved): $(( (t1-t0)/1000000 )) ms"
# A warm process, as the window keeps the catalogue open.
"$build/bench/find_warm" "$data/catalogue.sqlite" 100
for query in ph tax musi ande draft2 unchen hol; do
  t0=$(date +%s%N); "$cli" find --catalogue "$data/catalogue.sqlite" --limit 1000 "$query" >/dev/null || true; t1=$(date +%s%N)
  grep -r -i -F -c "$query" "$data/reports" >/dev/null || true; t2=$(date +%s%N)
  if command -v rg >/dev/null; then rg -i -F -c "$query" "$data/reports" >/dev/null || true; fi; t3=$(date +%s%N)
  echo "query $query: find $(( (t1-t0)/1000000 )) ms, grep $(( (t2-t1)/1000000 )) ms, rg $(( (t3-t2)/1000000 )) ms"
done
python3 "$here/cold.py" "$data/catalogue.sqlite" "$cli" --random 50 --reps 3
