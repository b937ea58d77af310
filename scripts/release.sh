#!/usr/bin/env bash
# Makes a release of the commit checked out: colortext.exe, its zip, the .deb
# and the .tar.gz for the version in CMakeLists.txt's project(), and their
# SHA256SUMS, in one folder. They are built from a copy of the commit in a
# folder of their own, so nothing of build/ gets in, and the same commit
# gives the same bytes on any machine with the same toolchain: time stamps
# are the commit's, and the umask, time zone, locale, compiler flags in the
# environment and the file system's order of names are kept out.
#   usage: release.sh [--allow-dirty] [FOLDER]
#   FOLDER         where the files go (default build/release); it must be
#                  empty, missing, or hold an earlier release, which is
#                  replaced
#   --allow-dirty  release the working tree, uncommitted changes and all;
#                  such a release is not of any commit, and it says so
set -euo pipefail
usage="usage: scripts/release.sh [--allow-dirty] [FOLDER]"
allow_dirty=false
out=
for arg; do
    case $arg in
    --allow-dirty) allow_dirty=true ;;
    -h | --help)
        echo "$usage"
        exit 0
        ;;
    -*) echo "$usage" >&2 && exit 2 ;;
    *)
        [ -z "$out" ] || { echo "$usage" >&2 && exit 2; }
        out=$(realpath -m -- "$arg")
        ;;
    esac
done
cd "$(dirname "$0")/.."
out=${out:-$(pwd)/build/release}
say() { echo "release: $*"; }

scripts/ensure-packages.sh cmake make g++ g++-mingw-w64-i686 dpkg-dev file git

# Whatever the caller's shell has that would change the bytes made.
umask 022
export TZ=UTC LC_ALL=C
unset CC CXX CFLAGS CXXFLAGS CPPFLAGS LDFLAGS CMAKE_TOOLCHAIN_FILE CMAKE_GENERATOR

commit=$(git rev-parse HEAD)
changes=$(git status --porcelain)
if [ -n "$changes" ] && ! $allow_dirty; then
    say "the tree has uncommitted changes; commit them, or make a release that is" >&2
    say "not of a commit with --allow-dirty:" >&2
    echo "$changes" | sed 's/^/  /' >&2
    exit 1
fi
of="commit $commit"
if [ -n "$changes" ]; then
    of="uncommitted changes on top of $commit"
    say "--allow-dirty: this is NOT A RELEASE OF A COMMIT but of $of"
fi
# A folder to replace must hold nothing but an earlier release: this
# script never removes anything else.
if [ -e "$out" ] && [ -n "$(ls -A "$out")" ] && { [ ! -f "$out/SHA256SUMS" ] ||
    [ "$(ls -A "$out" | sort)" != "$({ echo SHA256SUMS && awk '{ print $2 }' "$out/SHA256SUMS"; } | sort)" ]; }; then
    say "$out holds more than a release; give an empty or new folder" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
src=$work/src
mkdir "$src" "$work/out" "$work/unpacked"
if [ -z "$changes" ]; then
    git archive --format=tar HEAD | tar -x -C "$src"
else
    # What git status shows: tracked files as they are, and new ones not
    # ignored; deleted ones stay out.
    git ls-files -z --cached --others --exclude-standard |
        while IFS= read -r -d '' file; do if [ -e "$file" ]; then printf '%s\0' "$file"; fi; done |
        tar --null -T - -cf - | tar -x -C "$src"
fi
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
version=$(sed -n 's/^project(colortext VERSION \([^ )]*\).*/\1/p' "$src/CMakeLists.txt")
[ -n "$version" ] || { say "no version in CMakeLists.txt's project()" >&2 && exit 1; }

for preset in native windows; do
    say "building and packaging the $preset preset"
    (cd "$src" && cmake --preset "$preset" && cmake --build --preset "$preset" -j "$(nproc)" &&
        cd "build/$preset" && cpack) >"$work/$preset.log" 2>&1 ||
        { cat "$work/$preset.log" && say "the $preset preset failed" >&2 && exit 1; }
done

# CPack lays the files of its archives out in the order the file system
# lists them, and counts a directory's size as the file system reports it
# in the .deb's Installed-Size, so both would change with the machine. Each
# package is unpacked and packed again, by name; the files and their modes
# stay as CPack made them.
native=$src/build/native/packages
windows=$src/build/windows/packages
zip=colortext-$version-win32.zip
deb=colortext_${version}_$(dpkg --print-architecture).deb
tarball=colortext-$version-Linux.tar.gz

cp "$src/build/windows/colortext.exe" "$work/out/colortext.exe"

# cmake -E tar writes the zip as CPack does; with SOURCE_DATE_EPOCH set
# every file gets that time.
mkdir "$work/unpacked/zip"
(cd "$work/unpacked/zip" && cmake -E tar xf "$windows/$zip" && find . -type f | sed 's|^\./||' |
    sort >"$work/zip-files" && cmake -E tar cf "$work/out/$zip" --format=zip --files-from="$work/zip-files")

mkdir "$work/unpacked/tarball"
tar -xzf "$native/$tarball" -C "$work/unpacked/tarball"
tar -C "$work/unpacked/tarball" -cf - --sort=name --format=gnu --owner=0 --group=0 --numeric-owner \
    --mtime="@$SOURCE_DATE_EPOCH" "colortext-$version-Linux" | gzip -9n >"$work/out/$tarball"

# Installed-Size as Debian's policy has it: the bytes of the files, in KiB,
# rounded up. dpkg-deb sorts the names and takes SOURCE_DATE_EPOCH.
root=$work/unpacked/deb
dpkg-deb -R "$native/$deb" "$root"
size=$(find "$root" -path "$root/DEBIAN" -prune -o -type f -printf '%s\n' |
    awk '{ bytes += $1 } END { print int((bytes + 1023) / 1024) }')
sed -i "s/^Installed-Size: .*/Installed-Size: $size/" "$root/DEBIAN/control"
dpkg-deb --root-owner-group -Zgzip -b "$root" "$work/out/$deb" >/dev/null

artefacts=("$tarball" "$zip" colortext.exe "$deb")
(cd "$work/out" && sha256sum -- "${artefacts[@]}" >SHA256SUMS)

rm -rf "$out"
mkdir -p "$out"
mv "$work/out"/* "$out/"
say "colortext $version, $of, in $out:"
(cd "$out" && for file in "${artefacts[@]}" SHA256SUMS; do
    printf '  %-32s %8s bytes\n' "$file" "$(wc -c <"$file")"
done && sed 's/^/  /' SHA256SUMS)
if [ -n "$changes" ]; then
    say "NOT A RELEASE OF A COMMIT: these files hold $of"
fi
