#!/bin/sh
# Checks what colortext.exe is made of, from its headers alone: a 32-bit
# console program with address randomisation and no-execute on, importing
# exactly the functions it calls from KERNEL32.dll and nothing else, with no
# runtime leftovers (unwind tables, constructors, thread-local data), small,
# and with a version resource whose numbers and text are the project's
# version. Prints the size, the imports and the version.
#   usage: check_exe.sh colortext.exe objdump VERSION
exe=$1
objdump=${2:-objdump}
version=$3
limit=16384
expected="ExitProcess GetCommandLineW GetConsoleMode GetConsoleOutputCP GetConsoleScreenBufferInfo GetEnvironmentVariableA GetModuleHandleA GetProcAddress GetStdHandle ReadConsoleOutputAttribute SetConsoleCtrlHandler SetConsoleMode WideCharToMultiByte WriteConsoleA WriteConsoleOutputAttribute WriteFile"

status=0
fail() { echo "FAIL: $*"; status=1; }

headers=$("$objdump" -p "$exe") || { echo "FAIL: $objdump cannot read $exe"; exit 1; }
sections=$("$objdump" -h "$exe" | awk '$1 ~ /^[0-9]+$/ { print $2 }' | tr '\n' ' ')

echo "$headers" | grep -q 'Magic.*010b' || fail "not a PE32 (32-bit) image"
echo "$headers" | grep -q 'Subsystem.*00000003' || fail "not a console program"
for flag in DYNAMIC_BASE NX_COMPAT; do
    echo "$headers" | grep -qw "$flag" || fail "DllCharacteristics lacks $flag"
done

dlls=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '\n' ' ' | sed 's/ $//')
[ "$dlls" = "KERNEL32.dll" ] || fail "imports from '$dlls', expected KERNEL32.dll alone"

# Import lines look like "<hint-rva> <hint> <name>" under the DLL's name.
imports=$(echo "$headers" |
    awk '/DLL Name:/ { on = 1; next } on && NF == 3 && $1 ~ /^[0-9a-f]+$/ { print $3 } on && NF == 0 { on = 0 }' |
    sort | tr '\n' ' ' | sed 's/ $//')
[ "$imports" = "$expected" ] || fail "imports '$imports', expected '$expected'"

for section in .eh_frame .pdata .xdata .ctors .dtors .init_array .CRT .tls; do
    case " $sections" in *" $section "*) fail "unexpected section $section" ;; esac
done

size=$(wc -c < "$exe" | tr -d ' ')
echo "$(basename "$exe"): $size bytes (limit $limit); sections: $sections"
echo "imports from $dlls: $imports"
[ "$size" -le "$limit" ] || fail "$size bytes is over the $limit-byte limit"

# The fixed part's file and product versions follow its signature, FEEF04BD,
# as little-endian words, high then low; the strings follow their names.
words=$(od -An -tx1 -v "$exe" | tr -d ' \n' | sed -n 's/.*bd04effe.\{8\}\(.\{32\}\).*/\1/p' |
    sed 's/\(..\)\(..\)\(..\)\(..\)/0x\4\3 0x\2\1 /g')
numbers=$([ -n "$words" ] && printf '%d.%d.%d.%d ' $words)
texts=$(strings -el "$exe" | awk 'p == "FileVersion" || p == "ProductVersion" { printf "%s ", $0 } { p = $0 }')
four=$(echo "$version.0.0.0" | cut -d. -f1-4)
echo "version resource: $numbers/ $texts"
[ "$numbers$texts" = "$four $four $version $version " ] || fail "the version resource is not $version"

[ "$status" -eq 0 ] && echo "PASS"
exit "$status"
