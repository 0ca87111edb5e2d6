#!/bin/bash
# The folder benchmark: lmpinfo over a generated folder of 1,000 files (600 .TD4, 100 .TP4, 150 .SV4,
# 150 .SC4), warm in the page cache, against cat of the game files that lmpinfo opens and against the
# checksum pass over them alone, the window's three "Select All ..." commands (offscreen, when the
# window is built) against lmpinfo --edition, then lmpinfo's peak memory on the folder and on a 2 GiB
# junk .SV4. Then, on a generated folder of 12,000 files (6,000 .TD4 each with its .TP4), the window's
# commands over the scattered selection that "Select All Original LMP files" leaves (offscreen)
# against lmpinfo --edition 0 on that folder, and the time from a press on a selected item to the
# start of its drag. Then lmpinfo against the single-threaded floor (lmp-bench-floor), lmpinfo -r over a
# tree of 100,000 track designs (first record, whole run, peak memory), and, where the page cache can be
# dropped, the same folder cold against 8 parallel cat readers, with the window's "Select All Original"
# and the pipeline's time for each number of threads and of files asked of the disk ahead. The game-detail columns' fill over the
# 1,000-file folder (offscreen), with nothing cached and after Refresh Directory, and the details cache's
# heap per 10,000 files. Last, on collections of 5,000, 10,000 and 100,000 first-expansion track designs
# each followed by its .TP4 (lmp-bench-folder collection), the window's listing, its event loop meanwhile
# (also with a listing blocked in the system), a sort by Excitement, the Game Details fill against lmpinfo
# and the peak memory (lmp-bench-listing).
# On the tree and the 1,000-file folder: lmpinfo -r --where 'excitement>7' and lmpinfo -r --cache (first run
# on an empty cache, second run from it) against lmpinfo -r, and the cache's size on disk.
# Also on the collections, the window's "Select All VJ/EM files" (with the longest event-loop gap),
# "Refresh Description", "Select Matching TP4's" and Ctrl+A against lmpinfo --edition 1 on the same folder,
# wall time, and the pane's memory per line (lmp-bench-selectall --collection).
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
DETAILS=$BUILD/bench/lmp-bench-details
COLD=$BUILD/bench/lmp-bench-cold
# The cache of descriptions (lmpinfo --cache, the window) in a folder of the benchmark's own, never the user's.
export XDG_CACHE_HOME=$BUILD/bench-xdg-cache

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

# row LABEL KEY [REFERENCE_KEY [wall]]: one line of the table, with KEY's processor time as a multiple of the
# reference's, or its wall time where the fourth word says so (work that waits, not only computes).
row() {
  local label=$1 key=$2 reference=${3:-} by=${4:-}
  local ratio=""
  if [ -n "$reference" ] && [ "$by" = wall ]; then
    ratio=$(awk -v a="${WALL[$key]}" -v b="${WALL[$reference]}" 'BEGIN { printf "%.2f", a / b }')" x $reference (wall)"
  elif [ -n "$reference" ]; then
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

# The floor, for the Select All rows (the pipeline's table below measures it again beside lmpinfo).
if [ -x "$BUILD/bench/lmp-bench-floor" ]; then
  read -r WALL[floor] _ < <("$BUILD/bench/lmp-bench-floor" "$FOLDER" 5)
fi
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

# The game-detail columns: timed by the program itself, the fastest of RUNS.
DETAILS_ROWS=()
CACHE_BYTES=""
if [ -x "$DETAILS" ]; then
  while read -r what first _ _ second _; do
    case $what in
      details-fill: | details-refill:)
        what=${what%:}
        WALL[$what]=$(awk -v ms="$first" 'BEGIN { printf "%.4f", ms / 1000 }')
        CPU[$what]=$(awk -v ms="$second" 'BEGIN { printf "%.4f", ms / 1000 }')
        DETAILS_ROWS+=("$what") ;;
      details-cache:) CACHE_BYTES=$first ;;
    esac
  done < <(QT_QPA_PLATFORM=offscreen "$DETAILS" "$FOLDER" "$RUNS" 2>/dev/null | grep '^details-')
fi

# --- The describing pipeline: lmpinfo's threads against the single-threaded floor, and -r over a tree ---

FLOOR=$BUILD/bench/lmp-bench-floor
TREE=${BENCH_TREE:-$BUILD/bench-tree}

# The medians of the pipeline rows, by key.
declare -A MEDIAN

# first_record KEY COMMAND...: seconds to the first line COMMAND writes and to its end, and its peak memory.
declare -A FIRST TOTAL
first_record() {
  local key=$1; shift
  local start
  start=$EPOCHREALTIME
  read -r FIRST[$key] TOTAL[$key] < <("$@" 2>/dev/null | {
    IFS= read -r _; first=$EPOCHREALTIME; cat >/dev/null
    awk -v s="$start" -v f="$first" -v e="$EPOCHREALTIME" 'BEGIN { printf "%.4f %.4f\n", f - s, e - s }'; })
  peak "$key" "$@"
}

# wall COMMAND...: the wall seconds of one run of COMMAND.
wall() {
  local start=$EPOCHREALTIME
  "$@" >/dev/null 2>&1 || true
  awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.4f", b - a }'
}

# median_wall KEY COMMAND...: the median wall seconds of 5 warm runs of COMMAND, into MEDIAN[KEY].
median_wall() {
  local key=$1; shift
  local times=() run
  "$@" >/dev/null 2>&1 || true # warms the page cache
  for ((run = 0; run < 5; run++)); do times+=("$(wall "$@")"); done
  MEDIAN[$key]=$(printf '%s\n' "${times[@]}" | sort -n | sed -n 3p)
}

# The floor and lmpinfo measured in turn, 5 rounds, so that the load of a shared machine weighs on both
# alike; each figure is the median of its 5.
pipeline_rows() {
  [ -x "$FLOOR" ] || { echo "folder-bench: $FLOOR is missing, no pipeline rows" >&2; return; }
  local floors=() defaults=() ones=() starts=() ratios=() floor_bytes
  "$LMPINFO" "$FOLDER" >/dev/null 2>&1 || true
  for ((run = 0; run < 5; run++)); do
    read -r floor_seconds _ floor_bytes _ < <("$FLOOR" "$FOLDER" 1)
    floors+=("$floor_seconds")
    defaults+=("$(wall "$LMPINFO" "$FOLDER")")
    ratios+=("$(awk -v a="${defaults[-1]}" -v b="$floor_seconds" 'BEGIN { printf "%.3f", a / b }')")
    ones+=("$(wall "$LMPINFO" --jobs 1 "$FOLDER")")
    starts+=("$(wall "$LMPINFO" --version)")
  done
  middle() { printf '%s\n' "$@" | sort -n | sed -n 3p; }
  floor_seconds=$(middle "${floors[@]}")
  MEDIAN[pipeline-default]=$(middle "${defaults[@]}")
  MEDIAN[pipeline-jobs1]=$(middle "${ones[@]}")
  MEDIAN[start]=$(middle "${starts[@]}")
  local ratio_range
  ratio_range=$(printf '%s\n' "${ratios[@]}" | sort -n | awk 'NR == 1 { low = $1 } { high = $1 } END { print low "-" high }')
  if [ ! -d "$TREE" ]; then
    "$TOOL" tree "$TREE" >/dev/null
  fi
  "$LMPINFO" -r "$TREE" >/dev/null 2>&1 || true # warms the page cache
  first_record tree-jobs1 "$LMPINFO" --jobs 1 -r "$TREE"
  first_record tree-default "$LMPINFO" -r "$TREE"

  echo
  echo "The floor: one thread reads the $((floor_bytes / 1000000)) MB of game files in 1 MiB chunks and checksums" \
       "them (lmp-bench-floor); wall time, median of 5 runs taken in turn with lmpinfo's, warm; lmpinfo on" \
       "$(nproc) cores; load average $(cut -d' ' -f1-3 /proc/loadavg)."
  echo
  echo "| What | Wall time | Ratio |"
  echo "|---|---:|---|"
  printf '| the floor | %.3f s | |\n' "$floor_seconds"
  for key in pipeline-jobs1 pipeline-default; do
    printf '| lmpinfo %s on the folder | %.3f s | %.2f x the floor |\n' \
      "$([ "$key" = pipeline-jobs1 ] && echo "--jobs 1" || echo "(default)")" "${MEDIAN[$key]}" \
      "$(awk -v a="${MEDIAN[$key]}" -v b="$floor_seconds" 'BEGIN { printf "%.2f", a / b }')"
  done
  printf '| each round, lmpinfo (default) / the floor | | %s |\n' "$ratio_range"
  printf '| lmpinfo --version (the process alone: start and exit) | %.3f s | |\n' "${MEDIAN[start]}"
  echo
  echo "| lmpinfo -r over 100,000 track designs | First record | Whole run | First record in the run | Peak memory |"
  echo "|---|---:|---:|---:|---:|"
  for key in tree-jobs1 tree-default; do
    printf '| %s | %.3f s | %.3f s | %.1f%% | %s MiB |\n' \
      "$([ "$key" = tree-jobs1 ] && echo "--jobs 1" || echo "default")" "${FIRST[$key]}" "${TOTAL[$key]}" \
      "$(awk -v a="${FIRST[$key]}" -v b="${TOTAL[$key]}" 'BEGIN { printf "%.1f", 100 * a / b }')" "${PEAK[$key]}"
  done
}

# --- Cold cache: each measurement after the page cache is dropped (root only), median of 3 ---

# dropped: true when writing 3 to drop_caches emptied the cache of a game file (fincore counts its pages);
# a container may refuse the write or ignore it.
cache_drops() {
  local probe=${GAME_FILES[0]}
  command -v fincore >/dev/null || return 1
  cat "$probe" >/dev/null
  sync
  { echo 3 > /proc/sys/vm/drop_caches; } 2>/dev/null || return 1
  [ "$(fincore --noheadings --output PAGES "$probe" | tr -d ' ')" = 0 ]
}

# median_cold KEY COMMAND...: the median wall seconds of 3 runs of COMMAND, each on a dropped cache.
median_cold() {
  local key=$1; shift
  local times=() start
  for ((run = 0; run < 3; run++)); do
    sync
    echo 3 > /proc/sys/vm/drop_caches
    start=$EPOCHREALTIME
    "$@" >/dev/null 2>&1 || true
    times+=("$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.4f", b - a }')")
  done
  MEDIAN[$key]=$(printf '%s\n' "${times[@]}" | sort -n | sed -n 2p)
}

# --- lmpinfo --where and --cache against plain lmpinfo -r, median of 3 each, outputs compared with cmp ---

# median3 KEY COMMAND...: the median wall seconds of 3 runs of COMMAND; its output kept in $SCRATCH/KEY.
# With CLEAR set, the cache is emptied before each run.
median3() {
  local key=$1; shift
  local times=() start
  for ((run = 0; run < 3; run++)); do
    [ -n "${CLEAR:-}" ] && rm -rf "$XDG_CACHE_HOME"
    start=$EPOCHREALTIME
    "$@" >"$SCRATCH/$key" 2>/dev/null || true
    times+=("$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.4f", b - a }')")
  done
  MEDIAN[$key]=$(printf '%s\n' "${times[@]}" | sort -n | sed -n 2p)
}

search_cache_rows() {
  echo
  echo "lmpinfo -r with --where and --cache; wall time, median of 3, warm; the cache in \$XDG_CACHE_HOME" \
       "($XDG_CACHE_HOME); load average $(cut -d' ' -f1-3 /proc/loadavg)."
  echo
  echo "| Over | Command | Wall time | Ratio | Output |"
  echo "|---|---|---:|---|---|"
  local where label db=$XDG_CACHE_HOME/lmpexplorer/descriptions.db
  for where in "$TREE" "$FOLDER"; do
    [ -d "$where" ] || continue
    label=$([ "$where" = "$TREE" ] && echo "100,000 designs" || echo "1,000 files")
    "$LMPINFO" -r "$where" >/dev/null 2>&1 || true # warms the page cache
    median3 plain "$LMPINFO" -r "$where"
    median3 where "$LMPINFO" -r --where 'excitement>7' "$where"
    CLEAR=1 median3 first "$LMPINFO" -r --cache "$where"
    median3 second "$LMPINFO" -r --cache "$where"
    local size
    size=$(du -k "$db"* 2>/dev/null | awk '{ k += $1 } END { printf "%.1f", k / 1024 }')
    printf '| %s | lmpinfo -r | %.3f s | | |\n' "$label" "${MEDIAN[plain]}"
    printf '| %s | --where '"'"'excitement>7'"'"' | %.3f s | %.2f x lmpinfo -r | %s matched |\n' "$label" \
      "${MEDIAN[where]}" "$(awk -v a="${MEDIAN[where]}" -v b="${MEDIAN[plain]}" 'BEGIN { printf "%.2f", a / b }')" \
      "$(grep -c '^File Name' "$SCRATCH/where" || true)"
    local key
    for key in first second; do
      printf '| %s | --cache, %s run | %.3f s | %.2f x lmpinfo -r | %s |\n' "$label" "$key" "${MEDIAN[$key]}" \
        "$(awk -v a="${MEDIAN[$key]}" -v b="${MEDIAN[plain]}" 'BEGIN { printf "%.2f", a / b }')" \
        "$(cmp -s "$SCRATCH/$key" "$SCRATCH/plain" && echo "same as lmpinfo -r" || echo "DIFFERS")"
    done
    printf '| %s | the cache on disk | %s MiB | | |\n' "$label" "$size"
  done
  rm -rf "$XDG_CACHE_HOME"
}

cold_rows() {
  if ! cache_drops; then
    echo
    echo "Cold cache: skipped, the page cache cannot be dropped here (not root, or the container ignores it)."
    return
  fi
  local list=$SCRATCH/game-files
  printf '%s\n' "${GAME_FILES[@]}" > "$list"
  median_cold cold-cat8 xargs -a "$list" -d '\n' -n $(((${#GAME_FILES[@]} + 7) / 8)) -P 8 cat
  median_cold cold-lmpinfo "$LMPINFO" "$FOLDER"
  median_cold cold-lmpinfo-jobs1 "$LMPINFO" --jobs 1 "$FOLDER"
  # The window lists the folder first, then drops the cache before each of its 3 runs.
  if [ -x "$SELECT_ALL" ]; then
    read -r _ _ _ ms _ < <(QT_QPA_PLATFORM=offscreen "$SELECT_ALL" --cold "$FOLDER" 3 2>/dev/null |
                             grep '^select-all-cold') || true
    [ -n "${ms:-}" ] && MEDIAN[cold-select0]=$(awk -v ms="$ms" 'BEGIN { printf "%.4f", ms / 1000 }')
  fi
  if [ -x "$DETAILS" ]; then
    read -r _ ms _ < <(QT_QPA_PLATFORM=offscreen "$DETAILS" --cold "$FOLDER" 3 2>/dev/null |
                         grep '^details-fill-cold') || true
    [ -n "${ms:-}" ] && MEDIAN[cold-details]=$(awk -v ms="$ms" 'BEGIN { printf "%.4f", ms / 1000 }')
  fi
  echo
  echo "| Cold cache (median of 3, wall) | Time | Ratio |"
  echo "|---|---:|---|"
  printf '| 8 parallel cat of the game files | %.3f s | |\n' "${MEDIAN[cold-cat8]}"
  local key label
  for key in cold-lmpinfo-jobs1 cold-lmpinfo cold-select0 cold-details; do
    [ -n "${MEDIAN[$key]:-}" ] || continue
    case $key in
      cold-lmpinfo-jobs1) label="lmpinfo --jobs 1 on the folder" ;;
      cold-lmpinfo) label="lmpinfo (default) on the folder" ;;
      cold-select0) label="window: Select All Original, folder listed" ;;
      cold-details) label="window: Game Details filled, the listing included" ;;
    esac
    printf '| %s | %.3f s | %.2f x 8 cat |\n' "$label" "${MEDIAN[$key]}" \
      "$(awk -v a="${MEDIAN[$key]}" -v b="${MEDIAN[cold-cat8]}" 'BEGIN { printf "%.2f", a / b }')"
  done
  # How the pipeline's time moves with the number of reads in flight, in process: its threads, the files
  # each reads at once and the files it asks of the disk ahead.
  if [ -x "$COLD" ]; then
    echo
    echo "| Pipeline over the folder (lmp-bench-cold, median of 3, wall) | Reads in flight | Cold | Warm |"
    echo "|---|---:|---:|---:|"
    "$COLD" "$FOLDER" 3 2>/dev/null | awk '/^cold threads/ {
      sub(":", "", $7); printf "| threads %s, files at once %s, asked ahead %s | %d | %s s | %s s |\n",
        $3, $5, $7, $3 * $5 + $7, $8, $11 }'
  fi
}

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
for what in "${DETAILS_ROWS[@]}"; do
  case $what in
    details-fill) row "window: Game Details filled, nothing cached" "$what" checksum+cat ;;
    details-refill) row "window: Game Details after Refresh Directory, cached" "$what" ;;
  esac
done
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
      refresh-description) row "window: Refresh Description" "$command" lmpinfo-large0 wall ;;
      press-to-drag) row "window: press on a selected item to drag start" "$command" ;;
    esac
  done
fi
echo
echo "| Peak memory of lmpinfo | |"
echo "|---|---:|"
echo "| on the folder | ${PEAK[folder]} MiB |"
echo "| on a 2 GiB junk .SV4 | ${PEAK[junk]} MiB |"
if [ -n "$CACHE_BYTES" ]; then
  echo
  echo "| Game Details cache (heap, measured) | |"
  echo "|---|---:|"
  echo "| per 10,000 files | $(awk -v b="$CACHE_BYTES" 'BEGIN { printf "%.2f", b / 1048576 }') MiB |"
fi

# --- Collections: the window's commands over thousands of files of one edition ---

COLLECTION_SIZES=${COLLECTION_SIZES:-5000 10000 100000}

collection_command_rows() {
  [ -x "$SELECT_ALL" ] || return 0
  echo
  echo "Collections: N first-expansion track designs, each followed by its .TP4 (lmp-bench-folder collection N DIR);" \
       "wall time, warm; lmpinfo --edition 1 the median of 5; load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo
  echo "| Designs | lmpinfo --edition 1 | Select All VJ/EM files | Ratio | Per design | Longest event-loop gap |" \
       "Refresh Description | Ratio | Select Matching TP4's | Ctrl+A | Pane, bytes per line | Pane copied |"
  echo "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|"
  local designs folder output select gap refresh matching everything bytes copied
  for designs in $COLLECTION_SIZES; do
    folder=$COLLECTIONS/$designs
    [ -d "$folder" ] || "$TOOL" collection "$designs" "$folder" >/dev/null
    median_wall "collection$designs" "$LMPINFO" --edition 1 "$folder"
    output=$(QT_QPA_PLATFORM=offscreen "$SELECT_ALL" --collection "$folder" "$SCRATCH/copied" 2>/dev/null)
    # Ctrl+A, Ctrl+C in the pane after the Select All: what lmpinfo prints, byte for byte.
    copied="$(awk '/^collection pane-copy:/ { printf "%.2f s, ", $3 / 1000 }' <<< "$output")"
    if "$LMPINFO" --edition 1 "$folder" 2>/dev/null | cmp -s - "$SCRATCH/copied"; then
      copied+="as lmpinfo prints it"
    else
      copied+="DIFFERS from lmpinfo"
    fi
    select=$(awk '/^collection select-all-vjem:/ { print $3 }' <<< "$output")
    gap=$(awk '/^collection select-all-vjem:/ { for (i = 1; i < NF; i++) if ($(i + 1) == "ms" && $(i + 2) == "longest") print $i }' <<< "$output")
    refresh=$(awk '/^collection refresh-description:/ { print $3 }' <<< "$output")
    matching=$(awk '/^collection select-matching:/ { print $3 }' <<< "$output")
    everything=$(awk '/^collection ctrl-a:/ { print $3 }' <<< "$output")
    bytes=$(awk '/^collection pane:/ { print $5 }' <<< "$output")
    awk -v n="$designs" -v l="${MEDIAN[collection$designs]}" -v s="$select" -v g="$gap" -v r="$refresh" \
        -v m="$matching" -v a="$everything" -v b="$bytes" -v c="$copied" 'BEGIN {
      printf "| %d | %.3f s | %.3f s | %.2f x | %.1f us | %.0f ms | %.3f s | %.2f x | %.3f s | %.3f s | %s | %s |\n",
        n, l, s / 1000, s / 1000 / l, s * 1000 / n, g, r / 1000, r / 1000 / l, m / 1000, a / 1000, b, c }'
  done
}

pipeline_rows
search_cache_rows
cold_rows

# --- Collections: the window over folders of 5,000, 10,000 and 100,000 first-expansion track designs, each
# followed by its .TP4 (lmp-bench-folder collection), offscreen, warm ---

LISTING=$BUILD/bench/lmp-bench-listing
COLLECTIONS=${BENCH_COLLECTIONS:-$BUILD/bench-collection}

# figures MODE FOLDER [RUNS]: the milliseconds lmp-bench-listing prints for the mode, in its order.
figures() {
  QT_QPA_PLATFORM=offscreen "$LISTING" "$@" 2>/dev/null | grep "^$1:" | grep -oE '[0-9]+\.[0-9]+' | tr '\n' ' '
  echo
}

collection_rows() {
  [ -x "$LISTING" ] || { echo "folder-bench: $LISTING is missing, no collection rows" >&2; return; }
  local designs folder line
  declare -A LISTED DETAILED LIST_GAP LIST_BUSY SORTED SORT_GAP SORT_BUSY FILLED FILL_GAP FILL_BUSY PEAK_OFF PEAK_ON
  for designs in $COLLECTION_SIZES; do
    folder=$COLLECTIONS/$designs
    [ -d "$folder" ] || "$TOOL" collection "$designs" "$folder" >/dev/null
    "$LMPINFO" "$folder" >/dev/null 2>&1 || true # warms the page cache
    read -r LISTED[$designs] DETAILED[$designs] LIST_GAP[$designs] LIST_BUSY[$designs] < <(
      figures listing "$folder" "$RUNS")
    read -r SORTED[$designs] SORT_GAP[$designs] SORT_BUSY[$designs] < <(figures sort "$folder" "$RUNS")
    read -r FILLED[$designs] FILL_GAP[$designs] FILL_BUSY[$designs] < <(figures fill "$folder")
    median_wall "collection-lmpinfo$designs" "$LMPINFO" "$folder"
    for details in off on; do
      /usr/bin/time -o "$SCRATCH/peak" -f "%M" env QT_QPA_PLATFORM=offscreen "$LISTING" memory "$folder" \
        "$details" >/dev/null 2>&1 || true
      if [ "$details" = off ]; then
        PEAK_OFF[$designs]=$(awk '{ printf "%.1f", $1 / 1024 }' "$SCRATCH/peak")
      else
        PEAK_ON[$designs]=$(awk '{ printf "%.1f", $1 / 1024 }' "$SCRATCH/peak")
      fi
    done
  done
  line=$(QT_QPA_PLATFORM=offscreen "$LISTING" blocked "$COLLECTIONS/100000" 2>/dev/null | grep '^blocked:') || true

  echo
  echo "Collections: folders of first-expansion track designs, each followed by its .TP4, warm; offscreen;" \
       "load average $(cut -d' ' -f1 /proc/loadavg) on $(nproc) cores. Targets at 100,000 designs: listed" \
       "and sorted within 0.5 s, no gap of the event loop over 100 ms, the fill within 1.5 x lmpinfo. A gap" \
       "is wall time, with the processor time the window's thread spent in the busiest one in brackets: on a" \
       "loaded machine the rest is time the system gave to other threads."
  echo
  echo "| Designs (files) | Listed | Every size and time | Longest gap | Sort by Excitement, Game Details on | Its longest gap |"
  echo "|---|---:|---:|---:|---:|---:|"
  for designs in $COLLECTION_SIZES; do
    printf '| %s (%s) | %.3f s | %.3f s | %.0f ms (%.0f) | %.3f s | %.0f ms (%.0f) |\n' "$designs" \
      "$((designs * 2))" "$(awk -v ms="${LISTED[$designs]}" 'BEGIN { print ms / 1000 }')" \
      "$(awk -v ms="${DETAILED[$designs]}" 'BEGIN { print ms / 1000 }')" "${LIST_GAP[$designs]}" \
      "${LIST_BUSY[$designs]}" "$(awk -v ms="${SORTED[$designs]}" 'BEGIN { print ms / 1000 }')" \
      "${SORT_GAP[$designs]}" "${SORT_BUSY[$designs]}"
  done
  echo
  echo "| Designs | Game Details filled, from selecting the folder | Longest gap | lmpinfo on the folder | Ratio (wall) |"
  echo "|---|---:|---:|---:|---:|"
  for designs in $COLLECTION_SIZES; do
    printf '| %s | %.3f s | %.0f ms (%.0f) | %.3f s | %.2f x lmpinfo |\n' "$designs" \
      "$(awk -v ms="${FILLED[$designs]}" 'BEGIN { print ms / 1000 }')" "${FILL_GAP[$designs]}" \
      "${FILL_BUSY[$designs]}" \
      "${MEDIAN[collection-lmpinfo$designs]}" \
      "$(awk -v ms="${FILLED[$designs]}" -v s="${MEDIAN[collection-lmpinfo$designs]}" 'BEGIN { printf "%.2f", ms / 1000 / s }')"
  done
  echo
  echo "| Designs | Peak memory after listing, Ctrl+A and a sort: Game Details off | on |"
  echo "|---|---:|---:|"
  for designs in $COLLECTION_SIZES; do
    printf '| %s | %s MiB | %s MiB |\n' "$designs" "${PEAK_OFF[$designs]}" "${PEAK_ON[$designs]}"
  done
  echo
  echo "A listing blocked in the system while the 100,000-design folder is listed: ${line#blocked: }"
}

collection_rows
collection_command_rows
