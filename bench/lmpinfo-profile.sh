#!/bin/bash
# A profile of lmpinfo over the 1,000-file bench folder by phase, warm: when each phase starts and ends (system
# calls traced with perf, no call chains, median of RUNS runs) and the processor time each phase takes (samples
# with their call chains, RUNS runs; the checksum and decoding, the copies out of the page cache and the page
# faults of describing are shown apart).
#
#   start      from exec to the first look at the folder: loading, linking, arguments, the threads started
#   listing    from there to the first game file opened: reading the folder, sorting it, the first submit
#   describing the pipeline's threads, from the first file opened to the last outcome
#   writing    the writer: taking outcomes, formatting lines, writing them (it overlaps describing)
#   exit       from the last write to the end of the process: threads joined, buffers and process freed
#
# usage: bench/lmpinfo-profile.sh [BUILD_DIR] [RUNS]   (needs perf, Debian's linux-perf, and the right to trace:
# root, or kernel.perf_event_paranoid at most 1)
set -euo pipefail

BUILD=${1:-build}
RUNS=${2:-10}
FOLDER=${BENCH_FOLDER:-$BUILD/bench-folder}
LMPINFO=$BUILD/cli/lmpinfo
FREQUENCY=2000

command -v perf >/dev/null || { echo "lmpinfo-profile: needs perf (Debian package linux-perf)" >&2; exit 2; }
[ -x "$LMPINFO" ] || { echo "lmpinfo-profile: $LMPINFO is missing (build it first)" >&2; exit 2; }
if [ ! -d "$FOLDER" ]; then
  "$BUILD/tools/lmp-bench-folder" write "$FOLDER" >/dev/null
fi
SCRATCH=$(mktemp -d)
trap 'rm -rf "$SCRATCH"' EXIT
"$LMPINFO" "$FOLDER" >/dev/null # warms the page cache

# --- When each phase starts: exec, the first getdents64 (the walk), the first openat of another thread (a game
# file), the first and last write to standard output, the main thread's exit; milliseconds from exec. ---
for ((run = 0; run < RUNS; run++)); do
  perf record -q -e sched:sched_process_exec -e sched:sched_process_exit -e syscalls:sys_enter_getdents64 \
    -e syscalls:sys_enter_openat -e syscalls:sys_enter_write -o "$SCRATCH/trace.data" -- \
    "$LMPINFO" "$FOLDER" >/dev/null 2>&1
  perf script -i "$SCRATCH/trace.data" -F pid,tid,time,event,trace 2>/dev/null | awk '
    { split($1, id, "/"); pid = id[1]; tid = id[2]; t = $2 + 0; event = $3 }
    event ~ /exec/ { exec = t }
    event ~ /getdents/ { if (!listed) listed = t; walker = tid }
    event ~ /openat/ && tid != pid && tid != walker && listed && !opened { opened = t }
    event ~ /sys_enter_write/ && $5 == "0x00000001," { if (!first) first = t; last = t }
    event ~ /exit/ && tid == pid { ended = t }
    END { printf "%.3f %.3f %.3f %.3f %.3f\n", 1e3 * (listed - exec), 1e3 * (opened - exec),
          1e3 * (first - exec), 1e3 * (last - exec), 1e3 * (ended - exec) }'
done > "$SCRATCH/timeline"

# --- Where the processor time goes: each sample's call chain decides its phase. ---
perf record -q -F "$FREQUENCY" --call-graph dwarf,16384 -e cpu-clock -o "$SCRATCH/samples.data" -- \
  bash -c 'for ((i = 0; i < '"$RUNS"'; i++)); do "$0" "$1" >/dev/null; done' "$LMPINFO" "$FOLDER" 2>/dev/null
perf script -i "$SCRATCH/samples.data" -F comm,pid,tid,ip,sym 2>/dev/null | awk -v runs="$RUNS" -v hz="$FREQUENCY" '
  BEGIN { RS = "" }
  $1 != "lmpinfo" { next }
  {
    split($2, id, "/"); main = id[1] == id[2]
    chain = $0
    if (chain ~ /__run_exit_handlers|_dl_fini|do_exit|DescribePipeline::Shutdown|Walk::Stop/) phase = "exit"
    else if (chain ~ /DescribePipeline::Work|DescribePipeline::Prefetch|DescribeHere/) {
      phase = "describing"
      if (chain ~ /_copy_to_iter|filemap_read|filemap_get_read_batch/) part = "copying out of the page cache"
      else if (chain ~ /exc_page_fault|do_anonymous_page|clear_page|mremap|munmap|mmap/) part = "page faults and mappings"
      else if (chain ~ /RunScanLoops|EndChunk|EndFeed|Settle/) part = "checksum and decoding"
      else if (chain ~ /futex|schedule|pthread_cond|pthread_mutex/) part = "waiting and waking"
      else if (chain ~ /Summarize|DescribePackedFile|Describe(TrackDesign|ParkFile)/) part = "summaries and lines"
      else if (chain ~ /openat|InputFile::Open|__close|fstat|PrefetchFile/) part = "opening and closing"
      else part = "other"
      parts[part]++
    }
    else if (chain ~ /ListFolder|FolderFiles|ItemSource|directory_iterator|getdents|Walk::Step|Walk::Run|NaturalPathLess/) phase = "listing"
    else if (chain ~ /lmp::cli::Run/) phase = "writing"
    else if (chain ~ /_dl_|_start|execve|lmp::cli::Main|main/) phase = "start"
    else phase = main ? "start" : "describing"
    samples[phase]++
    total++
  }
  END {
    ms = 1000 / hz / runs
    split("start listing describing writing exit", order, " ")
    for (i = 1; i <= 5; i++) printf "cpu %s %.1f\n", order[i], samples[order[i]] * ms
    for (part in parts) printf "part %s|%.1f\n", part, parts[part] * ms
    printf "cpu total %.1f\n", total * ms
  }' > "$SCRATCH/cpu"

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
column_median() { awk -v c="$1" '{ print $c }' "$SCRATCH/timeline" | median; }
listed=$(column_median 1); opened=$(column_median 2); first=$(column_median 3); last=$(column_median 4)
ended=$(column_median 5)
cpu() { awk -v p="$1" '$1 == "cpu" && $2 == p { print $3 }' "$SCRATCH/cpu"; }

echo "lmpinfo over $FOLDER on $(nproc) cores, warm; wall times median of $RUNS traced runs (milliseconds from"
echo "exec), processor time per run from $RUNS sampled runs. Load average: $(cut -d' ' -f1-3 /proc/loadavg)."
echo
echo "| Phase | From - to (ms) | Wall (ms) | Processor (ms) |"
echo "|---|---:|---:|---:|"
printf '| start | 0 - %.1f | %.1f | %s |\n' "$listed" "$listed" "$(cpu start)"
printf '| listing | %.1f - %.1f | %.1f | %s |\n' "$listed" "$opened" "$(awk -v a="$opened" -v b="$listed" 'BEGIN { print a - b }')" "$(cpu listing)"
printf '| describing | %.1f - %.1f | %.1f | %s |\n' "$opened" "$last" "$(awk -v a="$last" -v b="$opened" 'BEGIN { print a - b }')" "$(cpu describing)"
printf '| writing (first line at %.1f) | %.1f - %.1f | (overlaps) | %s |\n' "$first" "$first" "$last" "$(cpu writing)"
printf '| exit | %.1f - %.1f | %.1f | %s |\n' "$last" "$ended" "$(awk -v a="$ended" -v b="$last" 'BEGIN { print a - b }')" "$(cpu exit)"
printf '| the whole run | | %.1f | %s |\n' "$ended" "$(cpu total)"
echo
echo "| Describing, by what it does | Processor (ms) |"
echo "|---|---:|"
awk -F'|' '/^part / { sub(/^part /, "", $1); printf "| %s | %s |\n", $1, $2 }' "$SCRATCH/cpu" | sort -t'|' -k3 -rn
