#!/bin/sh
# The vendor list generator over a small usb.ids: vendor lines only, sorted, as C string text.
# Usage: usbvendors-generate-test.sh <generator>
set -u
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%s\n' \
    '#' '# Version: 2099.01.02' '#' \
    'ffee  Last One' \
    '0002  Ingram' \
    '	0002  passport00' \
    '		01  an interface' \
    '08de  ???' \
    '1234  Say "hi" \ back  ' \
    '' \
    '# List of known device classes' \
    'C 00  (Defined at Interface level)' \
    'HUT 01  Generic Desktop Controls' \
    >"$work/usb.ids"
sh "$1" "$work/usb.ids" >"$work/out.cpp" || exit 1

expected='    {0x0002, "Ingram"},
    {0x08DE, "?\??"},
    {0x1234, "Say \"hi\" \\ back"},
    {0xFFEE, "Last One"},'
actual=$(grep '^    {0x' "$work/out.cpp")
if [ "$actual" != "$expected" ]; then
    echo "vendor rows differ:"
    echo "$actual"
    exit 1
fi
grep -q 'usb.ids 2099.01.02' "$work/out.cpp" || { echo "no version line"; exit 1; }
grep -q 'GNU General Public License, version 2 or later, or the 3-clause BSD License' \
    "$work/out.cpp" || { echo "no licence line"; exit 1; }
echo "generator rows as expected"
