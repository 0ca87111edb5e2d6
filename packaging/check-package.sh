#!/usr/bin/env bash
# Checks the Debian package that `make package` wrote into the build folder (the only argument): its
# dependencies are installed Debian packages, it holds the programs, desktop entry, icon and man pages
# where they belong, and its lmpinfo, unpacked into a fresh folder tree, runs on a sample folder that
# the build's lmp-samples writes. Nothing is installed on the machine.
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
for lib in libc6 libstdc++6 libqt6widgets6; do
  [[ "$names" == *" $lib "* ]] || fail "the dependencies leave out $lib: $depends"
done

# As root, dpkg goes through the installation without carrying it out: dependencies, conflicts, files.
if [ "$(id -u)" = 0 ]; then
  dpkg --no-act --install "$deb" >/dev/null
fi

root=$work/root
dpkg-deb --extract "$deb" "$root"
for file in usr/bin/lmpexplorer usr/bin/lmpinfo \
            usr/share/applications/lmpexplorer.desktop \
            usr/share/icons/hicolor/scalable/apps/lmpexplorer.svg \
            usr/share/man/man1/lmpinfo.1.gz usr/share/man/man1/lmpexplorer.1.gz; do
  [ -f "$root/$file" ] || fail "missing /$file"
done
[ -x "$root/usr/bin/lmpinfo" ] && [ -x "$root/usr/bin/lmpexplorer" ] || fail "the programs are not executable"

desktop=$root/usr/share/applications/lmpexplorer.desktop
grep -Eq '^Categories=(.*;)?Game;' "$desktop" || fail "the desktop entry is not in the Game category"
grep -Eq '^Categories=(.*;)?Utility;' "$desktop" || fail "the desktop entry is not in the Utility category"
grep -q '^Exec=lmpexplorer$' "$desktop" || fail "the desktop entry does not start lmpexplorer"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop"
fi

for page in lmpinfo lmpexplorer; do
  gzip --test "$root/usr/share/man/man1/$page.1.gz"
  zcat "$root/usr/share/man/man1/$page.1.gz" | grep -q "^\.TH ${page^^} 1" || fail "$page.1.gz is not its man page"
done

if ldd "$root/usr/bin/lmpinfo" "$root/usr/bin/lmpexplorer" | grep -q 'not found'; then
  ldd "$root/usr/bin/lmpinfo" "$root/usr/bin/lmpexplorer" >&2
  fail "a shared library of the installed programs is missing"
fi

lmpinfo=$root/usr/bin/lmpinfo
"$lmpinfo" --help | grep -q '^Exit status:' || fail "lmpinfo --help does not explain the exit status"
"$build/tools/lmp-samples" "$work/samples" >/dev/null
"$lmpinfo" "$work/samples/Coaster 2.TD4" >"$work/coaster.txt"
grep -qx 'File Name : Coaster 2.TD4' "$work/coaster.txt" || fail "lmpinfo did not describe Coaster 2.TD4"
grep -qx '   Version: Original LMP' "$work/coaster.txt" || fail "lmpinfo gave Coaster 2.TD4 the wrong edition"
"$lmpinfo" --json "$work/samples" >"$work/samples.jsonl"
[ "$(grep -c '"type":"track design"' "$work/samples.jsonl")" -gt 0 ] || fail "lmpinfo --json wrote no track design"
"$lmpinfo" --csv "$work/samples" | head -1 | grep -q '^path,file_name,type,' || fail "lmpinfo --csv wrote no header"
echo "check-package: the package installs its files and its lmpinfo runs"
