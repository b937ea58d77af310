#!/bin/sh
# Turns an installed tree into what a Debian package holds: the manual page
# compressed, the licence as the copyright file (machine-readable), and the
# changelog in Debian's form, compressed, from CHANGELOG.md. The gzip files
# carry no name or time, so the package is the same from one build to the
# next. Run by cmake/debian-files.cmake inside cpack.
#   usage: debian-files.sh PREFIX SOURCE-DIR DOCDIR MANDIR MAINTAINER
set -eu
prefix=$1 source=$2 docdir=$prefix/$3 mandir=$prefix/$4 maintainer=$5

gzip -9nf "$mandir/man1/colortext.1"

# The permission notice of LICENSE, under its copyright line.
{
    echo "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"
    echo "Upstream-Name: colortext"
    echo
    echo "Files: *"
    sed -n 's/^Copyright (c) /Copyright: /p' "$source/LICENSE"
    echo "License: Expat"
    sed -n '/^Permission/,$p' "$source/LICENSE" | sed 's/^$/./; s/^/ /'
} >"$docdir/copyright"
rm "$docdir/LICENSE"

# "## VERSION (YYYY-MM-DD)" begins an entry; its paragraphs and "- " items
# become the entry's lines. "## Unreleased", what is not yet in a version,
# is left out.
awk -v maintainer="$maintainer" '
    function close_entry() {
        if (version == "") return
        sub(/\n+$/, "\n", body)
        if (entries++ > 0) printf "\n"
        printf "colortext (%s) unstable; urgency=medium\n\n%s\n -- %s  %s\n", version, body, maintainer, date
        version = ""
    }
    /^## / {
        close_entry()
        if ($2 !~ /^[0-9]/) next
        version = $2
        day = $3
        gsub(/[()]/, "", day)
        command = "date -u -R -d " day " 2>/dev/null"
        command | getline date
        close(command)
        body = ""
        next
    }
    version == "" { next }
    /^- / { body = body "  * " substr($0, 3) "\n"; next }
    /^  / { body = body "    " substr($0, 3) "\n"; next }
    /^$/ { if (body != "") body = body "\n"; next }
    { body = body "  " $0 "\n" }
    END { close_entry() }
' "$source/CHANGELOG.md" | gzip -9n >"$docdir/changelog.gz"
