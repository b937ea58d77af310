# Installing Debian packages on a machine as it comes: an update that
# survives a mirror in the middle of a sync, an install that works around
# what such an update leaves behind, and the machine's own mirror, for
# scripts that add a suite. Sourced by the scripts that install packages;
# it sets no shell options of its own.
#   APT_TRIES         how often the update is tried (default 3)
#   APT_RETRY_DELAY   seconds between the tries (default 10)
#   APT_ETC           where os-release and apt/ are read from (default /etc)

APT_TRIES=${APT_TRIES:-3}
APT_RETRY_DELAY=${APT_RETRY_DELAY:-10}
APT_ETC=${APT_ETC:-/etc}

apt_say() { echo "apt: $*" >&2; }

# The codename of the release this machine runs, e.g. bookworm.
apt_codename() {
    (
        [ -r "$APT_ETC/os-release" ] && . "$APT_ETC/os-release"
        echo "${VERSION_CODENAME:-}"
    )
}

# apt-get update, tried a few times. While a mirror syncs, one index or
# another fails to download ("File has unexpected size"), yet the others are
# fresh and the packages wanted may well install: after the last try this
# goes on with a warning, and the install decides.
apt_update() {
    local try
    for try in $(seq "$APT_TRIES"); do
        apt-get update -q && return 0
        if [ "$try" -lt "$APT_TRIES" ]; then
            apt_say "the update failed (try $try of $APT_TRIES); again in ${APT_RETRY_DELAY} s"
            sleep "$APT_RETRY_DELAY"
        fi
    done
    apt_say "warning: some package lists could not be updated; going on with the lists there are"
    return 0
}

# apt_install [-t RELEASE] PACKAGE...
# When the lists of one architecture or suite are older than the rest (an
# update that failed halfway), a library that amd64 and i386 packages share
# can have two different candidates, and apt gives up on "held broken
# packages". Pinned to the base release, all candidates come from the same
# lists, so an install that fails is tried once more that way. One given a
# release of its own is not.
apt_install() {
    local release=() codename
    if [ "${1:-}" = -t ]; then
        release=(-t "$2")
        shift 2
    fi
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
        "${release[@]}" "$@" && return 0
    codename=$(apt_codename)
    if [ ${#release[@]} -eq 0 ] && [ -n "$codename" ]; then
        apt_say "the install failed; trying again with every package from $codename"
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
            -t "$codename" "$@" && return 0
    fi
    apt_say "error: cannot install $* (apt-get's reasons are above)"
    return 1
}

# The mirror that serves SUITE (default: the base release) to this machine,
# from its own apt sources, deb822 (*.sources) or one-line (*.list):
# prints "URI KEYRING", KEYRING being the Signed-By file or empty.
apt_mirror() {
    local suite=${1:-$(apt_codename)} file
    for file in "$APT_ETC/apt/sources.list" "$APT_ETC"/apt/sources.list.d/*.list \
        "$APT_ETC"/apt/sources.list.d/*.sources; do
        [ -r "$file" ] || continue
        case "$file" in
        *.sources) apt_mirror_deb822 "$suite" <"$file" ;;
        *) apt_mirror_one_line "$suite" <"$file" ;;
        esac | head -n 1 | grep . && return 0
    done
    return 1
}

# apt_add_suite SUITE: makes sure that SUITE (bookworm-backports, say) is
# among the apt sources, taking it from the mirror that serves the base
# release here, so that it works behind any mirror and names none.
apt_add_suite() {
    local suite=$1 mirror uri keyring
    apt_mirror "$suite" >/dev/null && return 0
    mirror=$(apt_mirror) || {
        apt_say "error: no apt source for $(apt_codename) here to take a mirror from"
        return 1
    }
    read -r uri keyring <<<"$mirror"
    apt_say "adding $suite from $uri"
    {
        printf '%s\n' 'Types: deb' "URIs: $uri" "Suites: $suite" 'Components: main'
        [ -z "$keyring" ] || echo "Signed-By: $keyring"
    } >"$APT_ETC/apt/sources.list.d/$suite.sources"
}

# Stanzas of "Field: value" lines, a value going on over lines that begin
# with a blank; "#" begins a comment line.
apt_mirror_deb822() {
    awk -v want="$1" '
        function field(name, value) {
            value = values[name]
            gsub(/[ \t]+/, " ", value)
            gsub(/^ | $/, "", value)
            return " " value " "
        }
        function stanza(keyring) {
            if (field("types") ~ / deb / && tolower(field("enabled")) != " no " &&
                field("suites") ~ (" " want " ") && split(field("uris"), uris, " ") > 0) {
                keyring = field("signed-by")
                print uris[1] " " (keyring ~ /^ \/[^ ]* $/ ? keyring : "")
            }
            split("", values)
            name = ""
        }
        /^#/ { next }
        /^[ \t]*$/ { stanza(); next }
        /^[ \t]/ { if (name != "") values[name] = values[name] " " $0; next }
        {
            name = tolower(substr($0, 1, index($0, ":") - 1))
            values[name] = substr($0, index($0, ":") + 1)
        }
        END { stanza() }
    ' | sed 's/[[:space:]][[:space:]]*/ /g; s/ $//'
}

# "deb [option=value ...] URI SUITE COMPONENT...".
apt_mirror_one_line() {
    awk -v want="$1" '
        $1 != "deb" { next }
        {
            keyring = ""
            i = 2
            if ($i ~ /^\[/) {
                for (; i <= NF; i++) {
                    if ($i ~ /signed-by=/) { keyring = $i; sub(/.*signed-by=/, "", keyring); sub(/\]$/, "", keyring) }
                    if ($i ~ /\]$/) break
                }
                i++
            }
            if ($(i + 1) == want) { print $i " " (keyring ~ /^\// ? keyring : ""); exit }
        }
    ' | sed 's/ $//'
}
