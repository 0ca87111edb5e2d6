#!/usr/bin/env bash
# Checks the Debian package that `make package` wrote into the build folder (the only argument):
# lintian finds no error or warning in it, its dependencies are installed Debian packages, it holds the
# programs, desktop entry, icon, MIME types, AppStream metadata, man pages, copyright and changelog where
# they belong, the programs are hardened, the MIME types name the game's files, and its lmpinfo,
# unpacked into a fresh folder tree, runs on a sample folder that lmp-samples of the package's build
# tree writes. Nothing is installed on the machine.
set -euo pipefail

build=${1:?usage: check-package.sh BUILD_DIR}
shopt -s nullglob
debs=("$build"/lmpexplorer_*.deb)
if [ ${#debs[@]} -ne 1 ]; then
  echo "check-package: expected one lmpexplorer_*.deb in $build, found ${#debs[@]}" >&2
  exit 1
fi
deb=${debs[0]}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "check-package: $*" >&2
  exit 1
}

# Outputs are read in full before grep -q looks at them: a grep -q that stops early on a pipe would make
# the writer fail with SIGPIPE, which pipefail turns into a failed check.

echo "check-package: $deb"
dpkg-deb --field "$deb" Package Version Architecture Depends

# Dependencies as dpkg-shlibdeps found them; each must be a package this Debian has installed, which
# the programs were built and tested against.
depends=$(dpkg-deb --field "$deb" Depends)
[ -n "$depends" ] || fail "the package names no dependencies"
names=" "
IFS=',' read -ra entries <<<"$depends"
for entry in "${entries[@]}"; do
  satisfied=no
  IFS='|' read -ra choices <<<"$entry"
  for choice in "${choices[@]}"; do
    name=$(awk '{print $1}' <<<"$choice")
    names+="$name "
    if dpkg-query -W -f='${Status}\n' "$name" 2>/dev/null | grep -q '^install ok installed'; then
      satisfied=yes
    fi
  done
  [ "$satisfied" = yes ] || fail "dependency not installed: $entry"
done
for lib in libc6 libstdc++6 libqt6widgets6 qt6-qpa-plugins; do
  [[ "$names" == *" $lib "* ]] || fail "the dependencies leave out $lib: $depends"
done

# As root, dpkg goes through the installation without carrying it out: dependencies, conflicts, files.
if [ "$(id -u)" = 0 ]; then
  dpkg --no-act --install "$deb" >/dev/null
fi

lintian --display-info --fail-on error,warning "$deb" || fail "lintian found errors or warnings"

app_id=org.lmpexplorer.LMPexplorer
root=$work/root
dpkg-deb --extract "$deb" "$root"
for file in usr/bin/lmpexplorer usr/bin/lmpinfo \
            usr/share/applications/$app_id.desktop usr/share/metainfo/$app_id.metainfo.xml \
            usr/share/mime/packages/lmpexplorer.xml \
            usr/share/icons/hicolor/scalable/apps/lmpexplorer.svg \
            usr/share/man/man1/lmpinfo.1.gz usr/share/man/man1/lmpexplorer.1.gz \
            usr/share/doc/lmpexplorer/copyright usr/share/doc/lmpexplorer/changelog.gz; do
  [ -f "$root/$file" ] || fail "missing /$file"
done
[ -x "$root/usr/bin/lmpinfo" ] && [ -x "$root/usr/bin/lmpexplorer" ] || fail "the programs are not executable"

desktop=$root/usr/share/applications/$app_id.desktop
grep -Eq '^Categories=(.*;)?Game;' "$desktop" || fail "the desktop entry is not in the Game category"
grep -Eq '^Categories=(.*;)?Utility;' "$desktop" || fail "the desktop entry is not in the Utility category"
grep -q '^Exec=lmpexplorer %F$' "$desktop" || fail "the desktop entry does not start lmpexplorer on files"
mime_types=(track-design:td4 track-image:tp4 saved-game:sv4 scenario:sc4)
for entry in "${mime_types[@]}"; do
  grep -Eq "^MimeType=(.*;)?application/x-lumora-parks-${entry%%:*};" "$desktop" ||
    fail "the desktop entry does not open application/x-lumora-parks-${entry%%:*}"
done
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop"
fi

# The launchable desktop entry is looked up in the same tree.
appstreamcli validate-tree --no-net "$root" || fail "appstreamcli rejects the AppStream metadata"

gzip --test "$root/usr/share/doc/lmpexplorer/changelog.gz"
for page in lmpinfo lmpexplorer; do
  gzip --test "$root/usr/share/man/man1/$page.1.gz"
  grep -q "^\.TH ${page^^} 1" <<<"$(zcat "$root/usr/share/man/man1/$page.1.gz")" || fail "$page.1.gz is not its man page"
done

if ldd "$root/usr/bin/lmpinfo" "$root/usr/bin/lmpexplorer" | grep -q 'not found'; then
  ldd "$root/usr/bin/lmpinfo" "$root/usr/bin/lmpexplorer" >&2
  fail "a shared library of the installed programs is missing"
fi

# Debian's hardening, most of which lintian reports only as information: position-independent code,
# RELRO with BIND_NOW, the stack protector, no .comment section, and fortified libc calls in one program
# at least (a call is fortified only where the compiler knows its buffer's size, and lmpexplorer makes
# no such call, hence lintian's hardening-no-fortify-functions for it).
fortified=no
for program in lmpexplorer lmpinfo; do
  elf=$root/usr/bin/$program
  headers=$(readelf --file-header --program-headers --section-headers --dynamic --wide "$elf")
  grep -Eq '^ *Type: *DYN ' <<<"$headers" || fail "$program is not position-independent"
  grep -q ' GNU_RELRO ' <<<"$headers" || fail "$program has no RELRO segment"
  grep -Eq '\(FLAGS_1\) *Flags:.* NOW' <<<"$headers" || fail "$program is not linked with BIND_NOW"
  if grep -q ' \.comment ' <<<"$headers"; then fail "$program keeps its .comment section"; fi
  symbols=$(readelf --dyn-syms --wide "$elf")
  grep -q ' __stack_chk_fail' <<<"$symbols" || fail "$program is built without the stack protector"
  if grep -Eq ' __[a-z_]+_chk(@|$)' <<<"$symbols"; then fortified=yes; fi
done
[ "$fortified" = yes ] || fail "neither program calls a fortified libc function"

lmpinfo=$root/usr/bin/lmpinfo
help=$("$lmpinfo" --help)
grep -q '^Exit status:' <<<"$help" || fail "lmpinfo --help does not explain the exit status"
"$build/package/tools/lmp-samples" "$work/samples" >/dev/null
"$lmpinfo" "$work/samples/Coaster 2.TD4" >"$work/coaster.txt"
grep -qx 'File Name : Coaster 2.TD4' "$work/coaster.txt" || fail "lmpinfo did not describe Coaster 2.TD4"
grep -qx '   Version: Original LMP' "$work/coaster.txt" || fail "lmpinfo gave Coaster 2.TD4 the wrong edition"
"$lmpinfo" --json "$work/samples" >"$work/samples.jsonl"
[ "$(grep -c '"type":"track design"' "$work/samples.jsonl")" -gt 0 ] || fail "lmpinfo --json wrote no track design"
"$lmpinfo" --csv "$work/samples" >"$work/samples.csv"
head -1 "$work/samples.csv" | grep -q '^path,file_name,type,' || fail "lmpinfo --csv wrote no header"

# The MIME types as a desktop looks them up (GLib's gio, no display needed): the package's database,
# built as Debian's trigger builds it, before the system's. Every sample named with a game file's
# extension in any case gets its type; other names, "Coaster 2.TD4.bak" among them, get none of them.
data_dirs=$root/usr/share:/usr/share
XDG_DATA_DIRS=$data_dirs update-mime-database "$root/usr/share/mime"
mkdir "$work/names"
cp "$work/samples/Coaster 2.TD4" "$work/names/x.td4"
cp "$work/samples/Sunny Meadows.SV4" "$work/names/X.SV4"
seen=" "
for file in "$work/samples"/* "$work/names"/*; do
  name=${file##*/}
  expected=none
  for entry in "${mime_types[@]}"; do
    if [[ ${name,,} == *.${entry#*:} ]]; then expected=application/x-lumora-parks-${entry%%:*}; fi
  done
  info=$(XDG_DATA_HOME="$work/empty" XDG_DATA_DIRS=$data_dirs GIO_USE_VFS=local \
         gio info --attributes=standard::content-type "$file") || fail "gio cannot read $name"
  type=$(sed -n 's/^ *standard::content-type: //p' <<<"$info")
  if [ "$expected" = none ]; then
    [[ $type != application/x-lumora-parks-* ]] || fail "$name has the MIME type $type"
  else
    [ "$type" = "$expected" ] || fail "$name has the MIME type '$type', not $expected"
    seen+="$type "
  fi
done
for entry in "${mime_types[@]}"; do
  [[ $seen == *" application/x-lumora-parks-${entry%%:*} "* ]] || fail "no sample has the type of .${entry#*:}"
done

echo "check-package: lintian and appstreamcli accept the package, it installs its files, its MIME types name the game files and its lmpinfo runs"
