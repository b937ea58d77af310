#!/usr/bin/env bash
# The release of a commit is the same bytes wherever it is made: two clones
# of HEAD, in folders of different names, each run scripts/release.sh into a
# folder of a different name, the second under another umask and time zone
# and with its build on tmpfs (where /dev/shm is one), whose order of names
# and directory sizes differ from a disk's. Every file and SHA256SUMS must
# match. A tree with uncommitted changes must be refused.
# A tree that is not a git checkout (unpacked from an archive) has no commit
# to release: the test says so and exits 77, skipped, neither passed nor
# failed.
#   usage: release_test.sh [SOURCE-DIR]   (default: this checkout)
set -uo pipefail
source_dir=$(realpath "${1:-$(dirname "$0")/..}")
work=$(mktemp -d)
shm=
trap 'rm -rf "$work" ${shm:+"$shm"}' EXIT
status=0
fail() {
    echo "FAIL: $*"
    status=1
}
# show FOLDER: its files with their sizes, and its checksums.
show() {
    echo "$1:"
    (cd "$1" && find . -type f -printf '  %f %s bytes\n' | sort && sed 's/^/  /' SHA256SUMS)
}

# A checkout of this folder itself, not of one that holds it; a .git that
# git cannot read, or no git at all, fails below rather than skipping.
if [ ! -e "$source_dir/.git" ]; then
    echo "SKIPPED: $source_dir is not a git checkout, so there is no commit to release;"
    echo "the release test did not run"
    exit 77
fi
commit=$(git -C "$source_dir" rev-parse HEAD) || { echo "FAIL: no commit to release"; exit 1; }
version=$(sed -n 's/^project(colortext VERSION \([^ )]*\).*/\1/p' "$source_dir/CMakeLists.txt")
echo "the release of $commit, version $version"
git clone -q --no-hardlinks "$source_dir" "$work/clone-a" &&
    (umask 077 && git clone -q --no-hardlinks "$source_dir" "$work/the-second-clone") &&
    git -C "$work/clone-a" checkout -q --detach "$commit" &&
    git -C "$work/the-second-clone" checkout -q --detach "$commit" || { echo "FAIL: git clone"; exit 1; }

echo "local change" >>"$work/clone-a/README.md"
if "$work/clone-a/scripts/release.sh" "$work/dirty" >"$work/dirty.log" 2>&1; then
    fail "a tree with uncommitted changes was released"
elif [ -e "$work/dirty" ] || ! grep -q -- --allow-dirty "$work/dirty.log"; then
    fail "the refusal of a changed tree wrote a folder or did not say what to do"
    cat "$work/dirty.log"
else
    echo "ok: a tree with uncommitted changes is refused"
fi
git -C "$work/clone-a" checkout -q -- README.md

start=$SECONDS
"$work/clone-a/scripts/release.sh" "$work/release-1" >"$work/one.log" 2>&1 ||
    { cat "$work/one.log"; echo "FAIL: the first release"; exit 1; }
[ -d /dev/shm ] && [ -w /dev/shm ] && shm=$(mktemp -d /dev/shm/release-test.XXXXXX)
(umask 077 && export TZ=JST-9 TMPDIR=${shm:-${TMPDIR:-/tmp}} &&
    "$work/the-second-clone/scripts/release.sh" "$work/another-release-folder") >"$work/two.log" 2>&1 ||
    { cat "$work/two.log"; echo "FAIL: the second release"; exit 1; }
echo "two releases in $((SECONDS - start)) s, the second built in ${shm:-the same file system}"

one=$work/release-1 two=$work/another-release-folder
expected=$(printf '%s\n' SHA256SUMS "colortext-$version-Linux.tar.gz" "colortext-$version-win32.zip" \
    colortext.exe "colortext_${version}_$(dpkg --print-architecture).deb" | sort)
for folder in "$one" "$two"; do
    [ "$(ls -A "$folder" | sort)" = "$expected" ] || fail "$folder does not hold the release's files"
    (cd "$folder" && sha256sum -c --quiet SHA256SUMS) || fail "$folder's SHA256SUMS is not its files'"
done
for file in $expected; do
    cmp -s "$one/$file" "$two/$file" || fail "$file differs between the two releases"
done
if [ "$status" -eq 0 ]; then
    echo "ok: every file and SHA256SUMS is the same"
    show "$one"
else
    show "$one"
    show "$two"
fi
[ "$status" -eq 0 ] && echo "PASS"
exit "$status"
