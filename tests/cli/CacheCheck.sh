#!/bin/bash
# lmpinfo --cache gives byte for byte what lmpinfo gives without it: on its first run, on its second (from
# the cache), after a file was rewritten with its size and modification time set back, with two runs at
# once, and with a cache that is damaged or cannot be written, which is said once on standard error.
# usage: CacheCheck.sh LMPINFO FIXTURES SAMPLES WORKDIR
set -euo pipefail
lmpinfo=$1 fixtures=$2 samples=$3 work=$4

rm -rf "$work"
mkdir -p "$work/files"
cp -a "$samples" "$work/files/samples"
(cd "$fixtures" && cp td0.TD4 td1.td4 td2.Td4 sv0.SV4 sc0.sc4 sc1.SC4 sc2.SC4 bad.TD4 sv-bad.SV4 sc-bad.SC4 \
  image.TP4 notes.txt "$work/files/")
head -c 300 "$fixtures/sv0.SV4" > "$work/files/cut.SV4"
cp "$fixtures/td0.TD4" "$work/files/rewritten.TD4"
cd "$work/files"
export XDG_CACHE_HOME=$work/xdg
db=$XDG_CACHE_HOME/lmpexplorer/descriptions.db
# Files changed in the last two seconds are described but not kept.
sleep 2.1

fail() { echo "CacheCheck: $*" >&2; exit 1; }

# same ARGS...: lmpinfo --cache ARGS twice gives the output and exit code of lmpinfo ARGS, nothing on stderr.
same() {
  local plain code
  plain=$("$lmpinfo" "$@" 2>/dev/null) && code=0 || code=$?
  for run in first second; do
    local cached cached_code
    cached=$("$lmpinfo" --cache "$@" 2>"$work/err") && cached_code=0 || cached_code=$?
    [ "$cached" = "$plain" ] && [ "$cached_code" = "$code" ] || fail "$run --cache run differs: $*"
    [ ! -s "$work/err" ] || fail "$run --cache run said: $(cat "$work/err")"
  done
}

for format in "" --json --csv; do
  for edition in "" "--edition 0" "--edition 1" "--edition 2"; do
    # shellcheck disable=SC2086
    same $format $edition -r .
  done
done
same --decimal-mark , --where "excitement>1" -r .
[ -s "$db" ] || fail "nothing was kept in $db"

# Rewritten with the same size and its modification time set back: only the change time tells.
before=$("$lmpinfo" rewritten.TD4)
touch -r rewritten.TD4 "$work/time"
printf '\377' | dd of=rewritten.TD4 bs=1 seek=8 conv=notrunc status=none
touch -r "$work/time" rewritten.TD4
sleep 2.1
[ "$("$lmpinfo" --cache rewritten.TD4)" = "$("$lmpinfo" rewritten.TD4)" ] || fail "the rewritten file was described from the cache"
[ "$("$lmpinfo" rewritten.TD4)" != "$before" ] || fail "the rewrite left the description as it was"
same -r .

# Two runs at once on a new cache.
rm -rf "$XDG_CACHE_HOME"
expected=$("$lmpinfo" --json -r .)
"$lmpinfo" --cache --json -r . > "$work/one" 2>&1 &
"$lmpinfo" --cache --json -r . > "$work/two" 2>&1
wait $!
for out in one two; do
  [ "$(cat "$work/$out")" = "$expected" ] || fail "two runs at once: run $out differs"
done

# faulty ARGUMENT-TO-GREP SETUP...: after the set-up, --cache still gives the plain output, with the notice once.
faulty() {
  local notice=$1
  shift
  "$@"
  local cached
  cached=$("$lmpinfo" --cache -r . 2>"$work/err") || fail "with a faulty cache ($*): exit $?"
  [ "$cached" = "$("$lmpinfo" -r .)" ] || fail "with a faulty cache ($*) the output differs"
  [ "$(grep -c "$notice" "$work/err")" = 1 ] && [ "$(wc -l < "$work/err")" = 1 ] ||
    fail "with a faulty cache ($*) stderr was: $(cat "$work/err")"
}
garbage() { rm -f "$db"-*; head -c 20000 /dev/urandom > "$db"; }
truncated() { "$lmpinfo" --cache -r . > /dev/null; rm -f "$db"-*; truncate -s 3000 "$db"; }
folder() { rm -rf "$XDG_CACHE_HOME"; mkdir -p "$db"; }
blocked() { rm -rf "$XDG_CACHE_HOME"; echo "a file where the folder goes" > "$XDG_CACHE_HOME"; }
faulty "was damaged; it was set aside" garbage
faulty "was damaged; it was set aside" truncated
faulty "was damaged; it was set aside" folder
faulty "cannot be used" blocked
