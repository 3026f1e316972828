#!/usr/bin/env bash
# Side by side on one .xls: Morvane's load (load_bench) and python3-xlrd reading column A, in
# alternating rounds of one run. Reports the medians of whole processes and of the reading alone
# (load_bench's own "load" figure, xlrd's open_workbook and column read), their ratios, and
# checks that both give the same names.
#
# Usage: bench/compare_xls.sh [FILE.xls] [ROUNDS]
#   FILE defaults to build/linux/bench/rows65536.xls, 65,536 names saved by LibreOffice, made by
#   tests/fixtures/xls/make_xls_fixtures.py --bench when missing. ROUNDS defaults to 15.
# Needs: the linux preset's load_bench built, python3-xlrd (and to make the file, LibreOffice
# and python3-openpyxl).
set -euo pipefail
cd "$(dirname "$0")/.."

file=${1:-build/linux/bench/rows65536.xls}
rounds=${2:-15}
load_bench=build/linux/bench/load_bench
python=/usr/bin/python3  # Debian's, which has python3-xlrd
[ -x "$load_bench" ] || { echo "missing $load_bench (build the linux preset's bench targets)" >&2; exit 1; }
if [ ! -f "$file" ]; then
  echo "making $file ..." >&2
  "$python" tests/fixtures/xls/make_xls_fixtures.py --bench "$file"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat >"$work/xlrd_column_a.py" <<'EOF'
# Column A of the first sheet, timed from the open; with --print, one line per row, escaped as
# load_bench --print writes it.
import sys
import time
import xlrd

start = time.perf_counter()
book = xlrd.open_workbook(sys.argv[1])
sheet = book.sheet_by_index(0)
names = [sheet.cell_value(row, 0) for row in range(sheet.nrows)]
print("read: %.1f ms" % ((time.perf_counter() - start) * 1000), file=sys.stderr)
if len(sys.argv) > 2:
    def text(value):
        if isinstance(value, float) and value.is_integer():
            return str(int(value))
        return str(value)
    for value in names:
        sys.stdout.write(text(value).replace("\\", "\\\\").replace("\n", "\\n").replace("\r", "\\r") + "\n")
EOF

# run NAME COMMAND...: appends the whole process's milliseconds to $work/NAME.wall and the
# program's own figure (the number after "load:" or "read:") to $work/NAME.own.
run() {
  local name=$1
  shift
  local start=$EPOCHREALTIME
  "$@" >/dev/null 2>"$work/err" || { echo "$name failed:" >&2; cat "$work/err" >&2; exit 1; }
  local end=$EPOCHREALTIME
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.2f\n", (e - s) * 1000 }' >>"$work/$name.wall"
  sed -nE 's/^(load|read): ([0-9.]+) ms$/\2/p' "$work/err" >>"$work/$name.own"
}

median() { sort -g "$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "workbook: $file ($(stat -c %s "$file") bytes), $rounds rounds"
for ((round = 1; round <= rounds; round++)); do
  run morvane "$load_bench" "$file"
  run xlrd "$python" "$work/xlrd_column_a.py" "$file"
done

morvane_wall=$(median "$work/morvane.wall")
morvane_own=$(median "$work/morvane.own")
xlrd_wall=$(median "$work/xlrd.wall")
xlrd_own=$(median "$work/xlrd.own")
printf '%-30s %14s %14s\n' "median milliseconds" "whole process" "reading"
printf '%-30s %14s %14s\n' "Morvane load_bench" "$morvane_wall" "$morvane_own"
printf '%-30s %14s %14s\n' "python3-xlrd, column A" "$xlrd_wall" "$xlrd_own"
awk -v mw="$morvane_wall" -v mo="$morvane_own" -v xw="$xlrd_wall" -v xo="$xlrd_own" 'BEGIN {
  printf "xlrd / load_bench: %.1f x whole process, %.1f x reading (bar: at least 20)\n", xw / mw, xo / mo
}'

# Same names from both readers?
"$load_bench" "$file" --print >"$work/morvane.names" 2>/dev/null
"$python" "$work/xlrd_column_a.py" "$file" --print >"$work/xlrd.names" 2>/dev/null
if cmp -s "$work/morvane.names" "$work/xlrd.names"; then
  echo "names: identical ($(wc -l <"$work/morvane.names") lines)"
else
  echo "names: DIFFER; first difference:"
  diff "$work/morvane.names" "$work/xlrd.names" | head -5
fi
