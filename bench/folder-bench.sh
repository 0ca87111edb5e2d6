#!/bin/bash
# The folder benchmark: lmpinfo over a generated folder of 1,000 files (600 .TD4, 100 .TP4, 150 .SV4,
# 150 .SC4), warm in the page cache, against cat of the game files that lmpinfo opens and against the
# checksum pass over them alone, the window's three "Select All ..." commands (offscreen, when the
# window is built) against lmpinfo --edition, then lmpinfo's peak memory on the folder and on a 2 GiB
# junk .SV4. Then, on a generated folder of 12,000 files (6,000 .TD4 each with its .TP4), the window's
# commands over the scattered selection that "Select All Original LMP files" leaves (offscreen)
# against lmpinfo --edition 0 on that folder, and the time from a press on a selected item to the
# start of its drag.
#
# usage: bench/folder-bench.sh [BUILD_DIR]   (default build; needs lmpinfo and lmp-bench-folder built)
#
# Times are the fastest of RUNS measurements of REPEAT runs each. On a shared machine the processor
# time (user + system) is the steadier figure and the ratios use it; wall time is shown beside it.
# To add a row: measure a command under a key, then print it with row (see the end of the script).
set -euo pipefail

BUILD=${1:-build}
FOLDER=${BENCH_FOLDER:-$BUILD/bench-folder}
LARGE_FOLDER=${BENCH_LARGE_FOLDER:-$BUILD/bench-folder-12000}
RUNS=${RUNS:-3}
REPEAT=${REPEAT:-5}
LMPINFO=$BUILD/cli/lmpinfo
TOOL=$BUILD/tools/lmp-bench-folder
SELECT_ALL=$BUILD/bench/lmp-bench-selectall
SELECTION=$BUILD/bench/lmp-bench-selection

for program in "$LMPINFO" "$TOOL" /usr/bin/time; do
  [ -x "$program" ] || { echo "folder-bench: $program is missing (build it first)" >&2; exit 2; }
done
if [ ! -d "$FOLDER" ]; then
  "$TOOL" write "$FOLDER" >/dev/null
fi

GAME_FILES=()
while IFS= read -r -d '' file; do GAME_FILES+=("$file"); done < <(
  find "$FOLDER" -maxdepth 1 -type f \( -iname '*.TD4' -o -iname '*.SV4' -o -iname '*.SC4' \) -print0 | sort -z)

declare -A CPU WALL
SCRATCH=$(mktemp -d)
trap 'rm -rf "$SCRATCH"' EXIT

# measure KEY COMMAND...: the fastest processor and wall seconds of one run of COMMAND.
measure() {
  local key=$1; shift
  local best_cpu="" best_wall=""
  "$@" >/dev/null 2>&1 || true  # warms the page cache
  for ((run = 0; run < RUNS; run++)); do
    /usr/bin/time -o "$SCRATCH/time" -f "%e %U %S" bash -c \
      'for ((i = 0; i < '"$REPEAT"'; i++)); do "$@" >/dev/null 2>&1 || true; done' _ "$@"
    read -r wall user sys < "$SCRATCH/time"
    local cpu
    cpu=$(awk -v u="$user" -v s="$sys" -v n="$REPEAT" 'BEGIN { printf "%.4f", (u + s) / n }')
    wall=$(awk -v w="$wall" -v n="$REPEAT" 'BEGIN { printf "%.4f", w / n }')
    if [ -z "$best_cpu" ] || awk -v a="$cpu" -v b="$best_cpu" 'BEGIN { exit !(a < b) }'; then best_cpu=$cpu; fi
    if [ -z "$best_wall" ] || awk -v a="$wall" -v b="$best_wall" 'BEGIN { exit !(a < b) }'; then best_wall=$wall; fi
  done
  CPU[$key]=$best_cpu
  WALL[$key]=$best_wall
}

# row LABEL KEY [REFERENCE_KEY]: one line of the table, with KEY's time as a multiple of the reference's.
row() {
  local label=$1 key=$2 reference=${3:-}
  local ratio=""
  if [ -n "$reference" ]; then
    ratio=$(awk -v a="${CPU[$key]}" -v b="${CPU[$reference]}" 'BEGIN { printf "%.2f", a / b }')" x $reference"
  fi
  local wall="-"
  [ -n "${WALL[$key]:-}" ] && wall=$(printf '%.3f s' "${WALL[$key]}")
  printf '| %s | %.3f s | %s | %s |\n' "$label" "${CPU[$key]}" "$wall" "$ratio"
}

# peak KEY COMMAND...: the peak resident memory of COMMAND in MiB.
declare -A PEAK
peak() {
  local key=$1; shift
  /usr/bin/time -o "$SCRATCH/peak" -f "%M" "$@" >/dev/null 2>&1 || true
  PEAK[$key]=$(awk '{ printf "%.1f", $1 / 1024 }' "$SCRATCH/peak")
}

measure lmpinfo "$LMPINFO" "$FOLDER"
measure cat cat "${GAME_FILES[@]}"
read -r checksum_seconds checksum_files checksum_bytes _ < <("$TOOL" checksum "$FOLDER")
# Timed inside the tool, in processor time only.
CPU[checksum]=$checksum_seconds
CPU[checksum+cat]=$(awk -v a="${CPU[checksum]}" -v b="${CPU[cat]}" 'BEGIN { printf "%.4f", a + b }')

# The window times its own commands (after the folder is listed); each edition's lmpinfo run is the
# same work without a window.
SELECT_EDITIONS=()
measure_select_all() {
  [ -x "$SELECT_ALL" ] || return 0
  while read -r _ _ edition wall _ _ cpu _; do
    edition=${edition%:}
    CPU[select$edition]=$(awk -v ms="$cpu" 'BEGIN { printf "%.4f", ms / 1000 }')
    WALL[select$edition]=$(awk -v ms="$wall" 'BEGIN { printf "%.4f", ms / 1000 }')
    measure "lmpinfo-edition$edition" "$LMPINFO" --edition "$edition" "$FOLDER"
    SELECT_EDITIONS+=("$edition")
  done < <(QT_QPA_PLATFORM=offscreen "$SELECT_ALL" "$FOLDER" "$RUNS" 2>/dev/null | grep '^select-all edition')
}

# The window during a "Select All" over the bench folder with a 4 GiB sparse .SV4 added (hard links to
# its files): the longest gap of a 1 ms heartbeat, and the time to close the window in the middle.
RESPONSIVENESS=()
measure_responsiveness() {
  [ -x "$SELECT_ALL" ] || return 0
  local huge=$SCRATCH/huge-folder
  mkdir -p "$huge"
  cp -l "$FOLDER"/* "$huge"/ 2>/dev/null || cp "$FOLDER"/* "$huge"/
  truncate -s 4G "$huge/M huge.SV4"
  mapfile -t RESPONSIVENESS < <(QT_QPA_PLATFORM=offscreen "$SELECT_ALL" --responsiveness "$huge" 2>/dev/null)
}

# The window's rows: each "Select All" as a multiple of the reference's wall time, the single-stream
# floor where the table has one (key floor), else the same edition's lmpinfo run.
select_all_rows() {
  local edition reference
  for edition in "${SELECT_EDITIONS[@]}"; do
    row "lmpinfo --edition $edition" "lmpinfo-edition$edition"
    reference=lmpinfo-edition$edition
    [ -n "${WALL[floor]:-}" ] && reference=floor
    printf '| window: Select All, edition %s | %.3f s | %.3f s | %s x %s (wall) |\n' "$edition" \
      "${CPU[select$edition]}" "${WALL[select$edition]}" \
      "$(awk -v a="${WALL[select$edition]}" -v b="${WALL[$reference]}" 'BEGIN { printf "%.2f", a / b }')" \
      "$reference"
  done
  local line
  for line in "${RESPONSIVENESS[@]}"; do
    echo "| window, 4 GiB sparse .SV4 in the folder: $line | | | |"
  done
}

measure_select_all
measure_responsiveness

# The scattered selection: each command once per run, the fastest run kept by the program itself.
SELECTION_ROWS=()
if [ -x "$SELECTION" ]; then
  if [ ! -d "$LARGE_FOLDER" ]; then
    "$TOOL" write-large "$LARGE_FOLDER" >/dev/null
  fi
  measure lmpinfo-large0 "$LMPINFO" --edition 0 "$LARGE_FOLDER"
  while read -r command wall _ _ cpu _; do
    command=${command%:}
    CPU[$command]=$(awk -v ms="$cpu" 'BEGIN { printf "%.4f", ms / 1000 }')
    WALL[$command]=$(awk -v ms="$wall" 'BEGIN { printf "%.4f", ms / 1000 }')
    SELECTION_ROWS+=("$command")
  done < <(QT_QPA_PLATFORM=offscreen "$SELECTION" "$LARGE_FOLDER" "$RUNS" 2>/dev/null |
             grep -E '^(select-matching|refresh-description|press-to-drag):')
fi

truncate -s 2G "$SCRATCH/junk.SV4"
peak folder "$LMPINFO" "$FOLDER"
peak junk "$LMPINFO" "$SCRATCH/junk.SV4"

echo
echo "Folder: $FOLDER, $(find "$FOLDER" -maxdepth 1 -type f | wc -l) files; lmpinfo opens $checksum_files of them," \
     "$((checksum_bytes / 1000000)) MB"
echo
echo "| What | Processor time | Wall time | Ratio |"
echo "|---|---:|---:|---|"
row "lmpinfo on the folder" lmpinfo checksum+cat
row "cat of its game files" cat
row "checksum pass alone (in memory)" checksum
row "checksum pass + cat" checksum+cat
select_all_rows
if [ ${#SELECTION_ROWS[@]} -gt 0 ]; then
  echo
  echo "Folder: $LARGE_FOLDER, $(find "$LARGE_FOLDER" -maxdepth 1 -type f | wc -l) files," \
       "after \"Select All Original LMP files\" (targets: 1.5 x lmpinfo --edition 0; a drag within 100 ms)"
  echo
  echo "| What | Processor time | Wall time | Ratio |"
  echo "|---|---:|---:|---|"
  row "lmpinfo --edition 0" lmpinfo-large0
  for command in "${SELECTION_ROWS[@]}"; do
    case $command in
      select-matching) row "window: Select Matching TP4's" "$command" lmpinfo-large0 ;;
      refresh-description) row "window: Refresh Description" "$command" lmpinfo-large0 ;;
      press-to-drag) row "window: press on a selected item to drag start" "$command" ;;
    esac
  done
fi
echo
echo "| Peak memory of lmpinfo | |"
echo "|---|---:|"
echo "| on the folder | ${PEAK[folder]} MiB |"
echo "| on a 2 GiB junk .SV4 | ${PEAK[junk]} MiB |"
