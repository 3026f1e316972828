#!/usr/bin/env bash
# Side by side on one workbook: Morvane's load (load_bench), python3-openpyxl in read-only mode
# reading column A, and zlib alone inflating the sheet and shared-strings parts (inflate_parts).
# Reports wall time, peak memory and the ratios, and checks that both readers give the same names.
#
# Usage: bench/compare_readers.sh [FILE.xlsx] [ROUNDS]
#   FILE defaults to build/linux/bench/big.xlsx, made by bench/make_big_xlsx.py when missing.
#   The fast programs run ROUNDS times (default 3) and the best round counts: the machine is shared.
# Needs: the linux preset's load_bench and inflate_parts built, python3-openpyxl, GNU time.
set -euo pipefail
cd "$(dirname "$0")/.."

file=${1:-build/linux/bench/big.xlsx}
rounds=${2:-3}
bench=build/linux/bench
python=/usr/bin/python3  # Debian's, which has python3-openpyxl
for program in "$bench/load_bench" "$bench/inflate_parts" /usr/bin/time; do
  [ -x "$program" ] || { echo "missing $program (build the linux preset's bench targets; apt-get install time)" >&2; exit 1; }
done
if [ ! -f "$file" ]; then
  echo "making $file ..." >&2
  "$python" bench/make_big_xlsx.py "$file"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat >"$work/openpyxl_column_a.py" <<'EOF'
# Column A of the first sheet, one line per row, escaped as load_bench --print writes it.
import sys
import openpyxl

book = openpyxl.load_workbook(sys.argv[1], read_only=True)
sheet = book.worksheets[0]
out = sys.stdout
for (value,) in sheet.iter_rows(min_col=1, max_col=1, values_only=True):
    text = "" if value is None else str(value)
    out.write(text.replace("\\", "\\\\").replace("\n", "\\n").replace("\r", "\\r") + "\n")
EOF

# measure NAME COMMAND...: best wall seconds and its peak resident KiB over the rounds into
# $work/NAME.result; the command's standard output goes to $work/NAME.out.
measure() {
  local name=$1 repeat=$2
  shift 2
  local best="" best_memory="" best_processor="" round seconds memory user system
  for ((round = 1; round <= repeat; round++)); do
    if ! /usr/bin/time -f "%e %M %U %S" -o "$work/time" "$@" >"$work/$name.out" 2>"$work/$name.err"; then
      echo "$name failed:" >&2
      cat "$work/$name.err" >&2
      return 1
    fi
    read -r seconds memory user system <"$work/time"
    if [ -z "$best" ] || awk -v a="$seconds" -v b="$best" 'BEGIN { exit !(a < b) }'; then
      best=$seconds
      best_memory=$memory
    fi
    local processor
    processor=$(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }')
    if [ -z "$best_processor" ] || awk -v a="$processor" -v b="$best_processor" 'BEGIN { exit !(a < b) }'; then
      best_processor=$processor
    fi
  done
  echo "$best $best_memory $best_processor" >"$work/$name.result"
}

echo "workbook: $file ($(stat -c %s "$file") bytes)"
measure inflate "$rounds" "$bench/inflate_parts" "$file"
measure morvane "$rounds" "$bench/load_bench" "$file"
grep -E '^rows:' "$work/morvane.err" | sed 's/^/  load_bench /'
measure openpyxl 1 "$python" "$work/openpyxl_column_a.py" "$file"

read -r inflate_seconds inflate_memory inflate_processor <"$work/inflate.result"
read -r morvane_seconds morvane_memory morvane_processor <"$work/morvane.result"
read -r openpyxl_seconds openpyxl_memory openpyxl_processor <"$work/openpyxl.result"

printf '%-34s %10s %14s %10s\n' "reader" "seconds" "processor s" "peak MiB"
row() { printf '%-34s %10s %14s %10.1f\n' "$1" "$2" "$3" "$(awk -v k="$4" 'BEGIN { print k / 1024 }')"; }
row "zlib inflate of the two parts" "$inflate_seconds" "$inflate_processor" "$inflate_memory"
row "Morvane load_bench" "$morvane_seconds" "$morvane_processor" "$morvane_memory"
row "openpyxl read-only, column A" "$openpyxl_seconds" "$openpyxl_processor" "$openpyxl_memory"
# Wall time is what the bars name; processor time (user + system) is steadier on a shared machine.
ratios() {
  awk -v what="$1" -v m="$2" -v i="$3" -v o="$4" 'BEGIN {
    if (m <= 0) m = 0.01
    if (i <= 0) i = 0.01
    printf "%s: load / inflate %.2f x (bar: at most 3), openpyxl / load %.1f x (bar: at least 20)\n", what, m / i, o / m
  }'
}
ratios "wall" "$morvane_seconds" "$inflate_seconds" "$openpyxl_seconds"
ratios "processor" "$morvane_processor" "$inflate_processor" "$openpyxl_processor"
awk -v k="$morvane_memory" 'BEGIN { printf "load peak memory: %.1f MiB (bar: under 150)\n", k / 1024 }'

# Same names from both readers?
"$bench/load_bench" "$file" --print >"$work/morvane.names" 2>/dev/null
if cmp -s "$work/morvane.names" "$work/openpyxl.out"; then
  echo "names: identical ($(wc -l <"$work/morvane.names") lines)"
else
  echo "names: DIFFER; first difference:"
  diff "$work/morvane.names" "$work/openpyxl.out" | head -5
fi
