#!/usr/bin/env bash
# Copies at scale: the Find benchmark's ENTRIES synthetic entries (generated
# once under /tmp) with a manifest beside every fifth report, added to a fresh
# catalogue; then `copies --summary` and `copies --fewer-than 2 > /dev/null`,
# each timed with its peak RSS, twice (the first after the add, which leaves
# every report read).   bench/copies/run.sh BUILD_DIR [ENTRIES]
# STOWLIST_COPIES_BENCH_DIR puts the data elsewhere (default /tmp/stowlist-copies-bench).
set -euo pipefail
build=$1
entries=${2:-10000000}
cli=$build/src/cli/stowlist-cli
data=${STOWLIST_COPIES_BENCH_DIR:-/tmp/stowlist-copies-bench}/$entries
here=$(dirname "$0")
if [ ! -d "$data/reports" ]; then
  python3 "$here/../find/generate_reports.py" "$data/reports" "$entries"
  python3 "$here/add_manifests.py" "$data/reports"
fi
rm -f "$data/catalogue.sqlite"*
start=$(date +%s.%N)
/usr/bin/time -f "add: %e s, peak RSS %M KB" "$cli" catalogue --catalogue "$data/catalogue.sqlite" add "$data/reports"
end=$(date +%s.%N)
echo "add: $(echo "$entries / ($end - $start)" | bc) entries/s; catalogue $(du -cb "$data/catalogue.sqlite"* | tail -1 | cut -f1) bytes"
for run in 1 2; do
  /usr/bin/time -f "copies --summary: %e s, peak RSS %M KB" \
    "$cli" copies --catalogue "$data/catalogue.sqlite" --summary > "$data/summary.txt"
  /usr/bin/time -f "copies --fewer-than 2: %e s, peak RSS %M KB" \
    "$cli" copies --catalogue "$data/catalogue.sqlite" --fewer-than 2 > /dev/null
done
echo "media: $(wc -l < "$data/summary.txt")"
