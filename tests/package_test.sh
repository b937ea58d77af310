#!/usr/bin/env bash
# The manual page, the install and the packages of the native program, made
# as the README says: the native preset built, cmake --install into a
# throwaway prefix, cpack for the .deb and the .tar.gz. Lints and renders
# the page, checks what each package holds, the .deb's control fields and
# lintian's verdict, then unpacks the .deb and runs the program and man(1)
# from it.
#   usage: package_test.sh SOURCE-DIR VERSION
set -uo pipefail
source_dir=$1
version=$2
build=$source_dir/build/native
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() {
    echo "FAIL: $*"
    status=1
}
# same WHAT EXPECTED ACTUAL
same() {
    if [ "$2" = "$3" ]; then echo "ok: $1"; else
        fail "$1"
        diff <(echo "$2") <(echo "$3") | sed 's/^/  /'
    fi
}

(cd "$source_dir" && cmake --preset native >/dev/null && cmake --build --preset native -j2 >/dev/null) ||
    { echo "FAIL: the native preset does not build"; exit 1; }
# mandoc also looks up every page named in SEE ALSO; without a mandoc.db it
# says so on each, which is about this machine, not the page.
lint=$(mandoc -T lint "$build/colortext.1" 2>&1 | grep -v 'outdated mandoc.db')
same "mandoc -T lint finds nothing in the page" "" "$lint"
sections=$(mandoc -T utf8 "$build/colortext.1" | col -b | grep -E '^[A-Z][A-Z ]+$' | paste -sd, -)
same "the page renders every section" \
    "NAME,SYNOPSIS,DESCRIPTION,ENVIRONMENT,EXIT STATUS,EXAMPLES,SEE ALSO,BUGS" "$sections"

rm -rf "$build/packages"
(cd "$build" && cpack >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
deb=$build/packages/colortext_${version}_amd64.deb
tarball=$build/packages/colortext-$version-Linux.tar.gz

cmake --install "$build" --prefix "$work/prefix" >/dev/null || fail "cmake --install"
same "cmake --install puts the program, its page and its documents" \
    "$(printf '%s\n' bin/colortext share/doc/colortext/LICENSE share/doc/colortext/README.md \
        share/man/man1/colortext.1)" \
    "$(cd "$work/prefix" && find . -type f | sed 's|^\./||' | sort)"

same "the tarball holds the same" \
    "$(printf "colortext-$version-Linux/%s\n" bin/colortext share/doc/colortext/LICENSE \
        share/doc/colortext/README.md share/man/man1/colortext.1)" \
    "$(cmake -E tar tf "$tarball" | grep -v '/$' | sort)"

same "the .deb holds the program, its page compressed, and Debian's documents" \
    "$(printf './usr/%s\n' bin/colortext share/doc/colortext/README.md \
        share/doc/colortext/changelog.gz share/doc/colortext/copyright \
        share/man/man1/colortext.1.gz)" \
    "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort)"

field() { dpkg-deb -f "$deb" "$1"; }
same "its name, version, section and summary" \
    "colortext $version utils print coloured text described on the command line" \
    "$(field Package) $(field Version) $(field Section) $(field Description | head -n 1)"
case "$(field Depends)" in libc6*) echo "ok: it depends on the C library: $(field Depends)" ;;
*) fail "Depends is '$(field Depends)', not worked out from the binary" ;; esac
case "$(field Maintainer)" in *?\ \<?*@?*\>) echo "ok: maintainer $(field Maintainer)" ;;
*) fail "Maintainer is '$(field Maintainer)'" ;; esac

dpkg-deb -x "$deb" "$work/deb" || fail "the .deb does not unpack"
docs=$work/deb/usr/share/doc/colortext
same "the changelog is Debian's, for this version" \
    "colortext ($version) unstable; urgency=medium" "$(zcat "$docs/changelog.gz" | head -n 1)"
grep -q '^License: Expat$' "$docs/copyright" && grep -q '^Copyright: ' "$docs/copyright" &&
    echo "ok: the copyright file" || fail "the copyright file lacks its licence or notice"
same "the unpacked program runs" "ok" "$("$work/deb/usr/bin/colortext" '"ok"')"
same "and knows its version" "colortext $version" "$("$work/deb/usr/bin/colortext" --version)"
page=$(MANPAGER=cat MANWIDTH=80 man -l "$work/deb/usr/share/man/man1/colortext.1.gz" 2>&1)
case "$page" in *"EXIT STATUS"*"colortext $version"*) ;; *"colortext $version"*"EXIT STATUS"*) ;;
*) false ;; esac && echo "ok: man -l shows the unpacked page" ||
    { fail "man -l on the unpacked page"; echo "$page" | head -n 20; }

lintian --fail-on error,warning "$deb" >"$work/lintian" 2>&1
lintian_status=$?
grep -v 'running with root privileges' "$work/lintian"
[ "$lintian_status" -eq 0 ] && echo "ok: lintian has no errors or warnings" || fail "lintian"

echo "packages: $(cd "$build/packages" && ls -l ./*.deb ./*.tar.gz | awk '{ print $9 " " $5 " bytes" }' |
    sed 's|^\./||' | paste -sd, - | sed 's/,/, /g')"
[ "$status" -eq 0 ] && echo "PASS"
exit "$status"
